// binvox, NRRD and npy files of a known volume, read back by the small
// readers below (written from the formats' descriptions, not from the
// writers), in both stack layouts and both encodings.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "formats/binvox_writer.h"
#include "formats/fan_out_consumer.h"
#include "formats/output_formats.h"
#include "formats/vdb_writer.h"
#include "formats/volume_json.h"
#include "formats/npy_writer.h"
#include "formats/nrrd_writer.h"
#include "formats/vox_writer.h"
#include "formats/whole_volume_consumer.h"
#include "test_volume.h"

namespace kubelmar::test {
namespace {

struct ReadBack {
    std::array<int, 3> dims{};  // along x, y, z
    VoxelSet voxels;
    std::map<std::string, std::string> fields;  // header text fields
};

// binvox: "dim" is x, z, y; pairs of (value, count) with y fastest.
ReadBack readBinvox(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readFile(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t data = text.find("\ndata\n");
    ReadBack out;
    std::istringstream header(text.substr(0, data));
    for (std::string line; std::getline(header, line);) {
        const std::size_t space = line.find(' ');
        out.fields[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
    }
    std::istringstream(out.fields["dim"]) >> out.dims[0] >> out.dims[2] >> out.dims[1];
    std::size_t index = 0;
    for (std::size_t p = data + 6; p + 1 < bytes.size(); p += 2)
        for (int n = 0; n < bytes[p + 1]; ++n, ++index)
            if (bytes[p]) {
                const int ny = out.dims[1], nz = out.dims[2];
                out.voxels.insert({static_cast<int>(index / (ny * nz)), static_cast<int>(index % ny),
                                   static_cast<int>(index / ny % nz)});
            }
    EXPECT_EQ(index, static_cast<std::size_t>(out.dims[0]) * out.dims[1] * out.dims[2]);
    return out;
}

// Voxels of a dense C-order [k][j][i] array of bytes (channels 1 or 4).
void collectDense(ReadBack& out, const std::vector<std::uint8_t>& data, int channels) {
    const std::size_t count = static_cast<std::size_t>(out.dims[0]) * out.dims[1] * out.dims[2];
    ASSERT_EQ(data.size(), count * channels);
    for (std::size_t n = 0; n < count; ++n) {
        const std::uint8_t* p = &data[n * channels];
        if (channels == 1) {
            ASSERT_LE(p[0], 1);
            if (!p[0]) continue;
        } else if (p[3] == 0) {
            ASSERT_EQ(p[0] | p[1] | p[2], 0);
            continue;
        }
        Voxel v{static_cast<int>(n % out.dims[0]), static_cast<int>(n / out.dims[0] % out.dims[1]),
                static_cast<int>(n / out.dims[0] / out.dims[1])};
        if (channels == 4) v.rgb = static_cast<Rgb>(p[0]) << 16 | p[1] << 8 | p[2];
        out.voxels.insert(v);
    }
}

ReadBack readNrrd(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readFile(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t blank = text.find("\n\n");
    ReadBack out;
    std::istringstream header(text.substr(0, blank));
    for (std::string line; std::getline(header, line);) {
        const std::size_t colon = line.find(": ");
        if (colon != std::string::npos) out.fields[line.substr(0, colon)] = line.substr(colon + 2);
    }
    EXPECT_EQ(text.substr(0, 9), "NRRD0004\n");
    EXPECT_EQ(out.fields["encoding"], "gzip");
    const int channels = out.fields["dimension"] == "4" ? 4 : 1;
    std::istringstream sizes(out.fields["sizes"]);
    if (channels == 4) sizes.ignore(2);
    sizes >> out.dims[0] >> out.dims[1] >> out.dims[2];

    z_stream z{};
    inflateInit2(&z, 15 + 16);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(out.dims[0]) * out.dims[1] * out.dims[2] * channels + 1);
    z.next_in = const_cast<std::uint8_t*>(bytes.data() + blank + 2);
    z.avail_in = static_cast<uInt>(bytes.size() - blank - 2);
    z.next_out = data.data();
    z.avail_out = static_cast<uInt>(data.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    data.resize(z.total_out);
    inflateEnd(&z);
    collectDense(out, data, channels);
    return out;
}

// npy 1.0: the shape tuple of the header dictionary, then the raw bytes.
ReadBack readNpy(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readFile(path);
    ReadBack out;
    EXPECT_EQ(std::memcmp(bytes.data(), "\x93NUMPY\x01\x00", 8), 0);
    const std::size_t headerLength = bytes[8] | bytes[9] << 8;
    EXPECT_EQ((10 + headerLength) % 64, 0u);
    const std::string dict(bytes.begin() + 10, bytes.begin() + 10 + headerLength);
    EXPECT_NE(dict.find("'descr': '|u1'"), std::string::npos);
    EXPECT_NE(dict.find("'fortran_order': False"), std::string::npos);
    std::istringstream shape(dict.substr(dict.find("'shape': (") + 10));
    char comma;
    int channels = 0;
    shape >> out.dims[2] >> comma >> out.dims[1] >> comma >> out.dims[0] >> comma;
    if (!(shape >> channels)) channels = 1;
    collectDense(out, std::vector<std::uint8_t>(bytes.begin() + 10 + headerLength, bytes.end()), channels);
    return out;
}

// Streams `voxels` into one writer; returns the file's path.
template <typename Writer>
std::string writeVolume(const std::string& path, const VolumeInfo& info, const VoxelSet& voxels, bool crop = false) {
    std::vector<std::unique_ptr<VolumeFileWriter>> writers;
    writers.push_back(std::make_unique<Writer>(path));
    WholeVolumeConsumer consumer(std::move(writers), crop);
    const WriteResult result = feed(consumer, info, voxels);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.filesWritten, 1);
    return path;
}

// Writes the L through one writer; returns the file's path.
template <typename Writer>
std::string writeL(const Case& c, const std::string& ext, bool crop = false) {
    const std::string path = freshDirectory(caseName(c) + ext) + "/ell." + ext;
    VolumeInfo info = volumeInfo(c.layout, c.encoding, 5);
    VoxelSet voxels = lShape();
    if (crop) {
        // The L moved one voxel up every axis, and a mesh box over cube
        // voxels 1..3 along x and y, 1..2 along z: a 3 x 3 x 2 grid that
        // should hold the L back at its corner.
        voxels.clear();
        for (Voxel v : lShape()) voxels.insert({v.i + 1, v.j + 1, v.k + 1, v.rgb});
        info.meshLow = {info.origin[0] + 0.5, info.origin[1] + 0.5, info.origin[2] + 0.5};
        info.meshHigh = {info.origin[0] + 1.7, info.origin[1] + 2.0, info.origin[2] + 1.25};
    }
    return writeVolume<Writer>(path, info, voxels, crop);
}

class WriterTest : public ::testing::TestWithParam<Case> {
protected:
    bool colour() const { return GetParam().encoding == SliceEncoding::Colour; }
};

TEST_P(WriterTest, BinvoxHoldsTheLWhereTheMeshWas) {
    const ReadBack back = readBinvox(writeL<BinvoxWriter>(GetParam(), "binvox"));
    EXPECT_EQ(back.dims, (std::array<int, 3>{5, 5, 5}));
    EXPECT_EQ(back.voxels, whiteCopy(lShape()));
    EXPECT_EQ(back.fields.at("translate"), "-1 2 10");
    EXPECT_EQ(back.fields.at("scale"), "2.5");  // 5 voxels of 0.5
}

TEST_P(WriterTest, NrrdHoldsTheLAndItsColours) {
    const ReadBack back = readNrrd(writeL<NrrdWriter>(GetParam(), "nrrd"));
    EXPECT_EQ(back.dims, (std::array<int, 3>{5, 5, 5}));
    EXPECT_EQ(back.voxels, colour() ? lShape() : whiteCopy(lShape()));
    // Sample centres: the origin plus half a voxel.
    EXPECT_EQ(back.fields.at("space origin"), "(-0.75,2.25,10.25)");
    EXPECT_EQ(back.fields.at("space directions"),
              std::string(colour() ? "none " : "") + "(0.5,0,0) (0,0.5,0) (0,0,0.5)");
    EXPECT_EQ(back.fields.at("kinds"), colour() ? "RGBA-color domain domain domain" : "domain domain domain");
}

TEST_P(WriterTest, NpyHoldsTheLAndItsColours) {
    const ReadBack back = readNpy(writeL<NpyWriter>(GetParam(), "npy"));
    EXPECT_EQ(back.dims, (std::array<int, 3>{5, 5, 5}));
    EXPECT_EQ(back.voxels, colour() ? lShape() : whiteCopy(lShape()));
}

TEST_P(WriterTest, CroppedGridCoversTheMeshBoxOnly) {
    const ReadBack npy = readNpy(writeL<NpyWriter>(GetParam(), "npy", true));
    EXPECT_EQ(npy.dims, (std::array<int, 3>{3, 3, 2}));
    EXPECT_EQ(npy.voxels, colour() ? lShape() : whiteCopy(lShape()));
    const ReadBack binvox = readBinvox(writeL<BinvoxWriter>(GetParam(), "binvox", true));
    EXPECT_EQ(binvox.dims, (std::array<int, 3>{3, 3, 2}));
    EXPECT_EQ(binvox.voxels, whiteCopy(lShape()));
    EXPECT_EQ(binvox.fields.at("scale"), "1.5");  // longest side: 3 voxels
    EXPECT_EQ(binvox.fields.at("translate"), "-0.5 2.5 10.5");  // cube voxel (1, 1, 1)
    // Unequal sides: NRRD lists them fastest axis first, after RGBA's 4.
    const ReadBack nrrd = readNrrd(writeL<NrrdWriter>(GetParam(), "nrrd", true));
    EXPECT_EQ(nrrd.fields.at("sizes"), colour() ? "4 3 3 2" : "3 3 2");
    EXPECT_EQ(nrrd.voxels, colour() ? lShape() : whiteCopy(lShape()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterTest,
                         ::testing::Values(Case{Layout::Clipping, SliceEncoding::Colour},
                                           Case{Layout::Clipping, SliceEncoding::Occupancy},
                                           Case{Layout::Depth, SliceEncoding::Colour},
                                           Case{Layout::Depth, SliceEncoding::Occupancy}),
                         [](const auto& info) { return caseName(info.param); });

TEST(Binvox, RunsLongerThanAByteCountAreSplitAt255) {
    // One filled corner, then 7999 empty voxels: 31 full runs and one of 94.
    const std::string path = writeVolume<BinvoxWriter>(freshDirectory("runs") + "/runs.binvox",
                                                       volumeInfo(Layout::Depth, SliceEncoding::Occupancy, 20),
                                                       {{0, 0, 0}});
    const std::vector<std::uint8_t> bytes = readFile(path);
    const std::string text(bytes.begin(), bytes.end());
    std::vector<std::uint8_t> expected = {1, 1};
    for (int run = 0; run < 31; ++run) expected.insert(expected.end(), {0, 255});
    expected.insert(expected.end(), {0, 94});
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + text.find("\ndata\n") + 6, bytes.end()), expected);
    EXPECT_EQ(readBinvox(path).voxels, (VoxelSet{{0, 0, 0}}));
}

TEST(FormatSet, OneVoxelCubeInEveryFormatBesideVolumeJson) {
    const std::string dir = freshDirectory("every");
    const FormatList list = parseFormatList(vdbAvailable() ? "png,binvox,nrrd,npy,vox,vdb" : "png,binvox,nrrd,npy,vox");
    ASSERT_TRUE(list.ok) << list.error;
    std::vector<std::string> files = formatFileNames(list.formats, "one");
    FanOutConsumer fan;
    fan.add(makeFormatConsumer(list.formats, {dir, "one", false}));
    fan.add(std::make_unique<VolumeJsonConsumer>(dir, "0.1.0", files, false));
    const WriteResult result =
        feed(fan, volumeInfo(Layout::Clipping, SliceEncoding::Colour, 1), {{0, 0, 0, 0x336699}});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.filesWritten, static_cast<int>(files.size()) + 1);
    files.push_back("volume.json");
    for (const std::string& name : files) {
        EXPECT_TRUE(fileExists(dir + "/" + name)) << name;
        EXPECT_FALSE(fileExists(dir + "/" + name + ".part")) << name;
    }
    EXPECT_EQ(readBinvox(dir + "/one.binvox").voxels, (VoxelSet{{0, 0, 0}}));
    EXPECT_EQ(readNpy(dir + "/one.npy").voxels, (VoxelSet{{0, 0, 0, 0x336699}}));
    EXPECT_EQ(readNrrd(dir + "/one.nrrd").voxels, (VoxelSet{{0, 0, 0, 0x336699}}));
}

TEST(CroppedGrid, MovesTheOriginToTheMeshBoxAndKeepsAtLeastOneVoxel) {
    VolumeInfo info = volumeInfo(Layout::Depth, SliceEncoding::Occupancy, 8);
    // x from 1.25 to 2.0 voxels in, y on a boundary at 2 .. 6, z flat at 7.5.
    info.meshLow = {info.origin[0] + 0.625, info.origin[1] + 1.0, info.origin[2] + 3.75};
    info.meshHigh = {info.origin[0] + 1.0, info.origin[1] + 3.0, info.origin[2] + 3.75};
    const GridBox box = croppedGrid(info);
    EXPECT_EQ(box.low, (std::array<int, 3>{1, 2, 7}));
    EXPECT_EQ(box.dims, (std::array<int, 3>{1, 4, 1}));
    EXPECT_DOUBLE_EQ(box.origin[0], info.origin[0] + 0.5);
    EXPECT_DOUBLE_EQ(box.origin[2], info.origin[2] + 3.5);
}

TEST(WriteFailure, UnwritablePathLeavesNoFileAndNamesIt) {
    const std::string dir = freshDirectory("unwritable");
    const std::string path = dir + "/missing/ell.nrrd";
    std::vector<std::unique_ptr<VolumeFileWriter>> writers;
    writers.push_back(std::make_unique<NrrdWriter>(path));
    WholeVolumeConsumer consumer(std::move(writers), false);
    const WriteResult result = feed(consumer, volumeInfo(Layout::Clipping, SliceEncoding::Colour, 4), lShape());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.file, path) << result.error.text();
    EXPECT_FALSE(fileExists(path));
}

TEST(WriteFailure, AFullDeviceFailsTheWriterNamingItsFile) {
    if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // Writers write in place (a run's stage folder makes the set atomic);
    // the file is a link to /dev/full, so every write fails.
    const std::string dir = freshDirectory("full");
    const std::string path = dir + "/ell.npy";
    std::filesystem::create_symlink("/dev/full", path);
    NpyWriter writer(path);
    GridVolume volume;
    ASSERT_TRUE(volume.allocate(fullGrid(volumeInfo(Layout::Depth, SliceEncoding::Occupancy, 64)), false));
    const WriteResult result = writer.write(volume);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.text(), path + ": No space left on device");
}

TEST(WriteFailure, VolumeTooLargeIsRefusedAtBegin) {
    GridVolume::setAllocationLimitForTesting(1000);
    std::vector<std::unique_ptr<VolumeFileWriter>> writers;
    writers.push_back(std::make_unique<BinvoxWriter>("out/big.binvox"));
    WholeVolumeConsumer consumer(std::move(writers), false);
    const WriteResult result = consumer.begin(volumeInfo(Layout::Depth, SliceEncoding::Occupancy, 64));
    GridVolume::setAllocationLimitForTesting(0);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.text(), "out/big.binvox: not enough memory to hold a 64 x 64 x 64 volume (1 MiB)");
}

// An anisotropic box grid: every format that can hold one says the same
// dims, edges and origin; those that can't refuse it before any file.
class AnisotropicGrid : public ::testing::TestWithParam<Case> {
protected:
    bool colour() const { return GetParam().encoding == SliceEncoding::Colour; }
    VolumeInfo info() const { return anisotropicInfo(GetParam().layout, GetParam().encoding); }
};

TEST_P(AnisotropicGrid, NrrdGivesEachAxisItsSpacingAndUnit) {
    const std::string path = freshDirectory("aniso" + caseName(GetParam())) + "/ell.nrrd";
    const ReadBack back = readNrrd(writeVolume<NrrdWriter>(path, info(), lShape()));
    EXPECT_EQ(back.dims, (std::array<int, 3>{4, 3, 5}));
    EXPECT_EQ(back.voxels, colour() ? lShape() : whiteCopy(lShape()));
    EXPECT_EQ(back.fields.at("space directions"),
              std::string(colour() ? "none " : "") + "(0.5,0,0) (0,0.25,0) (0,0,1)");
    EXPECT_EQ(back.fields.at("space origin"), "(-0.75,2.125,10.5)");  // first voxel's centre
    EXPECT_EQ(back.fields.at("space units"), "\"mm\" \"mm\" \"mm\"");
}

TEST_P(AnisotropicGrid, NpyShapeIsTheGridsDims) {
    const std::string path = freshDirectory("anisonpy" + caseName(GetParam())) + "/ell.npy";
    const ReadBack back = readNpy(writeVolume<NpyWriter>(path, info(), lShape()));
    EXPECT_EQ(back.dims, (std::array<int, 3>{4, 3, 5}));
    EXPECT_EQ(back.voxels, colour() ? lShape() : whiteCopy(lShape()));
}

TEST_P(AnisotropicGrid, BinvoxAndVoxRefuseNamingTheEdgesAndLeaveNoFile) {
    const std::string dir = freshDirectory("anisorefused" + caseName(GetParam()));
    for (const std::string ext : {"binvox", "vox"}) {
        std::vector<std::unique_ptr<VolumeFileWriter>> writers;
        if (ext == "binvox") writers.push_back(std::make_unique<BinvoxWriter>(dir + "/ell.binvox"));
        else writers.push_back(std::make_unique<VoxWriter>(dir + "/ell.vox"));
        WholeVolumeConsumer consumer(std::move(writers), false);
        const WriteResult result = consumer.begin(info());
        ASSERT_FALSE(result.ok) << ext;
        EXPECT_EQ(result.error.file, dir + "/ell." + ext);
        EXPECT_NE(result.error.message.find("cubic voxels only"), std::string::npos) << result.error.message;
        EXPECT_NE(result.error.message.find("0.5 x 0.25 x 1"), std::string::npos) << result.error.message;
        EXPECT_FALSE(fileExists(dir + "/ell." + ext));
    }
}

TEST_P(AnisotropicGrid, VolumeJsonGivesDimsEdgesUnitAndTheSlices) {
    const std::string dir = freshDirectory("anisojson" + caseName(GetParam()));
    VolumeJsonConsumer json(dir, "0.1.0", {}, false);
    ASSERT_TRUE(feed(json, info(), lShape()).ok);
    const std::vector<std::uint8_t> bytes = readFile(dir + "/volume.json");
    const std::string text(bytes.begin(), bytes.end());
    for (const char* expected : {"\"unit\": \"mm\"", "\"shape\": \"box\"", "\"dims\": [4, 3, 5]",
                                 "\"voxelSize\": null", "\"voxelEdge\": [0.5, 0.25, 1]",
                                 "\"origin\": [-1, 2, 10]", "\"filledVoxels\": 6"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    // The stack's own sizes follow its axes: the clipping layout slices down
    // y (3 slices of 5 x 4), the solid one up z (5 of 4 x 3).
    const bool clipping = GetParam().layout == Layout::Clipping;
    const std::string sizes = clipping ? "\"width\": 5,\n    \"height\": 4,\n    \"slices\": 3"
                                       : "\"width\": 4,\n    \"height\": 3,\n    \"slices\": 5";
    EXPECT_NE(text.find(sizes), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Layouts, AnisotropicGrid,
                         ::testing::Values(Case{Layout::Clipping, SliceEncoding::Colour},
                                           Case{Layout::Depth, SliceEncoding::Occupancy}),
                         [](const auto& info) { return caseName(info.param); });

TEST(CubicBoxGrid, BinvoxKeepsUnequalDimsWithTheOneScale) {
    // Cubic voxels on a grid of unequal sides: written, the scale the longest side.
    VolumeInfo info = anisotropicInfo(Layout::Depth, SliceEncoding::Occupancy);
    info.edge = {0.5, 0.5, 0.5};
    info.voxelSize = 0.5f;
    const ReadBack back = readBinvox(writeVolume<BinvoxWriter>(freshDirectory("cubicbox") + "/ell.binvox", info, lShape()));
    EXPECT_EQ(back.dims, (std::array<int, 3>{4, 3, 5}));
    EXPECT_EQ(back.fields.at("scale"), "2.5");  // 5 voxels of 0.5
    EXPECT_EQ(back.voxels, whiteCopy(lShape()));
}

}  // namespace
}  // namespace kubelmar::test
