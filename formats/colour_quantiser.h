#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "formats/grid_volume.h"

namespace kubelmar {

// A colour and how many voxels carry it.
struct ColourCount {
    Rgb rgb = 0;
    std::uint64_t count = 0;
};

// At most `maxColours` palette entries for a set of colours, and the entry
// (0-based) each input colour maps to. With no more distinct colours than
// entries the palette is exact; otherwise median cut (split the box with the
// widest channel at its voxel-weighted median; each entry the weighted mean
// of its box) and every colour then takes its nearest entry.
struct QuantisedPalette {
    std::vector<Rgb> entries;
    std::unordered_map<Rgb, std::uint8_t> indexOf;
    // Largest Euclidean RGB distance (0..255 per channel) between an input
    // colour and its entry.
    double maxError = 0.0;
};

// `colours`: distinct colours with their counts; maxColours 1..256.
QuantisedPalette quantiseColours(std::vector<ColourCount> colours, int maxColours);

}  // namespace kubelmar
