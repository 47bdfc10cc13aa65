#include "colour/print_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "colour/palette_file.h"

namespace kubelmar {

std::string describePrint(const PrintSettings& settings) {
    if (!settings.active()) return {};
    std::string text = "Print: " + (settings.palette.empty() ? std::string("own colours") : settings.palette.name);
    if (!settings.palette.empty()) text += std::string(", ") + ditherName(settings.dither);
    if (settings.colourDepth) {
        std::ostringstream depth;
        depth << *settings.colourDepth;
        text += ", colour depth " + depth.str();
    }
    if (!settings.coreColour.empty()) text += ", core " + settings.coreColour;
    return text;
}

bool resolvePrintOptions(const PrintOptions& options, VoxelMode mode, PrintSettings& settings, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    PrintSettings resolved;
    if (!options.palette.empty()) {
        std::string why;
        if (!loadPalette(options.palette, resolved.palette, &why)) return fail("--palette: " + why);
    }
    if (!options.dither.empty()) {
        const std::optional<DitherMode> dither = ditherFromName(options.dither);
        if (!dither) return fail("--dither: '" + options.dither + "' is not none, diffusion or blue-noise");
        if (*dither != DitherMode::None && resolved.palette.empty())
            return fail("--dither: dithering needs a --palette to dither into");
        resolved.dither = *dither;
    }
    if (!options.colourDepth.empty()) {
        // Locale-free: the desktop program runs under the user's locale.
        const std::string& text = options.colourDepth;
        double depth = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), depth);
        if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(depth) || depth < 0)
            return fail("--colour-depth: '" + options.colourDepth +
                        "' is not a depth >= 0 (voxels, or a length in the unit --units names)");
        if (!isSolidMode(mode))
            return fail("--colour-depth: the clipping mode makes a shell with no inside (use -m depth or -m parity)");
        resolved.colourDepth = depth;
    }
    resolved.coreColour = options.coreColour;
    if (!options.coreColour.empty() && resolved.palette.empty() && options.coreColour != "white")
        return fail("--core-colour: '" + options.coreColour + "' needs a --palette that holds it");
    if (!resolved.palette.empty()) {
        std::string why;
        if (coreMaterial(resolved, &why) < 0) return fail(why);
    }
    settings = std::move(resolved);
    return true;
}

}  // namespace kubelmar
