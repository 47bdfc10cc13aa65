#include "formats/whole_volume_consumer.h"

#include <string>
#include <utility>

namespace kubelmar {

WholeVolumeConsumer::WholeVolumeConsumer(std::vector<std::unique_ptr<VolumeFileWriter>> writers, bool crop)
    : writers_(std::move(writers)), crop_(crop) {}

WriteResult WholeVolumeConsumer::begin(const VolumeInfo& info) {
    info_ = info;
    const std::string firstPath = writers_.empty() ? std::string("(no file)") : writers_.front()->path();
    if (info.dims[0] <= 0 || info.dims[1] <= 0 || info.dims[2] <= 0) return writeFailure(firstPath, "empty volume");
    const GridBox box = crop_ ? croppedGrid(info) : fullGrid(info);
    for (const auto& writer : writers_)
        if (const std::string why = writer->refusal(box); !why.empty()) return writeFailure(writer->path(), why);
    if (!volume_.allocate(box, encodingHasColour(info.encoding))) {
        const std::uint64_t mib = (GridVolume::bitBytes(box) + (1u << 20) - 1) >> 20;
        return writeFailure(firstPath, "not enough memory to hold a " + std::to_string(box.dims[0]) + " x " +
                                           std::to_string(box.dims[1]) + " x " + std::to_string(box.dims[2]) +
                                           " volume (" + std::to_string(mib) + " MiB)");
    }
    return {};
}

WholeVolumeConsumer::StackRun WholeVolumeConsumer::stackRun(SignedAxis axis) const {
    // Stack indices t along `axis` whose voxel lies in the box, and the
    // linear index each adds: (gridIndex(t) - low) * stride.
    const GridBox& box = volume_.box();
    const std::int64_t strides[3] = {1, box.dims[0], static_cast<std::int64_t>(box.dims[0]) * box.dims[1]};
    const int a = axis.axis, n = info_.dims[a];
    StackRun run;
    run.first = axis.sign > 0 ? box.low[a] : n - box.low[a] - box.dims[a];
    run.end = run.first + box.dims[a];
    run.step = axis.sign * strides[a];
    run.indexAtFirst = (gridIndex(axis, run.first, n) - box.low[a]) * strides[a];
    return run;
}

WriteResult WholeVolumeConsumer::slice(int s, const std::uint8_t* rgba) {
    const int width = info_.width();
    const StackRun slices = stackRun(info_.sliceAxis);
    if (s < slices.first || s >= slices.end) return {};
    const StackRun rows = stackRun(info_.rowAxis), columns = stackRun(info_.columnAxis);
    const std::int64_t sliceIndex = slices.indexAtFirst + (s - slices.first) * slices.step;
    const bool colour = encodingHasColour(info_.encoding);
    for (int r = rows.first; r < rows.end; ++r) {
        std::int64_t index = sliceIndex + rows.indexAtFirst + (r - rows.first) * rows.step + columns.indexAtFirst;
        const std::uint8_t* pixel = rgba + (static_cast<std::size_t>(r) * width + columns.first) * 4;
        for (int c = columns.first; c < columns.end; ++c, pixel += 4, index += columns.step) {
            if (!voxelFilled(pixel, info_.encoding)) continue;
            const Rgb rgb = colour ? (Rgb{pixel[0]} << 16) | (Rgb{pixel[1]} << 8) | pixel[2] : Rgb{0xFFFFFF};
            if (!volume_.setIndex(static_cast<std::uint64_t>(index), rgb)) {
                return writeFailure(writers_.empty() ? std::string("(no file)") : writers_.front()->path(),
                                    "not enough memory for the voxel colours");
            }
        }
    }
    return {};
}

WriteResult WholeVolumeConsumer::end() {
    volume_.finish();
    WriteResult result;
    for (auto& writer : writers_) {
        WriteResult one = writer->write(volume_);
        if (!one.ok) return one;
        result.filesWritten += one.filesWritten;
    }
    return result;
}

std::vector<std::string> WholeVolumeConsumer::notes() const {
    std::vector<std::string> lines;
    for (const auto& writer : writers_)
        if (std::string note = writer->note(); !note.empty()) lines.push_back(std::move(note));
    return lines;
}

void WholeVolumeConsumer::abort() {
    // Files are only created in end(), each atomically: nothing to remove.
    volume_.allocate(GridBox{}, false);
}

}  // namespace kubelmar
