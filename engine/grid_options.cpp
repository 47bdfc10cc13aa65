#include "engine/grid_options.h"

#include <charconv>
#include <cmath>


namespace kubelmar {

namespace {

constexpr double kMillimetresPerInch = 25.4;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        parts.push_back(trimmed(text.substr(start, comma - start)));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

// A number (locale-free: the desktop program runs under the user's locale)
// followed by an optional unit suffix.
bool splitNumber(const std::string& text, double& value, std::string& suffix) {
    const std::string t = trimmed(text);
    const char* begin = t.data();
    const char* end = begin + t.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || stop == begin) return false;
    suffix = trimmed(std::string(stop, end));
    return true;
}

// Four significant digits, for people ("0.04233", "0.027", "2.5").
std::string shortNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 4);
    return std::string(buffer, result.ptr);
}

int axisFromName(const std::string& name) {
    if (name == "x") return 0;
    if (name == "y") return 1;
    if (name == "z") return 2;
    return -1;
}

// Turns option texts into numbers in output units (the mesh file's units
// times the scale), remembering the first error.
class Reader {
public:
    explicit Reader(const GridOptions& options) : options_(options) {}

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    void fail(const std::string& option, const std::string& reason) {
        if (error_.empty()) error_ = option + ": " + reason;
    }

    // A positive, finite number with no unit.
    double positive(const std::string& option, const std::string& text) {
        double value = 0;
        std::string suffix;
        if (!splitNumber(text, value, suffix) || !suffix.empty()) {
            fail(option, "'" + text + "' is not a number");
            return 0;
        }
        return checkPositive(option, text, value);
    }

    // A positive, finite length; a unit suffix is converted to the output
    // unit, which --units must then name.
    double length(const std::string& option, const std::string& text) {
        double value = 0;
        std::string suffix;
        if (!splitNumber(text, value, suffix)) {
            fail(option, "'" + text + "' is not a length (a number, optionally with mm, cm, m or in)");
            return 0;
        }
        if (!checkPositive(option, text, value)) return 0;
        if (suffix.empty()) return value;
        const std::optional<double> given = millimetresPerUnit(suffix);
        if (!given) {
            fail(option, "unknown unit '" + suffix + "' (mm, cm, m or in)");
            return 0;
        }
        const std::optional<double> output = millimetresPerUnit(options_.units);
        if (!output) {
            fail(option, "'" + text + "' has a unit, so --units must say what the mesh file's coordinates are");
            return 0;
        }
        return value * *given / *output;
    }

private:
    double checkPositive(const std::string& option, const std::string& text, double value) {
        if (!std::isfinite(value) || value <= 0) {
            fail(option, "must be a positive number, not '" + trimmed(text) + "'");
            return 0;
        }
        return value;
    }

    const GridOptions& options_;
    std::string error_;
};

const GridPreset* findPreset(const std::string& name) {
    for (const GridPreset& preset : gridPresets())
        if (preset.name == name) return &preset;
    return nullptr;
}

}  // namespace

bool GridOptions::empty() const {
    return grid.empty() && voxelSize.empty() && units.empty() && scale.empty() && dpi.empty() &&
           layer.empty() && up.empty() && sliceAxis.empty() && preset.empty();
}

std::optional<double> millimetresPerUnit(const std::string& unit) {
    if (unit == "mm") return 1.0;
    if (unit == "cm") return 10.0;
    if (unit == "m") return 1000.0;
    if (unit == "in") return kMillimetresPerInch;
    return std::nullopt;
}

StackMapping stackAlong(int axis) {
    const int first = axis == 0 ? 1 : 0;
    const int second = axis == 2 ? 1 : 2;
    return StackMapping{SignedAxis{axis, 1}, SignedAxis{second, -1}, SignedAxis{first, 1}};
}

GridOptions withPreset(const GridPreset& preset, const GridOptions& options) {
    GridOptions merged = preset.options;
    auto over = [](std::string& field, const std::string& given) {
        if (!given.empty()) field = given;
    };
    over(merged.grid, options.grid);
    over(merged.voxelSize, options.voxelSize);
    over(merged.units, options.units);
    over(merged.scale, options.scale);
    over(merged.dpi, options.dpi);
    over(merged.layer, options.layer);
    over(merged.up, options.up);
    over(merged.sliceAxis, options.sliceAxis);
    merged.preset = preset.name;
    return merged;
}

std::string gridSummary(const GridSettings& grid, int size) {
    const bool plain = grid.shape == GridShape::Cube && !grid.stack && grid.scale == 1.0;
    if (plain) return "Voxel Size: " + std::to_string(size);
    std::string text = "Grid: ";
    text += grid.shape == GridShape::Box ? "box" : "cube";
    const auto& e = grid.edge;
    if (e[0] > 0) {
        text += ", " + shortNumber(e[0]);
        if (e[1] != e[0] || e[2] != e[0]) text += " x " + shortNumber(e[1]) + " x " + shortNumber(e[2]);
        text += grid.unit.empty() ? "" : " " + grid.unit;
        text += " voxels";
    } else {
        text += ", " + std::to_string(size) + " along the longest side";
    }
    if (grid.scale != 1.0) text += ", scaled " + shortNumber(grid.scale);
    if (grid.stack) text += std::string(", slices along ") + "xyz"[grid.stack->slice.axis];
    return text;
}

bool resolveGridOptions(const GridOptions& given, GridSettings& settings, std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    GridOptions options = given;
    if (!given.preset.empty()) {
        const GridPreset* preset = findPreset(given.preset);
        if (!preset) return fail("--preset: no preset named '" + given.preset + "' (--preset list shows them)");
        options = withPreset(*preset, given);
    }
    if (!options.units.empty() && !millimetresPerUnit(options.units))
        return fail("--units: unknown unit '" + options.units + "' (mm, cm, m or in)");
    if (!options.grid.empty() && options.grid != "cube" && options.grid != "box")
        return fail("--grid: '" + options.grid + "' is not cube or box");
    const int up = options.up.empty() ? -1 : axisFromName(options.up);
    if (!options.up.empty() && up < 0) return fail("--up: '" + options.up + "' is not x, y or z");
    const int sliceAxis = options.sliceAxis.empty() ? -1 : axisFromName(options.sliceAxis);
    if (!options.sliceAxis.empty() && sliceAxis < 0)
        return fail("--slice-axis: '" + options.sliceAxis + "' is not x, y or z");
    if (up >= 0 && sliceAxis >= 0 && up != sliceAxis)
        return fail("--slice-axis " + options.sliceAxis + ": a printer stack slices along --up " + options.up);

    Reader read(options);
    GridSettings resolved = settings;
    resolved.scale = options.scale.empty() ? 1.0 : read.positive("--scale", options.scale);
    resolved.unit = options.units;
    resolved.preset = given.preset;
    if (!options.grid.empty()) resolved.shape = options.grid == "box" ? GridShape::Box : GridShape::Cube;

    const bool printer = !options.dpi.empty() || !options.layer.empty();
    if (printer && !options.voxelSize.empty())
        return fail("--voxel-size: give either it or --dpi and --layer, not both");
    if (!options.dpi.empty() && options.units.empty())
        return fail("--dpi: dots per inch need --units (what the mesh file's coordinates are)");
    if (printer && (options.dpi.empty() || options.layer.empty()))
        return fail(options.dpi.empty() ? "--layer: needs --dpi (the dots per inch across the layer)"
                                        : "--dpi: needs --layer (the layer thickness)");
    if ((printer || !options.voxelSize.empty()) && options.grid == "cube")
        return fail("--grid cube: " + std::string(printer ? "--dpi" : "--voxel-size") +
                    " sets the voxel edge, which makes a box grid (drop --grid cube)");

    if (!options.voxelSize.empty()) {
        const std::vector<std::string> parts = splitCommas(options.voxelSize);
        if (parts.size() != 1 && parts.size() != 3)
            return fail("--voxel-size: '" + options.voxelSize + "' is not S or SX,SY,SZ");
        for (int a = 0; a < 3; ++a) resolved.edge[a] = read.length("--voxel-size", parts[parts.size() == 1 ? 0 : a]);
        resolved.shape = GridShape::Box;
    }
    if (printer) {
        const std::vector<std::string> parts = splitCommas(options.dpi);
        if (parts.size() > 2) return fail("--dpi: '" + options.dpi + "' is not X or X,Y");
        const double across = read.positive("--dpi", parts[0]);
        const double along = read.positive("--dpi", parts.back());
        const int build = up >= 0 ? up : 2;
        const StackMapping stack = stackAlong(build);
        const double perUnit = millimetresPerUnit(options.units).value_or(1.0);
        if (!read.failed()) {
            resolved.edge[stack.column.axis] = kMillimetresPerInch / across / perUnit;
            resolved.edge[stack.row.axis] = kMillimetresPerInch / along / perUnit;
        }
        resolved.edge[build] = read.length("--layer", options.layer);
        resolved.shape = GridShape::Box;
        resolved.stack = stack;
    }
    if (read.failed()) return fail(read.error());
    if (up >= 0) resolved.stack = stackAlong(up);
    if (sliceAxis >= 0) resolved.stack = stackAlong(sliceAxis);
    settings = resolved;
    return true;
}

bool parseGridPresets(const std::string& text, std::vector<GridPreset>& presets, std::string* error) {
    auto fail = [&](int line, const std::string& reason) {
        if (error) *error = "line " + std::to_string(line) + ": " + reason;
        return false;
    };
    presets.clear();
    std::string::size_type start = 0;
    for (int line = 1; start < text.size(); ++line) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string row = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (row.empty() || row[0] == '#') continue;
        if (row.front() == '[') {
            if (row.back() != ']' || row.size() < 3) return fail(line, "a section is [name]");
            presets.push_back(GridPreset{row.substr(1, row.size() - 2), "", {}});
            continue;
        }
        const auto equals = row.find('=');
        if (equals == std::string::npos) return fail(line, "expected key = value");
        if (presets.empty()) return fail(line, "a key before the first [name]");
        const std::string key = trimmed(row.substr(0, equals));
        const std::string value = trimmed(row.substr(equals + 1));
        GridPreset& preset = presets.back();
        GridOptions& o = preset.options;
        std::string* field = key == "description" ? &preset.description
                             : key == "grid"      ? &o.grid
                             : key == "voxel-size" ? &o.voxelSize
                             : key == "units"     ? &o.units
                             : key == "scale"     ? &o.scale
                             : key == "dpi"       ? &o.dpi
                             : key == "layer"     ? &o.layer
                             : key == "up"        ? &o.up
                             : key == "slice-axis" ? &o.sliceAxis
                                                  : nullptr;
        if (!field) return fail(line, "unknown key '" + key + "'");
        *field = value;
    }
    return true;
}

}  // namespace kubelmar
