#pragma once

#include <optional>
#include <ostream>
#include <string_view>

namespace kubelmar {

// The voxelization modes. The numbers are kept stable: the desktop program
// remembers the last mode by number.
enum class VoxelMode {
    DepthBuffer = 0,  // six depth pictures: a filled solid
    Clipping = 1,     // slabs one voxel thick: a coloured shell
    Parity = 2,       // XOR slicemaps: a solid that keeps its cavities
};

// The one name table: `name` is the word on the command line, in
// volume.json, reports and result lines; `label` the desktop program's
// menu entry.
struct VoxelModeNames {
    VoxelMode mode;
    const char* name;
    const char* label;
};
inline constexpr VoxelModeNames kVoxelModes[] = {
    {VoxelMode::Clipping, "clipping", "Clipping Based"},
    {VoxelMode::DepthBuffer, "depth", "Depth-Buffer Based"},
    {VoxelMode::Parity, "parity", "Parity Based"},
};

inline const char* modeName(VoxelMode mode) {
    for (const VoxelModeNames& row : kVoxelModes)
        if (row.mode == mode) return row.name;
    return "unknown";
}

inline std::optional<VoxelMode> modeFromName(std::string_view name) {
    for (const VoxelModeNames& row : kVoxelModes)
        if (name == row.name) return row.mode;
    return std::nullopt;
}

// A remembered or stored number back to a mode; null for anything else.
inline std::optional<VoxelMode> modeFromNumber(int number) {
    for (const VoxelModeNames& row : kVoxelModes)
        if (static_cast<int>(row.mode) == number) return row.mode;
    return std::nullopt;
}

inline std::ostream& operator<<(std::ostream& out, VoxelMode mode) { return out << modeName(mode); }

// Solid modes write occupancy; the clipping mode writes colours.
inline bool isSolidMode(VoxelMode mode) { return mode != VoxelMode::Clipping; }

}  // namespace kubelmar
