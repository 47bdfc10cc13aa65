// Declared counts and sizes checked against the bytes present and the
// memory budget, before a parser trusts them.
#include "mesh/declared_sizes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <vector>

#include "base/diagnostic.h"
#include "mesh/file_extension.h"
#include "mesh/load_limits.h"

namespace kubelmar {

namespace {

constexpr std::uint64_t kMaxElements = INT_MAX;  // Mesh counts vertices and faces in int

// A count as written: its value, or `overflows` when it doesn't fit in 64
// bits. The digits are kept for messages.
struct Count {
    std::uint64_t value = 0;
    bool overflows = false;
    std::string digits;
};

bool parseCount(std::string_view text, Count& out) {
    if (text.empty()) return false;
    out = Count{};
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (out.value > (UINT64_MAX - digit) / 10) out.overflows = true;
        if (!out.overflows) out.value = out.value * 10 + digit;
    }
    out.digits = shortenForMessage(std::string(text), 40);
    return true;
}

// A count as the third-party readers take it: the digits the word starts
// with, whatever follows ("12abc" is 12, "abc" is 0).
Count leadingCount(std::string_view word) {
    std::size_t n = 0;
    while (n < word.size() && std::isdigit(static_cast<unsigned char>(word[n]))) ++n;
    Count count;
    if (!parseCount(word.substr(0, n), count)) count.digits.push_back('0');
    return count;
}

// a * b, saturating at UINT64_MAX.
std::uint64_t times(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}
std::uint64_t plus(std::uint64_t a, std::uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

std::string plural(const std::string& element) {
    if (element == "vertex") return "vertices";
    if (element == "face") return "faces";
    if (element == "triangle") return "triangles";
    // Appended rather than "'" + name: GCC 12 warns falsely (-Wrestrict) on the sum.
    std::string out(1, '\'');
    out += shortenForMessage(element, 40);
    out += "' elements";
    return out;
}

// The reason a count can't be taken whatever the file holds, or empty.
std::string countTooLarge(const Count& count, const std::string& element) {
    if (count.overflows)
        return "declares " + count.digits + " " + plural(element) + ", more than the " + std::to_string(UINT64_MAX) +
               " a 64-bit count holds";
    if (count.value > kMaxElements)
        return "declares " + count.digits + " " + plural(element) + ", more than the " + std::to_string(kMaxElements) +
               " a mesh can hold";
    return {};
}

std::string overBudget(const std::string& what, std::uint64_t needed, std::uint64_t budget) {
    return what + ", about " + describeBytes(needed) + " of memory, more than the limit of " + describeBytes(budget) +
           " (--max-memory)";
}

// The words of a header line. A vertical tab is not a blank: the PLY
// importer reads for ever after "end_header\v".
std::vector<std::string_view> words(std::string_view line) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && blank(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !blank(line[i])) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::uint64_t plyScalarBytes(std::string_view type) {
    if (type == "char" || type == "uchar" || type == "int8" || type == "uint8") return 1;
    if (type == "short" || type == "ushort" || type == "int16" || type == "uint16") return 2;
    if (type == "int" || type == "uint" || type == "float" || type == "int32" || type == "uint32" || type == "float32") return 4;
    if (type == "double" || type == "float64") return 8;
    return 0;
}

struct PlyElement {
    std::string name;
    Count count;
    std::uint64_t binaryBytes = 0;  // at least, per element: scalars plus list lengths
    std::uint64_t properties = 0;
};

std::uint32_t little32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t little16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool readAt(int fd, std::uint64_t offset, std::size_t size, std::string& out) {
    out.resize(size);
    std::size_t used = 0;
    while (used < size) {
        const ssize_t got = ::pread(fd, out.data() + used, size - used, static_cast<off_t>(offset + used));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        used += static_cast<std::size_t>(got);
    }
    out.resize(used);
    return used == size;
}

// A regular file opened for reading (never a FIFO or a device, which could
// block or never end); closed when it goes.
class RegularFile {
public:
    explicit RegularFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        struct stat info {};
        if (fd_ >= 0 && fstat(fd_, &info) == 0 && S_ISREG(info.st_mode))
            size_ = static_cast<std::uint64_t>(info.st_size);
        else
            close();
    }
    ~RegularFile() { close(); }
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }

private:
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_;
    std::uint64_t size_ = 0;
};

}  // namespace

std::string checkPlyDeclaredSizes(std::string_view bytes, std::uint64_t fileSize, std::uint64_t budget) {
    bool binary = false;
    std::vector<PlyElement> elements;
    std::size_t pos = 0;
    std::size_t headerEnd = std::string_view::npos;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end == std::string_view::npos) end = bytes.size();
        const std::vector<std::string_view> w = words(bytes.substr(pos, end - pos));
        pos = next;
        if (w.empty()) continue;
        if (w[0] == "end_header") {
            headerEnd = pos;
            break;
        }
        if (w[0] == "format" && w.size() > 1) binary = w[1] != "ascii";
        if (w[0] == "element" && w.size() > 2) {
            PlyElement e;
            e.name = std::string(w[1]);
            e.count = leadingCount(w[2]);
            elements.push_back(std::move(e));
        }
        if (w[0] == "property" && !elements.empty()) {
            PlyElement& e = elements.back();
            ++e.properties;
            if (w.size() > 1 && w[1] == "list") e.binaryBytes += w.size() > 2 ? plyScalarBytes(w[2]) : 0;
            else e.binaryBytes += w.size() > 1 ? plyScalarBytes(w[1]) : 0;
        }
    }
    // Without that line the importer reads on for ever.
    if (headerEnd == std::string_view::npos) return "PLY header without end_header";

    for (const PlyElement& e : elements)
        if (std::string reason = countTooLarge(e.count, e.name); !reason.empty()) return reason;

    // Each element needs at least its scalars in binary, and a value and a
    // separator per property (or a line break) in text.
    const std::uint64_t left = fileSize > headerEnd ? fileSize - headerEnd : 0;
    std::uint64_t needed = 0;
    for (const PlyElement& e : elements) {
        const std::uint64_t each = binary ? e.binaryBytes : std::max<std::uint64_t>(1, 2 * e.properties);
        const std::uint64_t bytesFor = times(e.count.value, each);
        // The last value of a text file may end without its separator.
        if (plus(needed, bytesFor) > (binary ? left : left + 1))
            return "declares " + e.count.digits + " " + plural(e.name) + " of at least " + std::to_string(each) +
                   (each == 1 ? " byte" : " bytes") + " each, more than the " + std::to_string(left) +
                   " bytes after the header hold";
        needed = plus(needed, bytesFor);
    }

    std::uint64_t memory = 0;
    std::string what;
    for (const PlyElement& e : elements) {
        const std::uint64_t each = e.name == "vertex" ? kBytesPerVertex : e.name == "face" ? kBytesPerFace : 32 + 16 * e.properties;
        memory = plus(memory, times(e.count.value, each));
        if (e.count.value > 0) what += (what.empty() ? "declares " : " and ") + e.count.digits + " " + plural(e.name);
    }
    if (memory > budget) return overBudget(what, memory, budget);
    return {};
}

std::string checkStlDeclaredSizes(std::string_view head, std::uint64_t fileSize, std::uint64_t budget) {
    std::size_t i = 0;
    while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i]))) ++i;
    const bool looksAscii = head.substr(i).starts_with("solid");
    if (head.size() < 84) return {};
    const std::uint64_t triangles = little32(reinterpret_cast<const unsigned char*>(head.data()) + 80);
    const std::uint64_t expected = 84 + 50 * triangles;
    // A binary STL is recognised by its size matching its count exactly;
    // text starting "solid" is read as ASCII otherwise.
    if (expected != fileSize) {
        if (looksAscii) return {};
        return "declares " + std::to_string(triangles) + " triangles (" + std::to_string(expected) +
               " bytes as binary STL), but the file is " + std::to_string(fileSize) + " bytes";
    }
    const std::uint64_t memory = times(triangles, kBytesPerStlTriangle);
    if (memory > budget) return overBudget("declares " + std::to_string(triangles) + " triangles", memory, budget);
    return {};
}

std::string checkOffDeclaredSizes(std::string_view head, std::uint64_t fileSize, std::uint64_t budget) {
    // Tokens, skipping "#" comments: the header word, then the vertex, face
    // and edge counts.
    std::vector<std::string_view> tokens;
    std::vector<std::size_t> tokenEnds;
    std::size_t i = 0;
    while (i < head.size() && tokens.size() < 3) {
        const char c = head[i];
        if (c == '#') {
            while (i < head.size() && head[i] != '\n') ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < head.size() && !std::isspace(static_cast<unsigned char>(head[i])) && head[i] != '#') ++i;
        tokens.push_back(head.substr(start, i - start));
        tokenEnds.push_back(i);
    }
    if (tokens.empty()) return {};
    // The header word (OFF, COFF, NOFF, 4OFF, ...) may run straight into the
    // first count ("COFF222222220"), which the importer reads as such.
    std::string word(tokens[0]);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t off = word.find("off");
    // Without a header word ("#OFF" is a comment to us, not to every
    // importer) the first two numbers are taken as the counts: a reader
    // that skips its first line anyway then sees the same or smaller ones.
    if (off == std::string::npos) {
    } else if (off + 3 < tokens[0].size()) {
        tokens[0].remove_prefix(off + 3);
    } else {
        tokens.erase(tokens.begin());
        tokenEnds.erase(tokenEnds.begin());
    }
    if (tokens.size() < 2) return {};
    const std::size_t countsEnd = tokenEnds[1];  // after the face count
    const Count vertices = leadingCount(tokens[0]), faces = leadingCount(tokens[1]);
    if (std::string reason = countTooLarge(vertices, "vertex"); !reason.empty()) return reason;
    if (std::string reason = countTooLarge(faces, "face"); !reason.empty()) return reason;
    // "0 0 0" and a break per vertex; a count and a break per face, at least.
    const std::uint64_t left = fileSize > countsEnd ? fileSize - countsEnd : 0;
    const std::uint64_t needed = plus(times(vertices.value, 6), times(faces.value, 2));
    if (needed > left + 1)
        return "declares " + vertices.digits + " vertices and " + faces.digits + " faces, at least " +
               std::to_string(needed) + " bytes, more than the " + std::to_string(left) + " bytes after the counts";
    const std::uint64_t memory = plus(times(vertices.value, kBytesPerVertex), times(faces.value, kBytesPerFace));
    if (memory > budget)
        return overBudget("declares " + vertices.digits + " vertices and " + faces.digits + " faces", memory, budget);
    return {};
}

std::string checkGltfDeclaredSizes(std::string_view json, std::uint64_t budget) {
    // The number after each "key": in the text. A key of that name inside an
    // extension is checked too, which only errs on the safe side.
    auto eachNumber = [&](std::string_view key, auto&& visit) -> std::string {
        for (std::size_t at = json.find(key); at != std::string_view::npos; at = json.find(key, at + 1)) {
            std::size_t i = at + key.size();
            while (i < json.size() && std::isspace(static_cast<unsigned char>(json[i]))) ++i;
            if (i >= json.size() || json[i] != ':') continue;
            ++i;
            while (i < json.size() && std::isspace(static_cast<unsigned char>(json[i]))) ++i;
            std::size_t e = i;
            while (e < json.size() && e - i < 64 && std::isdigit(static_cast<unsigned char>(json[e]))) ++e;
            Count count;
            if (e == i || !parseCount(json.substr(i, e - i), count)) continue;
            if (std::string reason = visit(count); !reason.empty()) return reason;
        }
        return {};
    };
    // Accessors: the reader allocates count elements of at least 4 bytes
    // before it checks them against their buffer view.
    std::string reason = eachNumber("\"count\"", [&](const Count& count) -> std::string {
        if (count.overflows || count.value > kMaxElements)
            return "an accessor declares " + count.digits + " elements, more than the " + std::to_string(kMaxElements) +
                   " a mesh can hold";
        if (times(count.value, 4) > budget)
            return overBudget("an accessor declares " + count.digits + " elements", times(count.value, 4), budget);
        return {};
    });
    if (!reason.empty()) return reason;
    std::uint64_t total = 0;
    reason = eachNumber("\"byteLength\"", [&](const Count& length) -> std::string {
        total = length.overflows ? UINT64_MAX : plus(total, length.value);
        if (total > budget) return overBudget("its buffers declare " + length.digits + " bytes", total, budget);
        return {};
    });
    if (!reason.empty()) return reason;
    // Inline data: each base64 character is 6 bits once decoded.
    std::uint64_t inlineBytes = 0;
    for (std::size_t at = json.find("\"data:"); at != std::string_view::npos; at = json.find("\"data:", at + 1)) {
        const std::size_t end = json.find('"', at + 1);
        const std::size_t comma = json.find(',', at);
        if (end == std::string_view::npos || comma == std::string_view::npos || comma > end) continue;
        inlineBytes = plus(inlineBytes, (end - comma - 1) / 4 * 3);
    }
    if (plus(inlineBytes, total) > budget)
        return overBudget("its inline data decodes to " + describeBytes(inlineBytes), plus(inlineBytes, total), budget);
    return {};
}

std::string checkGlbDeclaredSizes(std::string_view bytes, std::uint64_t budget) {
    if (bytes.size() < 20 || !bytes.starts_with("glTF")) return {};
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::uint64_t declaredTotal = little32(b + 8);
    if (declaredTotal > bytes.size())
        return "declares " + std::to_string(declaredTotal) + " bytes, but the file is " + std::to_string(bytes.size()) + " bytes";
    const std::uint64_t jsonLength = little32(b + 12);
    if (jsonLength > bytes.size() - 20)
        return "its JSON chunk declares " + std::to_string(jsonLength) + " bytes, more than the " +
               std::to_string(bytes.size() - 20) + " the file holds after it";
    return checkGltfDeclaredSizes(bytes.substr(20, jsonLength), budget);
}

std::string checkZipDeclaredSizes(const std::string& path, std::uint64_t budget) {
    const RegularFile file(path);
    if (!file.isOpen()) return {};
    const int fd = file.fd();
    const std::uint64_t fileSize = file.size();
    // The end record (22 bytes) sits within the last 64 KiB, behind a comment.
    constexpr std::uint64_t kEndRecord = 22;
    const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, kEndRecord + 0xFFFF);
    std::string tail;
    if (tailSize < kEndRecord || !readAt(fd, fileSize - tailSize, static_cast<std::size_t>(tailSize), tail)) return {};
    std::size_t end = std::string::npos;
    for (std::size_t i = tail.size() - kEndRecord + 1; i-- > 0;) {
        if (std::memcmp(tail.data() + i, "PK\x05\x06", 4) == 0) {
            end = i;
            break;
        }
    }
    if (end == std::string::npos) return {};
    const auto* e = reinterpret_cast<const unsigned char*>(tail.data() + end);
    const std::uint64_t entries = little16(e + 10);
    const std::uint64_t directorySize = little32(e + 12);
    const std::uint64_t directoryOffset = little32(e + 16);
    if (entries == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
        return "the archive uses zip64 records (4 GiB or more), which a mesh file has no need of";
    if (directoryOffset + directorySize > fileSize) return {};  // the reader reports the damage
    std::string directory;
    if (!readAt(fd, directoryOffset, static_cast<std::size_t>(directorySize), directory)) return {};

    std::uint64_t total = 0;
    std::size_t at = 0;
    for (std::uint64_t n = 0; n < entries && at + 46 <= directory.size(); ++n) {
        const auto* c = reinterpret_cast<const unsigned char*>(directory.data() + at);
        if (little32(c) != 0x02014b50) break;
        const std::uint64_t compressed = little32(c + 20);
        const std::uint64_t inflated = little32(c + 24);
        const std::size_t nameLength = little16(c + 28);
        const std::size_t skip = 46 + nameLength + little16(c + 30) + little16(c + 32);
        const std::string name = shortenForMessage(directory.substr(at + 46, std::min(nameLength, directory.size() - at - 46)), 100);
        at += skip;
        if (compressed == 0xFFFFFFFF || inflated == 0xFFFFFFFF)
            return "archive entry '" + name + "' uses zip64 sizes (4 GiB or more), which a mesh file has no need of";
        if (inflated > kRatioFloorBytes && inflated > times(std::max<std::uint64_t>(compressed, 1), kMaxCompressionRatio))
            return "archive entry '" + name + "' inflates from " + std::to_string(compressed) + " to " +
                   std::to_string(inflated) + " bytes, more than " + std::to_string(kMaxCompressionRatio) +
                   " times its size (a decompression bomb)";
        total = plus(total, inflated);
        if (times(total, kXmlExpansion) > budget)
            return overBudget("the archive inflates to " + std::to_string(total) + " bytes", times(total, kXmlExpansion), budget);
    }
    return {};
}

std::string checkDeclaredSizes(const std::string& path, std::uint64_t budget) {
    const RegularFile file(path);
    if (!file.isOpen()) return {};
    const int fd = file.fd();
    const std::uint64_t fileSize = file.size();
    // The readers hold the whole file at least once.
    if (fileSize > budget)
        return "the file is " + std::to_string(fileSize) + " bytes, more than the memory limit of " +
               describeBytes(budget) + " (--max-memory)";
    std::string head;
    readAt(fd, 0, static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, 1 << 16)), head);
    const std::string ext = meshFileExtension(path);
    // The importer picks its reader by a file's first bytes as well as by
    // its name. A glTF or 3MF file whose content is something else is
    // refused here, not handed to a reader it wasn't named for (a zip named
    // .gltf kept the importer busy until the time limit).
    if (ext == ".gltf" || ext == ".glb") {
        const std::size_t first = head.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
        if (!head.starts_with("glTF") && (first == std::string::npos || head[first] != '{'))
            return "not a glTF file: neither a JSON object nor the binary glTF header";
    }
    if (ext == ".3mf" && !head.starts_with("PK\x03\x04")) return "not a 3MF file: not a zip archive";
    // The importer takes the magic word in any case ("plY").
    std::string magic = head.substr(0, 3);
    for (char& c : magic) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (magic == "ply") return checkPlyDeclaredSizes(head, fileSize, budget);
    if (head.starts_with("PK\x03\x04") || head.starts_with("PK\x05\x06")) return checkZipDeclaredSizes(path, budget);
    if (head.starts_with("glTF") || ext == ".gltf" || ext == ".glb") {
        std::string whole;
        if (!readAt(fd, 0, static_cast<std::size_t>(fileSize), whole)) return {};
        return whole.starts_with("glTF") ? checkGlbDeclaredSizes(whole, budget) : checkGltfDeclaredSizes(whole, budget);
    }
    if (ext == ".stl") return checkStlDeclaredSizes(std::string_view(head).substr(0, 84), fileSize, budget);
    if (ext == ".off" || head.starts_with("OFF")) return checkOffDeclaredSizes(head, fileSize, budget);
    return {};
}

}  // namespace kubelmar
