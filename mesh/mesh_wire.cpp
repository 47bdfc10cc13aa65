// A reader's result and mesh as bytes, and back.
#include "mesh/mesh_wire.h"

#include <cstring>
#include <type_traits>

namespace kubelmar {

namespace {

class Writer {
public:
    template <typename T>
    void value(const T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        out_.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    template <typename T>
    void array(const std::vector<T>& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        value<std::uint64_t>(v.size());
        out_.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
    }
    void faces(const std::vector<Face>& list) {
        value<std::uint64_t>(list.size());
        for (const Face& f : list) {
            value(f.index);
            value(f.normal);
        }
    }
    void flag(bool b) { value<std::uint8_t>(b ? 1 : 0); }
    void text(const std::string& s) {
        value<std::uint64_t>(s.size());
        out_ += s;
    }
    void diagnostic(const Diagnostic& d) {
        value(d.severity);
        text(d.file);
        value(d.line);
        text(d.message);
        text(d.outsideReference);
    }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}
    template <typename T>
    bool value(T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        if (in_.size() < sizeof v) return false;
        std::memcpy(&v, in_.data(), sizeof v);
        in_.remove_prefix(sizeof v);
        return true;
    }
    template <typename T>
    bool array(std::vector<T>& v) {
        std::uint64_t n = 0;
        if (!value(n) || n > in_.size() / sizeof(T)) return false;
        v.resize(static_cast<std::size_t>(n));
        if (n == 0) return true;  // memcpy may not take the null data() of an empty vector
        std::memcpy(v.data(), in_.data(), v.size() * sizeof(T));
        in_.remove_prefix(v.size() * sizeof(T));
        return true;
    }
    bool faces(std::vector<Face>& list) {
        std::uint64_t n = 0;
        if (!count(n, 24)) return false;
        list.resize(static_cast<std::size_t>(n));
        for (Face& f : list)
            if (!value(f.index) || !value(f.normal)) return false;
        return true;
    }
    bool flag(bool& b) {
        std::uint8_t v = 0;
        if (!value(v) || v > 1) return false;
        b = v == 1;
        return true;
    }
    bool stream(LoadLogLine::Stream& s) {
        std::int32_t v = 0;
        if (!value(v) || (v != LoadLogLine::Out && v != LoadLogLine::Err)) return false;
        s = static_cast<LoadLogLine::Stream>(v);
        return true;
    }
    bool text(std::string& s) {
        std::uint64_t n = 0;
        if (!value(n) || n > in_.size()) return false;
        s.assign(in_.data(), static_cast<std::size_t>(n));
        in_.remove_prefix(static_cast<std::size_t>(n));
        return true;
    }
    bool diagnostic(Diagnostic& d) {
        return value(d.severity) && text(d.file) && value(d.line) && text(d.message) && text(d.outsideReference) &&
               (d.severity == Diagnostic::Severity::Warning || d.severity == Diagnostic::Severity::Error);
    }
    // A list count that can't exceed what is left at `least` bytes each.
    bool count(std::uint64_t& n, std::size_t least) { return value(n) && n <= in_.size() / least; }
    bool done() const { return in_.empty(); }
    std::string_view rest() const { return in_; }

private:
    std::string_view in_;
};

}  // namespace

std::string encodeReadResult(const ObjReadResult& result, const Mesh& mesh) {
    Writer w;
    w.flag(result.ok);
    w.diagnostic(result.error);
    w.value(result.skippedFaces);
    w.value(result.firstSkippedLine);
    w.value<std::uint64_t>(result.warnings.size());
    for (const Diagnostic& d : result.warnings) w.diagnostic(d);
    w.value<std::uint64_t>(result.log.size());
    for (const LoadLogLine& line : result.log) {
        w.value<std::int32_t>(line.stream);
        w.text(line.text);
    }
    w.value(mesh.vertexCount);
    w.value(mesh.faceCount);
    w.array(mesh.positions);
    w.array(mesh.normals);
    w.array(mesh.colors);
    w.faces(mesh.faces);
    w.array(mesh.vertexMaterial);
    w.array(mesh.vertexTexture);
    w.array(mesh.texCoords);
    w.value<std::uint64_t>(mesh.materials.size());
    for (const Material& m : mesh.materials) {
        w.text(m.name);
        w.flag(m.hasDiffuse);
        w.value(m.diffuse);
        w.value(m.texture);
        w.flag(m.clampTexture);
    }
    w.value<std::uint64_t>(mesh.textures.size());
    for (const Texture& t : mesh.textures) {
        w.text(t.path);
        w.value(t.width);
        w.value(t.height);
        w.array(t.rgba);
    }
    for (const Float3& c : mesh.corners) w.value(c);
    return w.take();
}

bool decodeReadResult(std::string_view bytes, ObjReadResult& result, Mesh& mesh) {
    Reader r(bytes);
    std::uint64_t n = 0;
    if (!r.flag(result.ok) || !r.diagnostic(result.error) || !r.value(result.skippedFaces) ||
        !r.value(result.firstSkippedLine) || !r.count(n, 8))
        return false;
    result.warnings.resize(static_cast<std::size_t>(n));
    for (Diagnostic& d : result.warnings)
        if (!r.diagnostic(d)) return false;
    if (!r.count(n, 8)) return false;
    result.log.resize(static_cast<std::size_t>(n));
    for (LoadLogLine& line : result.log)
        if (!r.stream(line.stream) || !r.text(line.text)) return false;
    if (!r.value(mesh.vertexCount) || !r.value(mesh.faceCount) || !r.array(mesh.positions) || !r.array(mesh.normals) ||
        !r.array(mesh.colors) || !r.faces(mesh.faces) || !r.array(mesh.vertexMaterial) || !r.array(mesh.vertexTexture) ||
        !r.array(mesh.texCoords) || !r.count(n, 8))
        return false;
    mesh.materials.resize(static_cast<std::size_t>(n));
    for (Material& m : mesh.materials)
        if (!r.text(m.name) || !r.flag(m.hasDiffuse) || !r.value(m.diffuse) || !r.value(m.texture) || !r.flag(m.clampTexture))
            return false;
    if (!r.count(n, 8)) return false;
    mesh.textures.resize(static_cast<std::size_t>(n));
    for (Texture& t : mesh.textures)
        if (!r.text(t.path) || !r.value(t.width) || !r.value(t.height) || !r.array(t.rgba)) return false;
    for (Float3& c : mesh.corners)
        if (!r.value(c)) return false;
    if (!r.done()) return false;

    // What the rest of the program relies on: counts that match the arrays,
    // faces and per-vertex indices within range.
    const auto vertices = static_cast<std::size_t>(mesh.vertexCount);
    if (mesh.vertexCount < 0 || mesh.faceCount < 0 || mesh.positions.size() != vertices ||
        mesh.faces.size() != static_cast<std::size_t>(mesh.faceCount) || (!mesh.colors.empty() && mesh.colors.size() != vertices))
        return false;
    for (const Face& f : mesh.faces)
        for (const int i : f.index)
            if (i < 0 || i >= mesh.vertexCount) return false;
    if (!mesh.vertexMaterial.empty() &&
        (mesh.vertexMaterial.size() != vertices || mesh.vertexTexture.size() != vertices || mesh.texCoords.size() != vertices))
        return false;
    for (const int m : mesh.vertexMaterial)
        if (m < -1 || m >= static_cast<int>(mesh.materials.size())) return false;
    for (const int t : mesh.vertexTexture)
        if (t < -1 || t >= static_cast<int>(mesh.textures.size())) return false;
    for (const Material& m : mesh.materials)
        if (m.texture < -1 || m.texture >= static_cast<int>(mesh.textures.size())) return false;
    for (const Texture& t : mesh.textures)
        if (t.width < 0 || t.height < 0 ||
            t.rgba.size() != static_cast<std::size_t>(t.width) * static_cast<std::size_t>(t.height) * 4)
            return false;
    return true;
}

std::string encodeTextureRecord(const TextureLoadResult& result) {
    Writer w;
    w.flag(result.ok);
    w.text(result.reason);
    w.text(result.texture.path);
    w.value(result.texture.width);
    w.value(result.texture.height);
    return w.take();
}

bool decodeTextureRecord(std::string_view& bytes, TextureLoadResult& result) {
    Reader r(bytes);
    Texture& t = result.texture;
    if (!r.flag(result.ok) || !r.text(result.reason) || !r.text(t.path) || !r.value(t.width) || !r.value(t.height) ||
        t.width < 0 || t.height < 0)
        return false;
    bytes = r.rest();
    return true;
}

}  // namespace kubelmar
