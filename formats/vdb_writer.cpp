#include "formats/vdb_writer.h"

#include <algorithm>
#include <array>
#include <exception>

#include <openvdb/openvdb.h>

namespace kubelmar {

WriteResult VdbWriter::write(const GridVolume& volume) {
    const GridBox& box = volume.box();
    try {
        openvdb::initialize();
        // Index (i, j, k) at the voxel's centre: a uniform scale for cubic
        // voxels (the cube's single-precision edge), a scale per axis else.
        const bool cubic = box.cubicVoxels();
        const double v = cubic ? box.cubicEdge() : 1.0;
        auto transform = openvdb::math::Transform::createLinearTransform(v);
        openvdb::Vec3d half(0.5 * v, 0.5 * v, 0.5 * v);
        if (!cubic) {
            transform->preScale(openvdb::Vec3d(box.edge[0], box.edge[1], box.edge[2]));
            half = openvdb::Vec3d(0.5 * box.edge[0], 0.5 * box.edge[1], 0.5 * box.edge[2]);
        }
        transform->postTranslate(openvdb::Vec3d(box.origin[0], box.origin[1], box.origin[2]) + half);

        auto density = openvdb::FloatGrid::create(0.0f);
        density->setName("density");
        density->setGridClass(openvdb::GRID_FOG_VOLUME);
        density->setTransform(transform);
        openvdb::GridPtrVec grids = {density};

        // The colour grid is made either way (it costs nothing while empty)
        // but only written for a colour volume.
        auto colour = openvdb::Vec3SGrid::create(openvdb::Vec3s(0.0f));
        colour->setName("Cd");
        colour->setVectorType(openvdb::VEC_INVARIANT);  // a colour, not a direction
        colour->setTransform(transform);
        const bool withColour = volume.hasColour();
        if (withColour) grids.push_back(colour);

        // Fill leaf by leaf (8^3 voxels): a leaf is found once, not once per
        // voxel, and empty blocks cost eight reads of the bit set per layer.
        const std::array<int, 3> dims = box.dims;
        for (int k0 = 0; k0 < dims[2]; k0 += 8)
            for (int j0 = 0; j0 < dims[1]; j0 += 8)
                for (int i0 = 0; i0 < dims[0]; i0 += 8) {
                    std::uint64_t rows[8][8] = {};
                    bool any = false;
                    for (int k = k0; k < std::min(k0 + 8, dims[2]); ++k)
                        for (int j = j0; j < std::min(j0 + 8, dims[1]); ++j) {
                            rows[k - k0][j - j0] = volume.bitsAt(volume.index(i0, j, k), std::min(8, dims[0] - i0));
                            any |= rows[k - k0][j - j0] != 0;
                        }
                    if (!any) continue;
                    auto* densityLeaf = density->tree().touchLeaf(openvdb::Coord(i0, j0, k0));
                    auto* colourLeaf = withColour ? colour->tree().touchLeaf(openvdb::Coord(i0, j0, k0)) : nullptr;
                    for (int dk = 0; dk < 8; ++dk)
                        for (int dj = 0; dj < 8; ++dj)
                            for (std::uint64_t bits = rows[dk][dj]; bits; bits &= bits - 1) {
                                const openvdb::Coord xyz(i0 + __builtin_ctzll(bits), j0 + dj, k0 + dk);
                                densityLeaf->setValueOn(xyz, 1.0f);
                                if (!colourLeaf) continue;
                                const Rgb rgb = volume.colour(xyz.x(), xyz.y(), xyz.z());
                                colourLeaf->setValueOn(xyz, openvdb::Vec3s(static_cast<float>(rgb >> 16 & 0xFF) / 255.0f,
                                                                           static_cast<float>(rgb >> 8 & 0xFF) / 255.0f,
                                                                           static_cast<float>(rgb & 0xFF) / 255.0f));
                            }
                }
        // Wholly filled leaves become active tiles: a solid costs little.
        density->tree().prune();

        // OpenVDB writes through a stream of its own (it seeks back to fill
        // in grid offsets), so not through CheckedFile; written in place like
        // every file of the run's stage folder.
        openvdb::io::File file(path_);
        file.write(grids);
        file.close();
    } catch (const std::exception& e) {
        return writeFailure(path_, e.what());
    }
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
