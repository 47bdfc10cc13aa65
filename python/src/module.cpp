// The native half of the Python module: thin bindings over ArrayVoxelizer
// and VolumeArrays. Argument checking, warnings and the exceptions' choice
// live in kubelmar/__init__.py; this file hands values across and releases
// the GIL while the engine runs.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <mutex>
#include <optional>

#include "engine/grid_layout.h"
#include "formats/format_list.h"
#include "formats/volume_json.h"
#include "mesh_arrays.h"
#include "volume/voxel_mode.h"
#include "volume_save.h"
#include "voxelizer.h"

namespace py = pybind11;
using namespace kubelmar;

namespace {

// Raised in Python as kubelmar.Error: a failure of the run, not of the
// arguments (those are ValueError).
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A voxelization's outcome as Python sees it: the volume (or None), the
// warning lines and the error line (empty when done).
struct NativeResult {
    std::shared_ptr<VolumeArrays> volume;
    std::vector<std::string> warnings;
    std::string error;
};

NativeResult toNative(ArrayOutcome outcome) {
    NativeResult result;
    result.volume = std::move(outcome.volume);
    result.warnings = outcome.report.warningTexts();
    result.error = outcome.report.errorText();
    if (!result.volume && result.error.empty()) result.error = "the voxelization did not finish";
    return result;
}

ArrayRequest makeRequest(const std::string& mode, int size, std::array<double, 3> voxelEdge, const std::string& grid,
                         const std::string& sliceAxis, const std::string& precision, int parityVotes,
                         const std::string& colour, bool crop, bool packed) {
    ArrayRequest request;
    RunSettings& s = request.settings;
    const std::optional<VoxelMode> parsed = modeFromName(mode);
    if (!parsed) throw py::value_error("mode: '" + mode + "' is not clipping, depth or parity");
    s.mode = *parsed;
    s.size = size;
    // Edges given make a box grid of them (as --voxel-size does).
    if (grid != "cube" && grid != "box") throw py::value_error("grid: '" + grid + "' is not cube or box");
    s.grid.edge = voxelEdge;
    s.grid.shape = grid == "box" || edgesChosen(s.grid) ? GridShape::Box : GridShape::Cube;
    if (!sliceAxis.empty()) {
        if (sliceAxis != "x" && sliceAxis != "y" && sliceAxis != "z")
            throw py::value_error("slice_axis: '" + sliceAxis + "' is not x, y or z");
        s.grid.stack = stackAlong(sliceAxis[0] - 'x');
    }
    s.depthPrecision = precision == "full" ? DepthPrecision::Full : DepthPrecision::Byte;
    s.parityVotes = parityVotes;
    if (!parseColourSource(colour, s.colour)) throw py::value_error("colour: '" + colour + "' is not a colour source");
    request.crop = crop;
    request.packed = packed;
    return request;
}

// Holds a voxelizer for one call: refuses a second thread instead of
// letting two calls share the GL context.
class Claim {
public:
    explicit Claim(ArrayVoxelizer& voxelizer) : voxelizer_(voxelizer), held_(voxelizer.claim()) {}
    ~Claim() {
        if (held_) voxelizer_.release();
    }
    bool held() const { return held_; }

private:
    ArrayVoxelizer& voxelizer_;
    bool held_;
};

class NativeVoxelizer {
public:
    NativeVoxelizer() {
        std::string error;
        voxelizer_ = ArrayVoxelizer::create(&error);
        if (!voxelizer_) throw Failure(error);
    }

    NativeResult voxelizeFile(const std::string& path, const ArrayRequest& request) {
        ArrayVoxelizer& v = open();
        const Claim claim(v);
        if (!claim.held()) throw BusyError();
        py::gil_scoped_release unlocked;
        return toNative(v.voxelizeFile(path, request));
    }

    NativeResult voxelizeArrays(py::array_t<double, py::array::c_style> vertices,
                                py::array_t<std::int64_t, py::array::c_style> faces,
                                std::optional<py::array_t<double, py::array::c_style>> colours,
                                double colourMaximum, const std::string& name, const ArrayRequest& request) {
        ArrayVoxelizer& v = open();
        MeshArrays arrays;
        arrays.vertices = vertices.data();
        arrays.vertexCount = static_cast<std::size_t>(vertices.shape(0));
        arrays.faces = faces.data();
        arrays.faceCount = static_cast<std::size_t>(faces.shape(0));
        if (colours) arrays.colours = colours->data();
        arrays.colourMaximum = colourMaximum;
        const Claim claim(v);
        if (!claim.held()) throw BusyError();
        std::string bad;
        NativeResult result;
        {
            py::gil_scoped_release unlocked;
            Mesh mesh;
            bad = buildMeshFromArrays(arrays, mesh);
            if (bad.empty()) result = toNative(v.voxelizeMesh(std::move(mesh), name, request));
        }
        if (!bad.empty()) throw py::value_error(bad);
        return result;
    }

    int maxSize() { return open().maxSize(); }
    std::string renderer() { return open().renderer(); }
    int liveGLObjects() {
        ArrayVoxelizer& v = open();
        const Claim claim(v);
        if (!claim.held()) throw BusyError();
        return v.liveGLObjects();
    }
    void close() {
        if (!voxelizer_) return;
        if (!voxelizer_->claim()) throw BusyError();
        // Never released: nothing may use it again once closed.
        std::unique_ptr<ArrayVoxelizer> closing = std::move(voxelizer_);
        py::gil_scoped_release unlocked;
        closing.reset();
    }
    bool closed() const { return !voxelizer_; }

    // Raised as kubelmar.Error by the caller's translator.
    struct BusyError : Failure {
        BusyError()
            : Failure("this Voxelizer is in use by another thread: use one Voxelizer per thread") {}
    };

private:
    ArrayVoxelizer& open() {
        if (!voxelizer_) throw Failure("this Voxelizer is closed");
        return *voxelizer_;
    }
    std::unique_ptr<ArrayVoxelizer> voxelizer_;
};

// A NumPy view of `bytes` (owned by `volume`) that keeps the volume alive.
py::array view(const std::shared_ptr<VolumeArrays>& volume, py::dtype dtype, std::vector<py::ssize_t> shape,
               std::vector<py::ssize_t> strides, std::uint8_t* bytes) {
    py::capsule owner(new std::shared_ptr<VolumeArrays>(volume),
                      [](void* p) { delete static_cast<std::shared_ptr<VolumeArrays>*>(p); });
    return py::array(dtype, std::move(shape), std::move(strides), bytes, owner);
}

py::array occupancyArray(const std::shared_ptr<VolumeArrays>& volume) {
    const auto& d = volume->box.dims;
    const py::ssize_t nx = d[0], ny = d[1], nz = d[2];
    if (volume->packed) {
        const py::ssize_t row = static_cast<py::ssize_t>(volume->packedRowBytes());
        return view(volume, py::dtype::of<std::uint8_t>(), {nx, ny, row}, {ny * row, row, 1},
                    volume->occupancy.get());
    }
    // Stored [k][j][i]; seen as [i, j, k].
    return view(volume, py::dtype::of<bool>(), {nx, ny, nz}, {1, nx, nx * ny}, volume->occupancy.get());
}

py::object colourArray(const std::shared_ptr<VolumeArrays>& volume) {
    if (!volume->hasColour) return py::none();
    const auto& d = volume->box.dims;
    const py::ssize_t nx = d[0], ny = d[1], nz = d[2];
    return view(volume, py::dtype::of<std::uint8_t>(), {nx, ny, nz, 3}, {3, 3 * nx, 3 * nx * ny, 1},
                volume->colour.get());
}

std::string infoJson(const VolumeArrays& volume, const std::string& programVersion) {
    VolumeDescription description;
    description.info = volume.info;
    description.grid = volume.box;
    description.cropped = volume.cropped;
    description.filledVoxels = volume.filled;
    description.programVersion = programVersion;
    return volumeJsonText(description);
}

py::list save(const VolumeArrays& volume, const std::string& directory, const std::vector<std::string>& formats,
              const std::string& programVersion) {
    std::string list;
    for (const std::string& f : formats) list += (list.empty() ? "" : ",") + f;
    const FormatList parsed = parseFormatList(list);
    if (!parsed.ok) throw py::value_error("formats: " + parsed.error);
    OutputRequest output;
    output.directory = directory;
    output.meshPath = volume.info.sourcePath;
    output.formats = parsed.formats;
    output.programVersion = programVersion;
    SaveResult saved;
    {
        py::gil_scoped_release unlocked;
        saved = saveVolumeArrays(volume, output);
    }
    if (!saved.written.ok) throw Failure(saved.written.error.text());
    py::list files;
    for (const std::string& name : saved.files) files.append(name);
    return files;
}

}  // namespace

PYBIND11_MODULE(_kubelmar, m) {
    m.doc() = "Native half of kubelmar: use the kubelmar package.";
    static py::exception<Failure> error(m, "Error");
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const Failure& e) {
            error(e.what());
        }
    });

    py::class_<ArrayRequest>(m, "_Request");
    m.def("make_request", &makeRequest, py::arg("mode"), py::arg("size"), py::arg("voxel_edge"), py::arg("grid"),
          py::arg("slice_axis"), py::arg("depth_precision"), py::arg("parity_votes"), py::arg("colour"), py::arg("crop"), py::arg("packed"));
    m.def("max_voxel_size", [] { return kMaxVoxelSize; });

    py::class_<NativeResult>(m, "_Result")
        .def_readonly("warnings", &NativeResult::warnings)
        .def_readonly("error", &NativeResult::error)
        .def_property_readonly("volume", [](const NativeResult& r) -> py::object {
            return r.volume ? py::cast(r.volume) : py::none();
        });

    py::class_<VolumeArrays, std::shared_ptr<VolumeArrays>>(m, "_VolumeData")
        .def_property_readonly("occupancy", [](const std::shared_ptr<VolumeArrays>& v) { return occupancyArray(v); })
        .def_property_readonly("colour", [](const std::shared_ptr<VolumeArrays>& v) { return colourArray(v); })
        .def_property_readonly("packed", [](const VolumeArrays& v) { return v.packed; })
        .def_property_readonly("dims", [](const VolumeArrays& v) { return v.box.dims; })
        .def_property_readonly("origin", [](const VolumeArrays& v) { return v.box.origin; })
        .def_property_readonly("voxel_size", [](const VolumeArrays& v) { return static_cast<double>(v.box.voxelSize); })
        .def_property_readonly("voxel_edge", [](const VolumeArrays& v) { return v.box.edge; })
        .def_property_readonly("unit", [](const VolumeArrays& v) { return v.info.unit; })
        .def_property_readonly("size", [](const VolumeArrays& v) { return v.info.size; })
        .def_property_readonly("mode", [](const VolumeArrays& v) { return std::string(modeName(v.info.mode)); })
        .def_property_readonly("source", [](const VolumeArrays& v) { return v.info.sourcePath; })
        .def_property_readonly("filled", [](const VolumeArrays& v) { return v.filled; })
        .def("info_json", &infoJson)
        .def("save", &save);

    py::class_<NativeVoxelizer>(m, "_Voxelizer")
        .def(py::init<>())
        .def("voxelize_file", &NativeVoxelizer::voxelizeFile)
        .def("voxelize_arrays", &NativeVoxelizer::voxelizeArrays)
        .def_property_readonly("max_size", &NativeVoxelizer::maxSize)
        .def_property_readonly("renderer", &NativeVoxelizer::renderer)
        .def_property_readonly("closed", &NativeVoxelizer::closed)
        .def("live_gl_objects", &NativeVoxelizer::liveGLObjects)
        .def("close", &NativeVoxelizer::close);
}
