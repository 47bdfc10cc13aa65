#include "formats/nrrd_writer.h"

#include <vector>

#include "io/checked_file.h"
#include "formats/gzip_stream.h"
#include "formats/number_text.h"

namespace kubelmar {

namespace {

std::string header(const GridBox& box, bool colour) {
    // The cube's edge as it has always been written (single precision);
    // other grids give each axis its own spacing.
    const bool cube = box.voxelSize > 0 && box.cubicVoxels();
    std::string v[3];
    double half[3];
    for (int a = 0; a < 3; ++a) {
        v[a] = cube ? numberText(box.voxelSize) : numberText(box.edge[a]);
        half[a] = 0.5 * (cube ? static_cast<double>(box.voxelSize) : box.edge[a]);
    }
    const std::string sizes =
        std::to_string(box.dims[0]) + " " + std::to_string(box.dims[1]) + " " + std::to_string(box.dims[2]);
    std::string text = "NRRD0004\n# Kubelmar voxel grid: index (i, j, k) along +x, +y, +z, " +
                       (box.unit.empty() ? std::string("file units") : box.unit) + "\n";
    text += "type: uint8\n";
    text += colour ? "dimension: 4\nsizes: 4 " + sizes + "\n" : "dimension: 3\nsizes: " + sizes + "\n";
    text += "space dimension: 3\nspace directions: ";
    text += colour ? "none " : "";
    text += "(" + v[0] + ",0,0) (0," + v[1] + ",0) (0,0," + v[2] + ")\n";
    text += "space origin: (" + numberText(box.origin[0] + half[0]) + "," + numberText(box.origin[1] + half[1]) +
            "," + numberText(box.origin[2] + half[2]) + ")\n";
    if (!box.unit.empty())
        text += "space units: \"" + box.unit + "\" \"" + box.unit + "\" \"" + box.unit + "\"\n";
    text += colour ? "kinds: RGBA-color domain domain domain\n" : "kinds: domain domain domain\n";
    text += "encoding: gzip\n\n";
    return text;
}

}  // namespace

WriteResult NrrdWriter::write(const GridVolume& volume) {
    const GridBox& box = volume.box();
    const bool colour = volume.hasColour();
    CheckedFile file;
    file.open(path_);
    file.write(header(box, colour));
    {
        GzipStream gzip(file);
        forEachDenseRow(
            volume, colour, [&] { return file.ok(); },
            [&](const std::uint8_t* row, std::size_t size) { gzip.write(row, size); });
        gzip.finish();
    }
    if (const IoResult written = file.finish(); !written.ok) return writeFailure(written.path, written.reason);
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
