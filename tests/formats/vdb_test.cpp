// The .vdb file read back by the OpenVDB library itself.
#include <gtest/gtest.h>
#include <openvdb/openvdb.h>

#include "formats/vdb_writer.h"
#include "formats/whole_volume_consumer.h"
#include "test_volume.h"

namespace kubelmar::test {
namespace {

class VdbTest : public ::testing::TestWithParam<Case> {};

TEST_P(VdbTest, LibraryReadsBackTheSameActiveVoxelsAndTransform) {
    const bool colour = GetParam().encoding == SliceEncoding::Colour;
    const std::string path = freshDirectory("vdb" + caseName(GetParam())) + "/ell.vdb";
    std::vector<std::unique_ptr<VolumeFileWriter>> writers;
    writers.push_back(std::make_unique<VdbWriter>(path));
    WholeVolumeConsumer consumer(std::move(writers), false);
    const WriteResult result = feed(consumer, volumeInfo(GetParam().layout, GetParam().encoding, 4), lShape());
    ASSERT_TRUE(result.ok) << result.error;

    openvdb::initialize();
    openvdb::io::File file(path);
    file.open();
    auto density = openvdb::gridPtrCast<openvdb::FloatGrid>(file.readGrid("density"));
    ASSERT_TRUE(density);
    EXPECT_EQ(density->getGridClass(), openvdb::GRID_FOG_VOLUME);
    EXPECT_EQ(file.hasGrid("Cd"), colour);
    VoxelSet active;
    for (auto on = density->cbeginValueOn(); on; ++on) {
        EXPECT_EQ(*on, 1.0f);
        active.insert({on.getCoord().x(), on.getCoord().y(), on.getCoord().z()});
    }
    EXPECT_EQ(active, whiteCopy(lShape()));
    // Voxel (0, 0, 0) spans origin .. origin + 0.5: its centre is the index point.
    const openvdb::Vec3d centre = density->indexToWorld(openvdb::Vec3d(0, 0, 0));
    EXPECT_NEAR(centre.x(), -0.75, 1e-9);
    EXPECT_NEAR(centre.y(), 2.25, 1e-9);
    EXPECT_NEAR(centre.z(), 10.25, 1e-9);
    EXPECT_NEAR(density->voxelSize().x(), 0.5, 1e-9);
    if (colour) {
        auto cd = openvdb::gridPtrCast<openvdb::Vec3SGrid>(file.readGrid("Cd"));
        ASSERT_TRUE(cd);
        EXPECT_EQ(cd->activeVoxelCount(), density->activeVoxelCount());
        for (const Voxel& v : lShape()) {
            const openvdb::Vec3s c = cd->getConstAccessor().getValue(openvdb::Coord(v.i, v.j, v.k));
            EXPECT_NEAR(c.x(), (v.rgb >> 16 & 0xFF) / 255.0, 1e-6);
            EXPECT_NEAR(c.y(), (v.rgb >> 8 & 0xFF) / 255.0, 1e-6);
            EXPECT_NEAR(c.z(), (v.rgb & 0xFF) / 255.0, 1e-6);
        }
    }
    file.close();
}

INSTANTIATE_TEST_SUITE_P(Layouts, VdbTest,
                         ::testing::Values(Case{Layout::Clipping, SliceEncoding::Colour},
                                           Case{Layout::Depth, SliceEncoding::Occupancy}),
                         [](const auto& info) { return caseName(info.param); });

TEST(VdbFailure, UnwritablePathIsAnErrorValueAndLeavesNoFile) {
    const std::string path = freshDirectory("vdbfail") + "/missing/ell.vdb";
    VdbWriter writer(path);
    GridVolume volume;
    ASSERT_TRUE(volume.allocate(fullGrid(volumeInfo(Layout::Depth, SliceEncoding::Occupancy, 2)), false));
    const WriteResult result = writer.write(volume);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.file, path) << result.error.text();
    EXPECT_FALSE(fileExists(path));
}

TEST(VdbAnisotropic, TransformScalesEachAxisByItsEdge) {
    const std::string path = freshDirectory("vdbaniso") + "/ell.vdb";
    std::vector<std::unique_ptr<VolumeFileWriter>> writers;
    writers.push_back(std::make_unique<VdbWriter>(path));
    WholeVolumeConsumer consumer(std::move(writers), false);
    ASSERT_TRUE(feed(consumer, anisotropicInfo(Layout::Depth, SliceEncoding::Occupancy), lShape()).ok);

    openvdb::initialize();
    openvdb::io::File file(path);
    file.open();
    auto density = openvdb::gridPtrCast<openvdb::FloatGrid>(file.readGrid("density"));
    ASSERT_TRUE(density);
    const openvdb::Vec3d edge = density->voxelSize();
    EXPECT_NEAR(edge.x(), 0.5, 1e-12);
    EXPECT_NEAR(edge.y(), 0.25, 1e-12);
    EXPECT_NEAR(edge.z(), 1.0, 1e-12);
    // Index points are voxel centres: (1, 2, 3) lies at the origin plus 1.5, 2.5, 3.5 edges.
    const openvdb::Vec3d centre = density->indexToWorld(openvdb::Vec3d(1, 2, 3));
    EXPECT_NEAR(centre.x(), -1 + 1.5 * 0.5, 1e-9);
    EXPECT_NEAR(centre.y(), 2 + 2.5 * 0.25, 1e-9);
    EXPECT_NEAR(centre.z(), 10 + 3.5 * 1.0, 1e-9);
    VoxelSet active;
    for (auto on = density->cbeginValueOn(); on; ++on) active.insert({on.getCoord().x(), on.getCoord().y(), on.getCoord().z()});
    EXPECT_EQ(active, whiteCopy(lShape()));
    file.close();
}

}  // namespace
}  // namespace kubelmar::test
