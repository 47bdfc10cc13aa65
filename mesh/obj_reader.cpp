// Wavefront OBJ reader: positions ("v", optionally followed by r g b),
// per-vertex colours ("vc"), normals ("vn", read but unused: normals are
// computed from the faces), texture coordinates ("vt"), faces ("f") with any
// number of corners in the forms v, v/t, v/t/n, v//n, v/t/ and v//, and
// materials ("mtllib", "usemtl"). Everything else is ignored. Blanks (space
// or tab) separate fields on every kind of line; lines end at LF, CR LF or a
// lone CR.
#include "mesh/obj_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "mesh/declared_sizes.h"
#include "mesh/load_limits.h"
#include "mesh/obj_materials.h"
#include "mesh/obj_number.h"
#include "mesh/text_lines.h"

namespace kubelmar {

namespace {

using obj::isBlank;
using obj::scanFloat;
using obj::scanInt;
using obj::skipBlanks;

// Parsed bytes between two progress reports: often enough for a bar to
// move on a file that takes seconds, rare enough to cost nothing.
constexpr std::size_t kProgressBytes = std::size_t{1} << 20;

constexpr int kNoTexCoord = -1;
constexpr int kBadTexCoord = -2;

// A texture or normal number right after a slash: no blank may come between.
const char* scanNumberHere(const char* p, const char* end, long long& out) {
    if (p == end || isBlank(*p)) return nullptr;
    return scanInt(p, end, out);
}

// The reader's growing lists and its bookkeeping for one text.
class ObjParser {
public:
    ObjParser(const std::string& name, const LoadLimits& limits, const LoadProgress& progress)
        : name_(name),
          root_(name, limits),
          limits_(limits),
          progress_(progress),
          budget_(limits.maxMemoryBytes),
          maxFaces_(budget_ / kBytesPerFace) {}

    // Parses every line; false (with error()) on input that must fail the load.
    bool parse(std::string_view text);
    // Resolves forward vertex references, drops faces that name a missing
    // vertex and fills `mesh`. Call after a successful parse().
    bool buildMesh(Mesh& mesh, ObjReadResult& result);
    const Diagnostic& error() const { return error_; }
    Diagnostics& warnings() { return warnings_; }

private:
    void reserveFor(std::string_view text);
    bool parseLine(const char* p, const char* end);
    bool parseVertex(const char* p, const char* end);
    bool parseColor(const char* p, const char* end);
    void parseFace(const char* p, const char* end);
    void parseMaterialLine(const char* p, const char* end);
    void countSkipped(std::int64_t line);
    void countBadTexCoord(std::int64_t line);
    bool fail(const std::string& reason);
    void dropSkippedPolygons();
    void resolveTexCoords();

    // A polygon whose corners include a vertex not read yet when its line
    // was; it can only be checked once the whole file is in.
    struct PendingPolygon {
        std::size_t firstTriangle;
        std::size_t triangleCount;
        std::int64_t line;
    };

    const std::string& name_;
    ReferenceRoot root_;
    const LoadLimits& limits_;
    const LoadProgress& progress_;
    std::int64_t line_ = 0;
    std::vector<Float3> positions_;
    std::vector<Rgba> colors_;        // "vc" lines
    std::vector<Rgba> vertexColors_;  // "v x y z r g b", one per vertex once any appears
    std::vector<Float3> normals_;
    std::vector<TexCoord> texCoords_;
    std::vector<int> faceIndices_;  // three 0-based indices per triangle
    // Per corner: 0-based vt index, kNoTexCoord, or kBadTexCoord (counted);
    // per triangle: index into materialNames_, or -1. Both stay empty until
    // a face has a material or a texture number, so plain files pay nothing.
    std::vector<int> cornerTexCoords_;
    std::vector<int> faceMaterials_;
    bool anyTexCoordIndex_ = false;
    // usemtl names in order of first use, with that line; the current one.
    std::vector<NamedLine> materialNames_;
    std::map<std::string, int, std::less<>> materialSlots_;
    int currentMaterial_ = -1;
    // mtllib file names as written, with their line.
    std::vector<NamedLine> libraries_;
    Diagnostics warnings_;
    std::vector<PendingPolygon> pending_;
    std::vector<PendingPolygon> pendingTex_;  // polygons with a texture number not read yet
    std::int64_t badTexFaces_ = 0;
    std::int64_t firstBadTexLine_ = 0;
    std::vector<long long> corners_;  // scratch: vertex numbers of one face line
    std::vector<long long> cornerTex_;  // scratch: their texture numbers (0: none given)
    std::int64_t skippedFaces_ = 0;
    std::int64_t firstSkippedLine_ = 0;
    Diagnostic error_;
    std::uint64_t budget_;    // bytes, LoadLimits::maxMemoryBytes
    std::uint64_t maxFaces_;  // triangles the budget allows
};

bool ObjParser::parse(std::string_view whole) {
    // A byte-order mark would hide the first line's keyword.
    const std::string_view text = text::skipByteOrderMark(whole);
    reserveFor(text);
    const char* p = text.data();
    const char* const end = p + text.size();
    // Progress counts bytes of the whole text, the mark included, so that
    // the last report can equal the file's size.
    std::size_t nextReport = progress_ ? kProgressBytes : whole.size();
    while (p < end) {
        ++line_;
        const char* lineEnd = nullptr;
        const char* next = text::nextLine(p, end, lineEnd);  // the last line may lack its break
        if (!parseLine(p, lineEnd)) return false;
        p = next;
        const auto done = static_cast<std::size_t>(p - whole.data());
        if (done >= nextReport && p < end) {
            progress_(done, whole.size());
            nextReport = done + kProgressBytes;
        }
    }
    return true;
}

void ObjParser::reserveFor(std::string_view text) {
    // A quick count of "v " and "f" line starts sizes the two big lists once,
    // instead of letting them grow (and copy) twenty-odd times on large files.
    std::size_t vertices = 0;
    std::size_t faces = 0;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        if (*p == 'f') ++faces;
        if (*p == 'v' && end - p > 1 && isBlank(p[1])) ++vertices;
        const char* lineEnd = nullptr;
        p = text::nextLine(p, end, lineEnd);
    }
    positions_.reserve(vertices);
    faceIndices_.reserve(3 * faces);  // one triangle per line; polygons grow it
}

bool ObjParser::parseLine(const char* p, const char* end) {
    if (end - p < 2) return true;
    if (p[0] == 'f') {
        parseFace(p + 1, end);
        // Polygons are cut into triangles as they come, so a few lines of
        // huge polygons can ask for far more than the file's size.
        if (faceIndices_.size() / 3 > maxFaces_)
            return fail("more than " + std::to_string(maxFaces_) + " triangles, more than the memory limit of " +
                        describeBytes(budget_) + " allows (--max-memory)");
        return true;
    }
    if (p[0] == 'm' || p[0] == 'u') {
        parseMaterialLine(p, end);
        return true;
    }
    if (p[0] != 'v') return true;  // comments, groups, blank lines...
    if (isBlank(p[1])) return parseVertex(p + 2, end);
    switch (p[1]) {
        case 'c':
            return parseColor(p + 2, end);
        case 'n': {
            Float3 n;
            const char* q = scanFloat(p + 2, end, n.x);
            if (q) q = scanFloat(q, end, n.y);
            if (q) q = scanFloat(q, end, n.z);
            if (q) normals_.push_back(n);
            return true;
        }
        case 't': {
            // "vt u [v [w]]": v defaults to 0. A line without a number is
            // still counted, so that later indices keep pointing where the
            // file meant; it reads as (0, 0).
            TexCoord t = {0.0f, 0.0f};
            const char* q = scanFloat(p + 2, end, t[0]);
            if (q && !scanFloat(q, end, t[1])) t[1] = 0.0f;
            if (!q || !std::isfinite(t[0]) || !std::isfinite(t[1])) t = {0.0f, 0.0f};
            texCoords_.push_back(t);
            return true;
        }
        default:
            return true;
    }
}

bool ObjParser::parseVertex(const char* p, const char* end) {
    // x y z, optionally w (ignored) or r g b: up to six numbers are looked at.
    float v[6];
    int count = 0;
    for (const char* q = p; count < 6 && (q = scanFloat(q, end, v[count])) != nullptr;) ++count;
    if (count < 3) return true;  // malformed: skipped
    if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]))
        return fail("vertex coordinate is not a finite number");

    if (count == 6) {
        if (!std::isfinite(v[3]) || !std::isfinite(v[4]) || !std::isfinite(v[5]))
            return fail("vertex colour is not a finite number");
        // Vertices read before the first coloured one are white.
        if (vertexColors_.empty()) vertexColors_.assign(positions_.size(), kOpaqueWhite);
        // Alpha 0, as for "vc" colours, so both ways of colouring a file agree.
        vertexColors_.push_back({v[3], v[4], v[5], 0.0f});
    } else if (!vertexColors_.empty()) {
        vertexColors_.push_back(kOpaqueWhite);
    }
    positions_.push_back({v[0], v[1], v[2]});
    return true;
}

bool ObjParser::parseColor(const char* p, const char* end) {
    Rgba c;  // alpha 0, as colour lines have always been stored
    const char* q = scanFloat(p, end, c.r);
    if (q) q = scanFloat(q, end, c.g);
    if (q) q = scanFloat(q, end, c.b);
    if (!q) return true;  // malformed: skipped
    if (!std::isfinite(c.r) || !std::isfinite(c.g) || !std::isfinite(c.b))
        return fail("vertex colour is not a finite number");
    colors_.push_back(c);
    return true;
}

void ObjParser::parseFace(const char* p, const char* end) {
    // Corners are blank-separated tokens v[/[t][/[n]]]; only v is used. The
    // first token that is not a corner ends the list (a trailing comment, say).
    corners_.clear();
    cornerTex_.clear();
    for (;;) {
        p = skipBlanks(p, end);
        if (p == end) break;
        long long vertex = 0;
        long long texture = LLONG_MIN;  // none given
        long long unused = 0;
        const char* q = scanInt(p, end, vertex);
        if (!q) break;
        if (q < end && *q == '/') {
            if (const char* t = scanNumberHere(++q, end, texture)) q = t;
            if (q < end && *q == '/') {
                if (const char* n = scanNumberHere(++q, end, unused)) q = n;
            }
        }
        if (q < end && !isBlank(*q)) break;
        corners_.push_back(vertex);
        cornerTex_.push_back(texture);
        p = q;
    }
    if (corners_.size() < 3) return;  // malformed: skipped silently

    // Positive numbers count from the first vertex of the file and may name
    // vertices further down; negative ones count back from the latest vertex
    // read, so they are resolved now.
    const auto readSoFar = static_cast<long long>(positions_.size());
    bool forward = false;
    for (long long& c : corners_) {
        if (c > 0) {
            c -= 1;
            if (c >= readSoFar) forward = true;
        } else if (c < 0) {
            c += readSoFar;
        } else {
            c = -1;  // vertex numbers start at 1
        }
        if (c < 0 || c >= INT_MAX) {
            countSkipped(line_);
            return;
        }
    }

    // Texture numbers resolve like vertex numbers; a forward one is checked
    // once the whole file is in (resolveTexCoords).
    const auto texturesSoFar = static_cast<long long>(texCoords_.size());
    bool forwardTexture = false;
    bool badTexture = false;
    for (long long& t : cornerTex_) {
        if (t == LLONG_MIN) {
            t = kNoTexCoord;  // "f 1 2 3", "f 1//1"
            continue;
        }
        if (t > 0) {
            t -= 1;
            if (t >= texturesSoFar) forwardTexture = true;
        } else if (t < 0) {
            t += texturesSoFar;
        } else {
            t = -1;  // numbers start at 1
        }
        if (t < 0 || t >= INT_MAX) {
            t = kBadTexCoord;
            badTexture = true;
        }
        anyTexCoordIndex_ = true;
    }

    // A fan around the first corner: (0 1 2), (0 2 3), ...
    const std::size_t firstTriangle = faceIndices_.size() / 3;
    const std::size_t triangles = corners_.size() - 2;
    const bool materialLists = !faceMaterials_.empty() || currentMaterial_ >= 0 || anyTexCoordIndex_;
    if (materialLists && faceMaterials_.size() < firstTriangle) {
        // The first face that needs them: the faces before had neither.
        cornerTexCoords_.assign(3 * firstTriangle, kNoTexCoord);
        faceMaterials_.assign(firstTriangle, -1);
    }
    for (std::size_t k = 1; k + 1 < corners_.size(); ++k) {
        for (const std::size_t c : {std::size_t{0}, k, k + 1}) {
            faceIndices_.push_back(static_cast<int>(corners_[c]));
            if (materialLists) cornerTexCoords_.push_back(static_cast<int>(cornerTex_[c]));
        }
        if (materialLists) faceMaterials_.push_back(currentMaterial_);
    }
    if (forward) pending_.push_back({firstTriangle, triangles, line_});
    if (badTexture) countBadTexCoord(line_);
    if (forwardTexture) pendingTex_.push_back({firstTriangle, triangles, line_});
}

void ObjParser::parseMaterialLine(const char* p, const char* end) {
    const char* keyEnd = p;
    while (keyEnd < end && !isBlank(*keyEnd)) ++keyEnd;
    const std::string_view key(p, static_cast<std::size_t>(keyEnd - p));
    const std::string_view rest = text::trim(std::string_view(keyEnd, static_cast<std::size_t>(end - keyEnd)));
    if (key == "usemtl") {
        // The whole rest of the line is the name: names may hold blanks. A
        // bare "usemtl" goes back to no material.
        if (rest.empty()) {
            currentMaterial_ = -1;
            return;
        }
        const std::string name(rest);
        auto it = materialSlots_.find(name);
        if (it == materialSlots_.end()) {
            it = materialSlots_.emplace(name, static_cast<int>(materialNames_.size())).first;
            materialNames_.emplace_back(name, line_);
        }
        currentMaterial_ = it->second;
    } else if (key == "mtllib" && !rest.empty()) {
        libraries_.emplace_back(std::string(rest), line_);
    }
}

void ObjParser::countSkipped(std::int64_t line) {
    if (skippedFaces_ == 0 || line < firstSkippedLine_) firstSkippedLine_ = line;
    ++skippedFaces_;
}

bool ObjParser::fail(const std::string& reason) {
    error_ = errorAbout(name_, reason, static_cast<int>(std::min<std::int64_t>(line_, INT_MAX)));
    return false;
}

void ObjParser::countBadTexCoord(std::int64_t line) {
    if (badTexFaces_ == 0 || line < firstBadTexLine_) firstBadTexLine_ = line;
    ++badTexFaces_;
}

void ObjParser::dropSkippedPolygons() {
    // Forward references: now that every vertex is known, drop the polygons
    // that still name a missing one (all their triangles), compacting the
    // per-corner and per-triangle lists alike.
    const auto vertexCount = static_cast<int>(positions_.size());
    std::vector<bool> dropped;
    for (const PendingPolygon& polygon : pending_) {
        const auto begin = faceIndices_.begin() + static_cast<std::ptrdiff_t>(polygon.firstTriangle * 3);
        const bool bad = std::any_of(begin, begin + static_cast<std::ptrdiff_t>(polygon.triangleCount * 3),
                                     [vertexCount](int i) { return i >= vertexCount; });
        if (!bad) continue;
        countSkipped(polygon.line);
        if (dropped.empty()) dropped.assign(faceIndices_.size() / 3, false);
        std::fill_n(dropped.begin() + static_cast<std::ptrdiff_t>(polygon.firstTriangle), polygon.triangleCount, true);
    }
    if (dropped.empty()) return;
    const bool materialLists = !faceMaterials_.empty();
    std::size_t write = 0;
    for (std::size_t f = 0; f < dropped.size(); ++f) {
        if (dropped[f]) continue;
        for (std::size_t k = 0; k < 3; ++k) {
            faceIndices_[3 * write + k] = faceIndices_[3 * f + k];
            if (materialLists) cornerTexCoords_[3 * write + k] = cornerTexCoords_[3 * f + k];
        }
        if (materialLists) faceMaterials_[write] = faceMaterials_[f];
        ++write;
    }
    faceIndices_.resize(3 * write);
    if (materialLists) {
        cornerTexCoords_.resize(3 * write);
        faceMaterials_.resize(write);
    }
    // pendingTex_ triangle numbers are stale now; resolveTexCoords checks
    // every corner instead of the pending list.
    pendingTex_.clear();
    pendingTex_.push_back({0, write, 0});
}

void ObjParser::resolveTexCoords() {
    // A texture number past the last vt: that corner has no coordinate.
    const auto count = static_cast<int>(texCoords_.size());
    for (const PendingPolygon& polygon : pendingTex_) {
        bool bad = false;
        for (std::size_t i = polygon.firstTriangle * 3; i < (polygon.firstTriangle + polygon.triangleCount) * 3; ++i) {
            if (cornerTexCoords_[i] >= count) {
                cornerTexCoords_[i] = kBadTexCoord;
                bad = true;
            }
        }
        if (bad && polygon.line > 0) countBadTexCoord(polygon.line);
        if (bad && polygon.line == 0) countBadTexCoord(line_);  // line unknown after compaction
    }
}

bool ObjParser::buildMesh(Mesh& mesh, ObjReadResult& result) {
    if (positions_.size() > static_cast<std::size_t>(INT_MAX) || faceIndices_.size() / 3 > static_cast<std::size_t>(INT_MAX)) {
        error_ = errorAbout(name_, "too many vertices or faces");
        return false;
    }
    dropSkippedPolygons();
    if (anyTexCoordIndex_) resolveTexCoords();

    // "vc" colours where given (they take precedence over colours on the "v"
    // lines); the rest (or all, without any) stay white.
    const bool lineColours = !vertexColors_.empty() && colors_.empty();
    const std::vector<Rgba>& colours = lineColours ? vertexColors_ : colors_;

    std::vector<Material> materials;
    std::vector<Texture> textures;
    const std::vector<int> slotMaterial =
        loadObjMaterials(name_, libraries_, materialNames_, materials, textures, warnings_, root_, limits_);
    const bool plain = materials.empty() || faceMaterials_.empty();
    if (plain) {
        mesh.build(positions_, normals_, lineColours ? std::vector<Rgba>{} : colors_, texCoords_, faceIndices_);
        if (lineColours) mesh.colors = vertexColors_;
    } else {
        for (int& m : faceMaterials_) m = m >= 0 ? slotMaterial[static_cast<std::size_t>(m)] : -1;
        for (int& t : cornerTexCoords_) t = t < 0 ? -1 : t;
        mesh.buildWithMaterials(positions_, colours, texCoords_, faceIndices_, cornerTexCoords_, faceMaterials_,
                                std::move(materials), std::move(textures));
    }

    if (skippedFaces_ > 0) {
        result.skippedFaces = static_cast<int>(std::min<std::int64_t>(skippedFaces_, INT_MAX));
        result.firstSkippedLine = static_cast<int>(std::min<std::int64_t>(firstSkippedLine_, INT_MAX));
        result.warnings.push_back(warningAbout(name_, "skipped " + std::to_string(skippedFaces_) +
                                                          (skippedFaces_ == 1 ? " face" : " faces") +
                                                          " naming a vertex that does not exist (first on line " +
                                                          std::to_string(firstSkippedLine_) + ")"));
    }
    if (badTexFaces_ > 0 && !plain) {  // without materials, texture numbers have no use
        result.warnings.push_back(warningAbout(name_,
                                               std::to_string(badTexFaces_) +
                                                   (badTexFaces_ == 1 ? " face names" : " faces name") +
                                                   " a texture coordinate that does not exist; drawn untextured",
                                               static_cast<int>(std::min<std::int64_t>(firstBadTexLine_, INT_MAX))));
    }
    result.warnings.insert(result.warnings.end(), warnings_.begin(), warnings_.end());
    return true;
}

// Reads the whole file into `text`; false with `reason` (errno text) if not.
bool readWholeFile(std::FILE* file, std::string& text, std::string& reason) {
    struct stat info {};
    std::size_t expected = 0;
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        expected = static_cast<std::size_t>(info.st_size);
    // Read straight into the string; grow in steps if the size was unknown or
    // the file grew meanwhile.
    std::size_t used = 0;
    text.resize(expected > 0 ? expected + 1 : std::size_t{1} << 16);
    for (;;) {
        const std::size_t got = std::fread(text.data() + used, 1, text.size() - used, file);
        used += got;
        if (used < text.size()) break;  // short read: end of file or error
        text.resize(text.size() * 2);
    }
    text.resize(used);
    if (std::ferror(file)) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

ObjReadResult parseOBJ(Mesh& mesh, std::string_view text, const std::string& name, const LoadLimits& limits,
                       const LoadProgress& progress) {
    ObjReadResult result;
    ObjParser parser(name, limits, progress);
    // The mesh is only filled once the whole text has been accepted.
    if (!parser.parse(text) || !parser.buildMesh(mesh, result)) {
        result.error = parser.error();
        return result;
    }
    result.ok = true;
    return result;
}

ObjReadResult readOBJ(Mesh& mesh, const std::string& path, const LoadLimits& limits, const LoadProgress& progress) {
    ObjReadResult result;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    int openError = file ? 0 : errno;
    if (file) {
        // fopen accepts a directory on POSIX; it is as unreadable as a missing file.
        struct stat info {};
        if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
            std::fclose(file);
            file = nullptr;
            openError = EISDIR;
        }
    }
    if (!file) {
        result.log.push_back({LoadLogLine::Err, "ERROR: Opening File: " + path});
        result.error = errorAbout(path, std::string("cannot open file: ") + std::strerror(openError));
        return result;
    }
    LoadLog log{{LoadLogLine::Out, "Opening: " + path}};
    // The text is held whole while it is parsed.
    if (struct stat info {}; fstat(fileno(file), &info) == 0 && static_cast<std::uint64_t>(info.st_size) > limits.maxMemoryBytes) {
        std::fclose(file);
        result.log = std::move(log);
        result.error = errorAbout(path, "the file is " + std::to_string(info.st_size) + " bytes, more than the memory limit of " +
                                            describeBytes(limits.maxMemoryBytes) + " (--max-memory)");
        return result;
    }

    std::string text;
    std::string reason;
    const bool read = readWholeFile(file, text, reason);
    std::fclose(file);
    if (!read) {
        result.log = std::move(log);
        result.error = errorAbout(path, "cannot read file: " + reason);
        return result;
    }

    result = parseOBJ(mesh, text, path, limits, progress);
    result.log.insert(result.log.begin(), log.begin(), log.end());
    return result;
}

}  // namespace kubelmar
