#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kubelmar {

// What the engine knows of a slice's layout when it hands the slice over:
// for each image row (0 at the top), the columns [first, end) outside which
// every pixel is the encoding's empty pixel (opaque black for colour, all
// zero for occupancy and materials). A row with first == end holds no
// voxel. Spans may be wider than the voxels they hold, never narrower.
//
// At large N most of a slice is empty rows: consumers that count or encode
// skip them instead of reading 4 bytes for every pixel of every slice.
class SliceRows {
public:
    // `height` rows, all empty.
    void reset(int height) {
        first_.assign(static_cast<std::size_t>(height), 0);
        end_.assign(static_cast<std::size_t>(height), 0);
    }
    void mark(int row, int column) {
        std::int32_t& first = first_[static_cast<std::size_t>(row)];
        std::int32_t& end = end_[static_cast<std::size_t>(row)];
        if (first == end) {
            first = column;
            end = column + 1;
        } else {
            first = std::min(first, column);
            end = std::max(end, column + 1);
        }
    }
    int height() const { return static_cast<int>(first_.size()); }
    bool empty(int row) const { return first_[static_cast<std::size_t>(row)] == end_[static_cast<std::size_t>(row)]; }
    int first(int row) const { return first_[static_cast<std::size_t>(row)]; }
    int end(int row) const { return end_[static_cast<std::size_t>(row)]; }

private:
    std::vector<std::int32_t> first_, end_;
};

}  // namespace kubelmar
