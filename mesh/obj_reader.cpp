// Wavefront OBJ reader: positions ("v", optionally followed by r g b),
// per-vertex colours ("vc"), normals and texture coordinates ("vn", "vt",
// read but unused: normals are computed from the faces) and faces ("f") with
// any number of corners in the forms v, v/t, v/t/n, v//n, v/t/ and v//.
// Everything else is ignored.
#include "mesh/obj_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "mesh/obj_number.h"

namespace kubelmar {

namespace {

using obj::isBlank;
using obj::scanFloat;
using obj::scanInt;
using obj::skipBlanks;

const Vec4 kWhite(1.0f, 1.0f, 1.0f, 1.0f);

// A texture or normal number right after a slash: no blank may come between.
const char* scanNumberHere(const char* p, const char* end, long long& out) {
    if (p == end || isBlank(*p)) return nullptr;
    return scanInt(p, end, out);
}

// The reader's growing lists and its bookkeeping for one text.
class ObjParser {
public:
    explicit ObjParser(const std::string& name) : name_(name) {}

    // Parses every line; false (with error()) on input that must fail the load.
    bool parse(std::string_view text);
    // Resolves forward vertex references, drops faces that name a missing
    // vertex and fills `mesh`. Call after a successful parse().
    bool buildMesh(Mesh& mesh, ObjReadResult& result);
    const std::string& error() const { return error_; }

private:
    void reserveFor(std::string_view text);
    bool parseLine(const char* p, const char* end);
    bool parseVertex(const char* p, const char* end);
    bool parseColor(const char* p, const char* end);
    void parseFace(const char* p, const char* end);
    void countSkipped(std::int64_t line);
    bool fail(const char* reason);

    // A polygon whose corners include a vertex not read yet when its line
    // was; it can only be checked once the whole file is in.
    struct PendingPolygon {
        std::size_t firstTriangle;
        std::size_t triangleCount;
        std::int64_t line;
    };

    const std::string& name_;
    std::int64_t line_ = 0;
    std::vector<Vec4> positions_;
    std::vector<Vec4> colors_;        // "vc" lines
    std::vector<Vec4> vertexColors_;  // "v x y z r g b", one per vertex once any appears
    std::vector<Vec4> normals_;
    std::vector<Vec4> texCoords_;
    std::vector<int> faceIndices_;  // three 0-based indices per triangle
    std::vector<PendingPolygon> pending_;
    std::vector<long long> corners_;  // scratch: vertex numbers of one face line
    std::int64_t skippedFaces_ = 0;
    std::int64_t firstSkippedLine_ = 0;
    std::string error_;
};

bool ObjParser::parse(std::string_view text) {
    reserveFor(text);
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        ++line_;
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        // The last line may lack its line break.
        const char* lineEnd = newline ? newline : end;
        if (lineEnd > p && lineEnd[-1] == '\r') --lineEnd;  // CRLF
        if (!parseLine(p, lineEnd)) return false;
        p = newline ? newline + 1 : end;
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
        if (*p == 'v' && end - p > 1 && p[1] == ' ') ++vertices;
        const void* newline = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (!newline) break;
        p = static_cast<const char*>(newline) + 1;
    }
    positions_.reserve(vertices);
    faceIndices_.reserve(3 * faces);  // one triangle per line; polygons grow it
}

bool ObjParser::parseLine(const char* p, const char* end) {
    if (end - p < 2) return true;
    if (p[0] == 'f') {
        parseFace(p + 1, end);
        return true;
    }
    if (p[0] != 'v') return true;  // comments, groups, materials, blank lines...
    switch (p[1]) {
        case ' ':  // exactly "v " (a tab after the v is not a position line)
            return parseVertex(p + 2, end);
        case 'c':
            return parseColor(p + 2, end);
        case 'n': {
            Vec4 n;
            const char* q = scanFloat(p + 2, end, n.x);
            if (q) q = scanFloat(q, end, n.y);
            if (q) q = scanFloat(q, end, n.z);
            if (q) normals_.push_back(n);
            return true;
        }
        case 't': {
            Vec4 t;
            const char* q = scanFloat(p + 2, end, t.x);
            if (q) q = scanFloat(q, end, t.y);
            if (q) texCoords_.push_back(t);
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
        if (vertexColors_.empty()) vertexColors_.assign(positions_.size(), kWhite);
        // Alpha 0, as for "vc" colours, so both ways of colouring a file agree.
        vertexColors_.emplace_back(v[3], v[4], v[5], 0.0f);
    } else if (!vertexColors_.empty()) {
        vertexColors_.push_back(kWhite);
    }
    positions_.emplace_back(v[0], v[1], v[2]);
    return true;
}

bool ObjParser::parseColor(const char* p, const char* end) {
    Vec4 c;
    const char* q = scanFloat(p, end, c.x);
    if (q) q = scanFloat(q, end, c.y);
    if (q) q = scanFloat(q, end, c.z);
    if (!q) return true;  // malformed: skipped
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z))
        return fail("vertex colour is not a finite number");
    colors_.push_back(c);
    return true;
}

void ObjParser::parseFace(const char* p, const char* end) {
    // Corners are blank-separated tokens v[/[t][/[n]]]; only v is used. The
    // first token that is not a corner ends the list (a trailing comment, say).
    corners_.clear();
    for (;;) {
        p = skipBlanks(p, end);
        if (p == end) break;
        long long vertex = 0;
        long long unused = 0;
        const char* q = scanInt(p, end, vertex);
        if (!q) break;
        if (q < end && *q == '/') {
            if (const char* t = scanNumberHere(++q, end, unused)) q = t;
            if (q < end && *q == '/') {
                if (const char* n = scanNumberHere(++q, end, unused)) q = n;
            }
        }
        if (q < end && !isBlank(*q)) break;
        corners_.push_back(vertex);
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

    // A fan around the first corner: (0 1 2), (0 2 3), ...
    const std::size_t firstTriangle = faceIndices_.size() / 3;
    const std::size_t triangles = corners_.size() - 2;
    for (std::size_t k = 1; k + 1 < corners_.size(); ++k) {
        faceIndices_.push_back(static_cast<int>(corners_[0]));
        faceIndices_.push_back(static_cast<int>(corners_[k]));
        faceIndices_.push_back(static_cast<int>(corners_[k + 1]));
    }
    if (forward) pending_.push_back({firstTriangle, triangles, line_});
}

void ObjParser::countSkipped(std::int64_t line) {
    if (skippedFaces_ == 0 || line < firstSkippedLine_) firstSkippedLine_ = line;
    ++skippedFaces_;
}

bool ObjParser::fail(const char* reason) {
    error_ = name_ + ":" + std::to_string(line_) + ": " + reason;
    return false;
}

bool ObjParser::buildMesh(Mesh& mesh, ObjReadResult& result) {
    if (positions_.size() > static_cast<std::size_t>(INT_MAX) || faceIndices_.size() / 3 > static_cast<std::size_t>(INT_MAX)) {
        error_ = name_ + ": too many vertices or faces";
        return false;
    }

    // Forward references: now that every vertex is known, drop the polygons
    // that still name a missing one (all their triangles), compacting in place.
    const auto vertexCount = static_cast<int>(positions_.size());
    std::size_t write = 0;  // in ints
    std::size_t read = 0;
    for (const PendingPolygon& polygon : pending_) {
        const std::size_t begin = polygon.firstTriangle * 3;
        const std::size_t stop = begin + polygon.triangleCount * 3;
        const bool bad = std::any_of(faceIndices_.begin() + static_cast<std::ptrdiff_t>(begin),
                                     faceIndices_.begin() + static_cast<std::ptrdiff_t>(stop),
                                     [vertexCount](int i) { return i >= vertexCount; });
        if (!bad) continue;
        countSkipped(polygon.line);
        if (write != read) std::copy(faceIndices_.begin() + static_cast<std::ptrdiff_t>(read),
                                     faceIndices_.begin() + static_cast<std::ptrdiff_t>(begin),
                                     faceIndices_.begin() + static_cast<std::ptrdiff_t>(write));
        write += begin - read;
        read = stop;
    }
    if (read != 0) {
        std::copy(faceIndices_.begin() + static_cast<std::ptrdiff_t>(read), faceIndices_.end(),
                  faceIndices_.begin() + static_cast<std::ptrdiff_t>(write));
        faceIndices_.resize(write + (faceIndices_.size() - read));
    }

    if (vertexColors_.empty()) {
        // "vc" colours where given; the rest (or all, without any) stay white.
        mesh.build(positions_, normals_, colors_, texCoords_, faceIndices_);
    } else if (colors_.empty()) {
        mesh.build(positions_, normals_, {}, texCoords_, faceIndices_);
        mesh.colors = vertexColors_;
    } else {
        // "vc" lines take precedence over colours on the "v" lines.
        mesh.build(positions_, normals_, colors_, texCoords_, faceIndices_);
    }

    if (skippedFaces_ > 0) {
        result.skippedFaces = static_cast<int>(std::min<std::int64_t>(skippedFaces_, INT_MAX));
        result.firstSkippedLine = static_cast<int>(std::min<std::int64_t>(firstSkippedLine_, INT_MAX));
        result.warning = name_ + ": skipped " + std::to_string(skippedFaces_) +
                         (skippedFaces_ == 1 ? " face" : " faces") +
                         " naming a vertex that does not exist (first on line " +
                         std::to_string(firstSkippedLine_) + ")";
    }
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

ObjReadResult parseOBJ(Mesh& mesh, std::string_view text, const std::string& name) {
    ObjReadResult result;
    ObjParser parser(name);
    // The mesh is only filled once the whole text has been accepted.
    if (!parser.parse(text) || !parser.buildMesh(mesh, result)) {
        result.error = parser.error();
        return result;
    }
    result.ok = true;
    return result;
}

ObjReadResult readOBJ(Mesh& mesh, const std::string& path) {
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
        std::cerr << "ERROR: Opening File: " << path << std::endl;
        result.error = path + ": cannot open file: " + std::strerror(openError);
        return result;
    }
    std::cout << "Opening: " << path << std::endl;

    std::string text;
    std::string reason;
    const bool read = readWholeFile(file, text, reason);
    std::fclose(file);
    if (!read) {
        result.error = path + ": cannot read file: " + reason;
        return result;
    }

    result = parseOBJ(mesh, text, path);
    if (!result.warning.empty()) std::cerr << "WARNING: " << result.warning << std::endl;
    return result;
}

}  // namespace kubelmar
