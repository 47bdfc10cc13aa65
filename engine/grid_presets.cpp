#include <cassert>

#include "engine/grid_options.h"
#include "grid_presets_data.h"

namespace kubelmar {

const std::vector<GridPreset>& gridPresets() {
    static const std::vector<GridPreset> presets = [] {
        std::vector<GridPreset> parsed;
        std::string error;
        const bool ok = parseGridPresets(kGridPresetsText, parsed, &error);
        assert(ok && "data/grid-presets.ini is malformed");
        (void)ok;
        return parsed;
    }();
    return presets;
}

}  // namespace kubelmar
