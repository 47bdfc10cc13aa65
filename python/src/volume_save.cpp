#include "volume_save.h"

#include <filesystem>

#include "formats/output_formats.h"
#include "formats/run_output.h"
#include "formats/stack_files.h"

namespace kubelmar {

namespace {

// Slice s of the stack as the engine streamed it: W x H RGBA, row 0 at the top.
void stackSlice(const VolumeArrays& volume, int s, std::uint8_t* rgba) {
    const int width = volume.info.width(), height = volume.info.height();
    const bool colour = volume.info.encoding == SliceEncoding::Colour;
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            std::uint8_t* pixel = rgba + (static_cast<std::size_t>(r) * width + c) * 4;
            int ijk[3];
            const bool filled = stackPixelToGrid(volume, s, r, c, ijk) && volume.filledAt(ijk[0], ijk[1], ijk[2]);
            if (!colour) {
                const std::uint8_t v = filled ? 255 : 0;
                pixel[0] = pixel[1] = pixel[2] = pixel[3] = v;
                continue;
            }
            pixel[0] = pixel[1] = pixel[2] = 0;
            pixel[3] = 255;
            if (!filled) continue;
            const std::uint8_t* rgb = volume.colour.get() + 3 * volume.denseIndex(ijk[0], ijk[1], ijk[2]);
            const bool black = (rgb[0] | rgb[1] | rgb[2]) == 0;
            pixel[0] = black ? 1 : rgb[0];
            pixel[1] = black ? 1 : rgb[1];
            pixel[2] = black ? 1 : rgb[2];
        }
}

}  // namespace

SaveResult saveVolumeArrays(const VolumeArrays& volume, OutputRequest output) {
    SaveResult result;
    output.crop = volume.cropped;
    std::error_code ec;
    std::filesystem::create_directories(output.directory, ec);
    if (ec) {
        result.written = writeFailure(output.directory, "can't create the folder: " + ec.message());
        return result;
    }
    VolumeInfo info = volume.info;
    RunOutput files(output);
    result.written = files.begin(info);
    const int n = info.slices();
    std::vector<std::uint8_t> rgba(info.slicePixels() * 4);
    for (int s = 0; s < n && result.written.ok; ++s) {
        stackSlice(volume, s, rgba.data());
        result.written = files.slice(s, rgba.data());
    }
    if (!result.written.ok) {
        files.abort();
        return result;
    }
    result.written = files.end();
    if (result.written.ok) {
        result.files = stackFileNames(output.formats, info, outputStem(output.meshPath));
        result.notes = files.notes();
    }
    return result;
}

}  // namespace kubelmar
