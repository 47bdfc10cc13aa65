#include "base/diagnostic.h"

#include <ostream>

namespace kubelmar {

std::string Diagnostic::text() const {
    if (file.empty()) return message;
    std::string out = file;
    if (line > 0) {
        out += ':';
        out += std::to_string(line);
    }
    out += ": ";
    out += message;
    return out;
}

std::ostream& operator<<(std::ostream& out, const Diagnostic& diagnostic) { return out << diagnostic.text(); }

std::vector<std::string> texts(const Diagnostics& list, Diagnostic::Severity severity) {
    std::vector<std::string> out;
    for (const Diagnostic& d : list)
        if (d.severity == severity) out.push_back(d.text());
    return out;
}

const Diagnostic* firstError(const Diagnostics& list) {
    for (const Diagnostic& d : list)
        if (d.severity == Diagnostic::Severity::Error) return &d;
    return nullptr;
}

std::string shortenForMessage(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    // Cut on a UTF-8 character boundary: never inside a multi-byte sequence.
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut) + "\xE2\x80\xA6";
}

}  // namespace kubelmar
