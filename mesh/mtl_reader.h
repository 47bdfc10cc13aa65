#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostic.h"

#include "mesh/material.h"

namespace kubelmar {

// A material as the MTL file gives it, before its texture is loaded.
struct MtlMaterial {
    Material material;       // texture still -1
    std::string texturePath;  // map_Kd's file name as written (may hold spaces); empty if none
    int textureLine = 0;      // line of map_Kd, for messages
};

struct MtlReadResult {
    bool ok = false;            // false only when the file cannot be read
    std::string error;          // one line naming the file and the reason
    std::vector<MtlMaterial> materials;  // in file order; a later definition of a name wins
    Diagnostics warnings;                // one per broken line, naming the file and line
};

// Parses MTL text: newmtl, Kd (r [g b]) and map_Kd with its options
// (-blendu -blendv -boost -mm -o -s -t -texres -clamp -bm -imfchan -type)
// stepped over; the rest of the line is the file name. Everything else is
// ignored. `name` is used in messages only.
MtlReadResult parseMTL(std::string_view text, const std::string& name);

// Reads and parses an MTL file.
MtlReadResult readMTL(const std::string& path);

}  // namespace kubelmar
