#include "formats/vdb_writer.h"

#include <cstdio>
#include <exception>

#include <openvdb/openvdb.h>

namespace kubelmar {

bool vdbAvailable() { return true; }

WriteResult VdbWriter::write(const GridVolume& volume) {
    const GridBox& box = volume.box();
    const std::string temporary = path_ + ".part";
    try {
        openvdb::initialize();
        const double v = box.voxelSize;
        auto transform = openvdb::math::Transform::createLinearTransform(v);
        transform->postTranslate(openvdb::Vec3d(box.origin[0] + 0.5 * v, box.origin[1] + 0.5 * v,
                                                box.origin[2] + 0.5 * v));

        auto density = openvdb::FloatGrid::create(0.0f);
        density->setName("density");
        density->setGridClass(openvdb::GRID_FOG_VOLUME);
        density->setTransform(transform);
        openvdb::GridPtrVec grids = {density};

        // The colour grid is made either way (it costs nothing while empty)
        // but only written for a colour volume.
        auto colour = openvdb::Vec3SGrid::create(openvdb::Vec3s(0.0f));
        colour->setName("Cd");
        colour->setTransform(transform);
        const bool withColour = volume.hasColour();
        if (withColour) grids.push_back(colour);

        auto densityAccess = density->getAccessor();
        auto colourAccess = colour->getAccessor();
        volume.forEachFilled([&](int i, int j, int k, Rgb rgb) {
            const openvdb::Coord xyz(i, j, k);
            densityAccess.setValueOn(xyz, 1.0f);
            if (withColour) {
                colourAccess.setValueOn(xyz, openvdb::Vec3s(static_cast<float>(rgb >> 16 & 0xFF) / 255.0f,
                                                            static_cast<float>(rgb >> 8 & 0xFF) / 255.0f,
                                                            static_cast<float>(rgb & 0xFF) / 255.0f));
            }
        });

        openvdb::io::File file(temporary);
        file.write(grids);
        file.close();
    } catch (const std::exception& e) {
        std::remove(temporary.c_str());
        return writeFailure(path_, e.what());
    }
    if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
        std::remove(temporary.c_str());
        return writeFailure(path_, "cannot rename into place");
    }
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
