// The load sequence: read, measure, scale to 2048 units, centre, normals.
#include "mesh/mesh_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <utility>

#include "mesh/assimp_reader.h"
#include "mesh/file_extension.h"
#include "mesh/isolated_read.h"
#include "mesh/mesh_frame.h"
#include "mesh/obj_reader.h"

namespace kubelmar {

namespace {

enum class Reader { Obj, Assimp, Unsupported, NotRegular };


// The format by the file's first bytes where it has a signature; Obj for
// unreadable files so that the OBJ reader reports why.
Reader chooseReader(const std::string& path) {
    char head[8] = {};
    ssize_t got = 0;
    // Non-blocking, so that a FIFO can't stall the load; only regular files
    // (and folders, which the OBJ reader reports) go further.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        struct stat info {};
        if (fstat(fd, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
            ::close(fd);
            return Reader::NotRegular;
        }
        got = ::read(fd, head, sizeof head);
        ::close(fd);
    }
    const std::string_view h(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    if (h.starts_with("ply") || h.starts_with("glTF") || h.starts_with("PK\x03\x04") || h.starts_with("OFF"))
        return Reader::Assimp;
    const std::string ext = meshFileExtension(path);
    if (ext == ".obj" || fd < 0 || got <= 0) return Reader::Obj;
    const auto& known = supportedMeshExtensions();
    return std::find(known.begin(), known.end(), ext) != known.end() ? Reader::Assimp : Reader::Unsupported;
}

// The file's size for progress; 0 where it can't be had (the reader then
// says why the file can't be read).
std::uint64_t fileBytes(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace

const std::vector<std::string>& supportedMeshExtensions() {
    static const std::vector<std::string> kExtensions = {".obj", ".stl", ".ply", ".gltf", ".glb", ".3mf", ".off"};
    return kExtensions;
}

MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out) {
    return loadPreparedMesh(path, out, ObjReaderChoice::Own, LoadLimits());
}

MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out, const LoadLimits& limits) {
    return loadPreparedMesh(path, out, ObjReaderChoice::Own, limits);
}

MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out, ObjReaderChoice objReader) {
    return loadPreparedMesh(path, out, objReader, LoadLimits());
}

MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out, ObjReaderChoice objReader, const LoadLimits& limits) {
    return loadPreparedMesh(path, out, objReader, limits, LoadProgress());
}

MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out, ObjReaderChoice objReader, const LoadLimits& limits,
                                const LoadProgress& progress) {
    MeshLoadResult result;
    const std::uint64_t total = fileBytes(path);
    if (progress) progress(0, total);
    // Everything happens on a local mesh so that a failed load leaves `out`
    // (the mesh on screen) as it was.
    Mesh mesh;
    ObjReadResult read;
    Reader reader = chooseReader(path);
    if (reader == Reader::Obj && objReader == ObjReaderChoice::Assimp && meshFileExtension(path) == ".obj")
        reader = Reader::Assimp;
    switch (reader) {
        case Reader::Obj: read = readOBJ(mesh, path, limits, progress); break;
        case Reader::Assimp:
            read = limits.isolateThirdPartyReaders ? readWithAssimpIsolated(mesh, path, limits)
                                                   : readWithAssimp(mesh, path, limits);
            break;
        case Reader::Unsupported:
            read.error = errorAbout(path, "not a supported mesh file (OBJ, STL, PLY, glTF/GLB, 3MF or OFF)");
            break;
        case Reader::NotRegular: read.error = errorAbout(path, "cannot open file: not a regular file"); break;
    }
    result.log = std::move(read.log);
    result.diagnostics = std::move(read.warnings);
    if (!read.ok) {
        result.diagnostics.push_back(read.error);
        return result;
    }
    if (prepareMesh(mesh, path, out, result) && progress) progress(total, total);
    return result;
}

bool prepareMesh(Mesh& mesh, const std::string& name, Mesh& out, MeshLoadResult& result) {
    result.ok = false;
    if (mesh.vertexCount > 0) {
        // meshExtent and the file box are in the file's own units: measured
        // before scaling.
        const MeshBox box = measureMesh(mesh);
        const double extent = box.largestSide();
        if (!(extent > 0.0)) {
            // Scaling would divide by zero and fill the mesh with NaN.
            result.diagnostics.push_back(errorAbout(name, "the mesh has no extent (all vertices coincide)"));
            return false;
        }
        if (!std::isfinite(static_cast<float>(extent))) {
            result.diagnostics.push_back(errorAbout(name, "the mesh is too large to measure in single precision"));
            return false;
        }
        result.meshExtent = static_cast<float>(extent);
        result.fileBoxLow = box.low;
        result.fileBoxHigh = box.high;
        frameMesh(mesh, box, kFrameSide);
    }
    result.log.push_back({LoadLogLine::Out, "MESH_CENTRE"});
    mesh.computeBounds();
    result.log.push_back({LoadLogLine::Out, "MESH_VERTEX_NORMALS"});
    mesh.computeNormals();

    out = std::move(mesh);
    result.ok = true;
    return true;
}

}  // namespace kubelmar
