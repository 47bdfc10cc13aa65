// Wavefront MTL reader: only what gives a face its colour.
#include "mesh/mtl_reader.h"

#include <cmath>
#include <cstring>

#include "mesh/obj_number.h"
#include "mesh/text_lines.h"

namespace kubelmar {

namespace {

using obj::isBlank;
using obj::scanFloat;
using obj::skipBlanks;

const char* tokenEnd(const char* p, const char* end) {
    while (p < end && !isBlank(*p)) ++p;
    return p;
}

bool isNumberToken(const char* p, const char* e) {
    float unused = 0.0f;
    const char* q = scanFloat(p, e, unused);
    return q == e;
}

// How many arguments map_Kd's option takes; -1 for "1 to 3 numbers", 0 for
// an unknown option (then it is not an option: the file name starts there).
int optionArguments(std::string_view option) {
    if (option == "-blendu" || option == "-blendv" || option == "-boost" || option == "-texres" ||
        option == "-clamp" || option == "-bm" || option == "-imfchan" || option == "-type" || option == "-cc")
        return 1;
    if (option == "-mm") return 2;
    if (option == "-o" || option == "-s" || option == "-t") return -1;
    return 0;
}

class MtlParser {
public:
    MtlParser(const std::string& name, MtlReadResult& result) : name_(name), result_(result) {}

    void parseLine(const char* p, const char* end) {
        p = skipBlanks(p, end);
        const char* keyEnd = tokenEnd(p, end);
        const std::string_view key(p, static_cast<std::size_t>(keyEnd - p));
        const char* rest = skipBlanks(keyEnd, end);
        if (key == "newmtl") {
            const std::string_view materialName = text::trim(std::string_view(rest, static_cast<std::size_t>(end - rest)));
            if (materialName.empty()) return warn("newmtl without a name");
            result_.materials.emplace_back();
            result_.materials.back().material.name = std::string(materialName);
        } else if (key == "Kd") {
            parseDiffuse(rest, end);
        } else if (key == "map_Kd") {
            parseMap(rest, end);
        }
    }

    std::int64_t line = 0;

private:
    void warn(const std::string& reason) {
        result_.warnings.push_back(warningAbout(name_, reason, line));
    }

    MtlMaterial* current(const char* keyword) {
        if (result_.materials.empty()) {
            warn(std::string(keyword) + " before any newmtl");
            return nullptr;
        }
        return &result_.materials.back();
    }

    void parseDiffuse(const char* p, const char* end) {
        MtlMaterial* m = current("Kd");
        if (!m) return;
        // "Kd r [g b]"; one number is grey. "Kd spectral" and "Kd xyz" are not read.
        float c[3];
        int count = 0;
        for (const char* q = p; count < 3 && (q = scanFloat(q, end, c[count])) != nullptr;) ++count;
        if (count == 0) return warn("Kd without a colour");
        if (count == 1) c[1] = c[2] = c[0];
        if (count == 2) return warn("Kd needs one or three numbers");
        for (float& v : c) {
            if (!std::isfinite(v)) return warn("Kd is not a finite colour");
            v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
        }
        m->material.hasDiffuse = true;
        std::memcpy(m->material.diffuse, c, sizeof c);
    }

    void parseMap(const char* p, const char* end) {
        MtlMaterial* m = current("map_Kd");
        if (!m) return;
        bool clamp = false;
        for (;;) {
            p = skipBlanks(p, end);
            const char* e = tokenEnd(p, end);
            const std::string_view option(p, static_cast<std::size_t>(e - p));
            const int arguments = option.size() > 1 && option[0] == '-' ? optionArguments(option) : 0;
            if (arguments == 0) break;
            const char* q = skipBlanks(e, end);
            if (arguments == -1) {
                // One to three numbers (u [v [w]]).
                int taken = 0;
                for (const char* t = tokenEnd(q, end); taken < 3 && q < end && isNumberToken(q, t);
                     t = tokenEnd(q, end)) {
                    q = skipBlanks(t, end);
                    ++taken;
                }
                if (taken == 0) return warn("map_Kd option " + std::string(option) + " without numbers");
            } else {
                for (int i = 0; i < arguments; ++i) {
                    const char* t = tokenEnd(q, end);
                    if (t == q) return warn("map_Kd option " + std::string(option) + " without its value");
                    if (option == "-clamp") clamp = std::string_view(q, static_cast<std::size_t>(t - q)) == "on";
                    q = skipBlanks(t, end);
                }
            }
            p = q;
        }
        const std::string_view file = text::trim(std::string_view(p, static_cast<std::size_t>(end - p)));
        if (file.empty()) return warn("map_Kd without a file name");
        m->texturePath = std::string(file);
        m->textureLine = static_cast<int>(line);
        m->material.clampTexture = clamp;
    }

    const std::string& name_;
    MtlReadResult& result_;
};

}  // namespace

MtlReadResult parseMTL(std::string_view source, const std::string& name) {
    MtlReadResult result;
    MtlParser parser(name, result);
    source = text::skipByteOrderMark(source);
    const char* p = source.data();
    const char* const end = p + source.size();
    while (p < end) {
        ++parser.line;
        const char* lineEnd = nullptr;
        const char* next = text::nextLine(p, end, lineEnd);
        parser.parseLine(p, lineEnd);
        p = next;
    }
    result.ok = true;
    return result;
}

MtlReadResult readMTL(const std::string& path) {
    // Material files are small; anything this large is not one.
    constexpr std::size_t kMaxMtlBytes = std::size_t{64} << 20;
    std::string contents;
    std::string reason;
    if (!text::readRegularFile(path, contents, reason, kMaxMtlBytes)) {
        MtlReadResult result;
        result.error = path + ": cannot read material file: " + reason;
        return result;
    }
    return parseMTL(contents, path);
}

}  // namespace kubelmar
