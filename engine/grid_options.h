#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/run_settings.h"

namespace kubelmar {

// The grid options as the user gave them, as text: the command line's
// --grid, --voxel-size, --units, --scale, --dpi, --layer, --up, --slice-axis
// and --preset, or the desktop program's Grid dialog. Empty: not given.
struct GridOptions {
    std::string grid;       // "cube" or "box"
    std::string voxelSize;  // "S" or "SX,SY,SZ"; each may carry a unit ("0.1mm")
    std::string units;      // what one mesh-file unit is: mm, cm, m, in
    std::string scale;      // factor applied to the mesh's coordinates first
    std::string dpi;        // "X" or "X,Y": dots per inch across the layer
    std::string layer;      // layer thickness, may carry a unit
    std::string up;         // the build direction: x, y or z
    std::string sliceAxis;  // the mesh axis the PNG stack slices along
    std::string preset;     // a preset's name (see gridPresets())

    bool empty() const;
};

// A named bundle of grid options, from the repository's data file.
struct GridPreset {
    std::string name;
    std::string description;
    GridOptions options;
};

// The presets built into the program (data/grid-presets.ini), in file order.
const std::vector<GridPreset>& gridPresets();

// Reads presets in that file's format ("[name]" sections of "key = value"
// lines, '#' comments). False with "line L: reason" on a malformed file.
bool parseGridPresets(const std::string& text, std::vector<GridPreset>& presets, std::string* error);

// Millimetres in one `unit` (mm, cm, m, in); nothing for any other text.
std::optional<double> millimetresPerUnit(const std::string& unit);

// The stack mapping that slices along `axis` from its low end up (bottom
// layer first), with image columns along the first of the two other axes
// in x, y, z order (growing with it) and rows along the second, row 0 at its
// high end (so a slice looks down on the layer with that axis pointing up).
StackMapping stackAlong(int axis);

// What a run's grid will be, in a few words for the desktop program's save
// plan: "Voxel Size: N" for the cube, else the shape, the edges with their
// unit and the slice axis ("Grid: box, 0.0423 x 0.0847 x 0.027 mm voxels,
// slices along z").
std::string gridSummary(const GridSettings& grid, int size);

// Turns the options into the grid settings, on top of a preset when one is
// named (the options given override it). `settings` keeps what no option
// sets. False with one line naming the option and the reason, before any
// mesh is read: non-positive, non-finite or malformed numbers, unknown
// units or axes, a size with a unit but no --units, --dpi without --units
// or --layer, and options that contradict each other.
bool resolveGridOptions(const GridOptions& options, GridSettings& settings, std::string* error);

// The options a preset bundles, with `options`' own on top.
GridOptions withPreset(const GridPreset& preset, const GridOptions& options);

}  // namespace kubelmar
