#include "formats/colour_quantiser.h"

#include <algorithm>
#include <cmath>

namespace kubelmar {

namespace {

int channel(Rgb rgb, int c) { return static_cast<int>((rgb >> (16 - 8 * c)) & 0xFF); }

struct Box {
    std::size_t begin = 0, end = 0;
    int widestChannel = 0;
    int range = 0;  // of the widest channel
};

Box measure(const std::vector<ColourCount>& colours, std::size_t begin, std::size_t end) {
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    for (std::size_t n = begin; n < end; ++n)
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], channel(colours[n].rgb, c));
            high[c] = std::max(high[c], channel(colours[n].rgb, c));
        }
    Box box{begin, end, 0, -1};
    for (int c = 0; c < 3; ++c)
        if (high[c] - low[c] > box.range) {
            box.range = high[c] - low[c];
            box.widestChannel = c;
        }
    return box;
}

Rgb weightedMean(const std::vector<ColourCount>& colours, const Box& box) {
    double sum[3] = {0, 0, 0}, weight = 0;
    for (std::size_t n = box.begin; n < box.end; ++n) {
        const double w = static_cast<double>(std::max<std::uint64_t>(colours[n].count, 1));
        for (int c = 0; c < 3; ++c) sum[c] += w * channel(colours[n].rgb, c);
        weight += w;
    }
    Rgb rgb = 0;
    for (int c = 0; c < 3; ++c) rgb = (rgb << 8) | static_cast<Rgb>(std::lround(sum[c] / weight));
    return rgb;
}

}  // namespace

QuantisedPalette quantiseColours(std::vector<ColourCount> colours, int maxColours) {
    QuantisedPalette palette;
    if (colours.empty() || maxColours < 1) return palette;
    const std::size_t limit = static_cast<std::size_t>(std::min(maxColours, 256));
    palette.indexOf.reserve(colours.size());
    if (colours.size() <= limit) {
        for (const ColourCount& c : colours) {
            palette.indexOf[c.rgb] = static_cast<std::uint8_t>(palette.entries.size());
            palette.entries.push_back(c.rgb);
        }
        return palette;
    }

    std::vector<Box> boxes = {measure(colours, 0, colours.size())};
    while (boxes.size() < limit) {
        auto widest = std::max_element(boxes.begin(), boxes.end(),
                                       [](const Box& a, const Box& b) { return a.range < b.range; });
        if (widest->range <= 0) break;  // every box holds one colour
        const Box box = *widest;
        const int c = box.widestChannel;
        std::sort(colours.begin() + box.begin, colours.begin() + box.end,
                  [c](const ColourCount& a, const ColourCount& b) { return channel(a.rgb, c) < channel(b.rgb, c); });
        std::uint64_t total = 0, running = 0;
        for (std::size_t n = box.begin; n < box.end; ++n) total += std::max<std::uint64_t>(colours[n].count, 1);
        // Weighted median, moved to a change of value so equal colours on the
        // channel stay together, and never leaving a side empty.
        std::size_t split = box.begin + 1;
        for (std::size_t n = box.begin; n + 1 < box.end; ++n) {
            running += std::max<std::uint64_t>(colours[n].count, 1);
            split = n + 1;
            if (2 * running >= total) break;
        }
        while (split < box.end && channel(colours[split].rgb, c) == channel(colours[split - 1].rgb, c)) ++split;
        if (split == box.end) {
            split = box.end - 1;
            while (split > box.begin + 1 && channel(colours[split].rgb, c) == channel(colours[split - 1].rgb, c))
                --split;
        }
        *widest = measure(colours, box.begin, split);
        boxes.push_back(measure(colours, split, box.end));
    }

    for (const Box& box : boxes) palette.entries.push_back(weightedMean(colours, box));
    // Nearest entry by squared distance, the entries' channels laid out as
    // three arrays so the search over all of them vectorises.
    const std::size_t count = palette.entries.size();
    std::vector<int> red(count), green(count), blue(count), distances(count);
    for (std::size_t e = 0; e < count; ++e) {
        red[e] = channel(palette.entries[e], 0);
        green[e] = channel(palette.entries[e], 1);
        blue[e] = channel(palette.entries[e], 2);
    }
    for (const ColourCount& colour : colours) {
        const int r = channel(colour.rgb, 0), g = channel(colour.rgb, 1), b = channel(colour.rgb, 2);
        for (std::size_t e = 0; e < count; ++e)
            distances[e] = (red[e] - r) * (red[e] - r) + (green[e] - g) * (green[e] - g) + (blue[e] - b) * (blue[e] - b);
        const std::size_t best = static_cast<std::size_t>(std::min_element(distances.begin(), distances.end()) - distances.begin());
        palette.indexOf.emplace(colour.rgb, static_cast<std::uint8_t>(best));
        palette.maxError = std::max(palette.maxError, std::sqrt(static_cast<double>(distances[best])));
    }
    return palette;
}

}  // namespace kubelmar
