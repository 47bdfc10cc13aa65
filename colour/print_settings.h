#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "volume/material_palette.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// How a colour between the palette's materials becomes materials.
enum class DitherMode {
    None,       // each voxel the nearest material
    Diffusion,  // error diffusion within the slice and on into the next
    BlueNoise,  // ordered thresholds from a tiled 3D blue-noise volume
};

inline const char* ditherName(DitherMode mode) {
    switch (mode) {
        case DitherMode::Diffusion: return "diffusion";
        case DitherMode::BlueNoise: return "blue-noise";
        case DitherMode::None: break;
    }
    return "none";
}

inline std::optional<DitherMode> ditherFromName(std::string_view name) {
    if (name == "none") return DitherMode::None;
    if (name == "diffusion") return DitherMode::Diffusion;
    if (name == "blue-noise") return DitherMode::BlueNoise;
    return std::nullopt;
}

// What a printer needs of a run: the materials every voxel becomes, how
// colours are dithered into them, and how deep a solid's colour goes.
// Default: nothing of it (the stack is the mode's own).
struct PrintSettings {
    // Empty: voxels keep their colours (no materials).
    MaterialPalette palette;
    DitherMode dither = DitherMode::None;
    // The solid modes colour every voxel within this distance of the
    // surface (voxel edges, measured between voxel centres) with the
    // nearest surface voxel's colour; deeper ones are core. Unset: the
    // solid is all core.
    std::optional<double> colourDepth;
    // The core's material by name, or "clear" for the palette's clear
    // material; empty: "white" when the palette has it, else its lightest
    // opaque material (without a palette the core is opaque white).
    std::string coreColour;

    bool active() const { return !palette.empty() || colourDepth.has_value(); }
};

// The palette index of the core's material; -1 with the reason when the
// palette has no such material (or no palette is set and the core is not
// white).
int coreMaterial(const PrintSettings& settings, std::string* error);

// The colour depth in edges of the grid's smallest voxel edge: given in
// voxels, or, when the run names a unit (--units), as a length in it.
inline double colourDepthInVoxels(const PrintSettings& settings, const VolumeInfo& info) {
    const double depth = settings.colourDepth.value_or(0.0);
    const double smallest = std::min({info.edge[0], info.edge[1], info.edge[2]});
    return info.unit.empty() || !(smallest > 0) ? depth : depth / smallest;
}

}  // namespace kubelmar
