#pragma once

#include <optional>
#include <string_view>

namespace kubelmar {

// Which points the solid modes count as inside the mesh, from the surface
// crossings along a ray from outside to the point.
enum class InsideRule {
    Parity = 0,   // an odd number of crossings: cavities stay empty however they wind
    NonZero = 1,  // signed crossings (+1 entering, -1 leaving by the face's
                  // orientation) not summing to 0: overlapping closed shells
                  // come out solid; a cavity stays empty when its faces point into it
};

inline const char* insideRuleName(InsideRule rule) { return rule == InsideRule::NonZero ? "nonzero" : "parity"; }

inline std::optional<InsideRule> insideRuleFromName(std::string_view name) {
    if (name == "parity") return InsideRule::Parity;
    if (name == "nonzero") return InsideRule::NonZero;
    return std::nullopt;
}

}  // namespace kubelmar
