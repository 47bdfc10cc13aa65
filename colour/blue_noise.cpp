#include "colour/blue_noise.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace kubelmar {

namespace {

constexpr int kSide = BlueNoiseVolume::kSide;
constexpr int kVoxels = kSide * kSide * kSide;
constexpr int kRadius = 4;  // the Gaussian is cut off here (weights below 3e-2)
constexpr float kSigma = 1.5f;

// The pattern being ranked and each voxel's energy: the sum of the Gaussian
// over the set voxels around it, wrapping at the tile's sides. Each row
// (fixed y, z) keeps its tightest cluster and largest void, refreshed only
// for the rows a toggle reached: a search then reads 1,024 rows instead of
// 32,768 voxels.
class Pattern {
public:
    Pattern() : set_(kVoxels, 0), energy_(kVoxels, 0.0f), rows_(kSide * kSide), dirty_(kSide * kSide, 1) {
        for (int dz = -kRadius; dz <= kRadius; ++dz)
            for (int dy = -kRadius; dy <= kRadius; ++dy)
                for (int dx = -kRadius; dx <= kRadius; ++dx)
                    weights_.push_back(std::exp(-static_cast<float>(dx * dx + dy * dy + dz * dz) / (2 * kSigma * kSigma)));
    }
    bool isSet(int i) const { return set_[i] != 0; }
    void toggle(int i) {
        const float sign = set_[i] ? -1.0f : 1.0f;
        set_[i] ^= 1;
        const int x = i % kSide, y = i / kSide % kSide, z = i / (kSide * kSide);
        std::size_t w = 0;
        for (int dz = -kRadius; dz <= kRadius; ++dz)
            for (int dy = -kRadius; dy <= kRadius; ++dy) {
                const int row = ((z + dz) & (kSide - 1)) * kSide + ((y + dy) & (kSide - 1));
                dirty_[row] = 1;
                float* e = &energy_[static_cast<std::size_t>(row) * kSide];
                for (int dx = -kRadius; dx <= kRadius; ++dx) e[(x + dx) & (kSide - 1)] += sign * weights_[w++];
            }
    }
    // The set voxel with the most energy around it (the tightest cluster);
    // the lowest index on a tie.
    int tightestCluster() {
        refresh();
        int best = -1;
        float most = -std::numeric_limits<float>::max();
        for (const Row& row : rows_)
            if (row.clusterAt >= 0 && row.cluster > most) {
                most = row.cluster;
                best = row.clusterAt;
            }
        return best;
    }
    // The unset voxel with the least (the largest void).
    int largestVoid() {
        refresh();
        int best = -1;
        float least = std::numeric_limits<float>::max();
        for (const Row& row : rows_)
            if (row.voidAt >= 0 && row.hole < least) {
                least = row.hole;
                best = row.voidAt;
            }
        return best;
    }

private:
    struct Row {
        float cluster = 0, hole = 0;
        int clusterAt = -1, voidAt = -1;
    };
    void refresh() {
        for (int r = 0; r < kSide * kSide; ++r) {
            if (!dirty_[r]) continue;
            dirty_[r] = 0;
            Row row;
            for (int x = 0; x < kSide; ++x) {
                const int i = r * kSide + x;
                if (set_[i]) {
                    if (row.clusterAt < 0 || energy_[i] > row.cluster) row.cluster = energy_[i], row.clusterAt = i;
                } else if (row.voidAt < 0 || energy_[i] < row.hole) {
                    row.hole = energy_[i], row.voidAt = i;
                }
            }
            rows_[r] = row;
        }
    }

    std::vector<std::uint8_t> set_;
    std::vector<float> energy_;
    std::vector<float> weights_;
    std::vector<Row> rows_;
    std::vector<std::uint8_t> dirty_;
};

}  // namespace

const BlueNoiseVolume& BlueNoiseVolume::shared() {
    static const BlueNoiseVolume volume(0x6b75626cu);
    return volume;
}

BlueNoiseVolume::BlueNoiseVolume(std::uint32_t seed) : rank_(kVoxels, 0) {
    // A random tenth of the voxels, spread out by moving the tightest
    // cluster's voxel into the largest void until that moves nothing. The
    // generator's raw output is the same everywhere (a distribution's
    // mapping need not be), so the tile is too.
    std::mt19937 random(seed);
    Pattern initial;
    const int ones = kVoxels / 10;
    for (int placed = 0; placed < ones;) {
        const int i = static_cast<int>(random() % kVoxels);
        if (initial.isSet(i)) continue;
        initial.toggle(i);
        ++placed;
    }
    for (int step = 0; step < kVoxels; ++step) {
        const int cluster = initial.tightestCluster();
        initial.toggle(cluster);
        const int hole = initial.largestVoid();
        initial.toggle(hole);
        if (hole == cluster) break;
    }
    // Below the initial pattern: take clusters away, highest rank first.
    Pattern fewer = initial;
    for (int r = ones - 1; r >= 0; --r) {
        const int i = fewer.tightestCluster();
        fewer.toggle(i);
        rank_[i] = static_cast<std::uint16_t>(r);
    }
    // Above it: fill the largest void, lowest rank first.
    Pattern more = initial;
    for (int r = ones; r < kVoxels; ++r) {
        const int i = more.largestVoid();
        more.toggle(i);
        rank_[i] = static_cast<std::uint16_t>(r);
    }
}

BlueNoiseDitherer::BlueNoiseDitherer(const MaterialPalette& palette) : matcher_(palette) {}

void BlueNoiseDitherer::dither(int s, const std::uint8_t* rgba, const std::uint8_t* role, std::uint8_t* material) {
    // Made when first needed: a stack that is all core never pays for it.
    if (!noise_) noise_ = &BlueNoiseVolume::shared();
    for (int r = 0; r < shape_.height; ++r) {
        for (int c = 0; c < shape_.width; ++c) {
            const std::size_t p = static_cast<std::size_t>(r) * shape_.width + c;
            if (role[p] != static_cast<std::uint8_t>(VoxelRole::Coloured)) continue;
            const std::uint8_t* px = rgba + 4 * p;
            const MaterialMatcher::Plan& plan =
                matcher_.plan(static_cast<std::uint32_t>(px[0]) << 16 | static_cast<std::uint32_t>(px[1]) << 8 | px[2]);
            const int entry = static_cast<int>(noise_->threshold(c, r, s) * MaterialMatcher::kPlanLength);
            material[p] = plan[std::min(entry, MaterialMatcher::kPlanLength - 1)];
        }
    }
}

}  // namespace kubelmar
