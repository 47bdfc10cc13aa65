#pragma once

#include <string>

#include "colour/print_settings.h"
#include "volume/voxel_mode.h"

namespace kubelmar {

// The print options as the user gave them, as text: the command line's
// --palette, --dither, --colour-depth and --core-colour, or the desktop
// program's Print dialog. Empty: not given.
struct PrintOptions {
    std::string palette;      // a built-in name or a palette file (JSON)
    std::string dither;       // none, diffusion, blue-noise
    std::string colourDepth;  // voxels (a number >= 0)
    std::string coreColour;   // a material's name or "clear"

    bool empty() const { return palette.empty() && dither.empty() && colourDepth.empty() && coreColour.empty(); }
};

// Turns the options into print settings for a run in `mode`, reading the
// palette file when one is named. False with one line naming the option
// (or the palette file) and the reason: a palette that can't be read or is
// no palette, an unknown dither, a dither or core colour without a palette,
// a core material the palette lacks, a colour depth that is not a number
// >= 0 or is given for the clipping mode (a shell has no inside).
bool resolvePrintOptions(const PrintOptions& options, VoxelMode mode, PrintSettings& settings, std::string* error);

// What a run prints, in a few words for the desktop program's save plan:
// "" when printing is off, else "Print: cmyk, blue-noise, colour depth 6"
// (the palette, the dither, the colour depth when set, the core when not
// the default).
std::string describePrint(const PrintSettings& settings);

}  // namespace kubelmar
