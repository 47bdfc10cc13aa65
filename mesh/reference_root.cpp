// Which of a mesh's references may be opened.
#include "mesh/reference_root.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>

namespace kubelmar {

namespace {
// Ends every refusal that an option (or the desktop program's question)
// can lift.
const std::string kOutsideHint = "; use --refs-root DIR or --refs any";
}  // namespace


namespace fs = std::filesystem;

bool hasUriScheme(const std::string& written) {
    // RFC 3986: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":". One letter
    // before the colon is a Windows drive, which is an absolute path.
    if (written.empty() || !std::isalpha(static_cast<unsigned char>(written[0]))) return false;
    std::size_t i = 1;
    while (i < written.size() && (std::isalnum(static_cast<unsigned char>(written[i])) || written[i] == '+' ||
                                  written[i] == '-' || written[i] == '.'))
        ++i;
    return i >= 2 && i < written.size() && written[i] == ':';
}

std::string ReferenceRoot::resolved(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) p = fs::absolute(path, ec).lexically_normal();
    return p.string();
}

ReferenceRoot::ReferenceRoot(const std::string& meshPath, const LoadLimits& limits)
    : anyReference_(limits.anyReference) {
    const std::string root = limits.referenceRoot.empty() ? fs::path(meshPath).parent_path().string() : limits.referenceRoot;
    folder_ = resolved(root.empty() ? "." : root);
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
}

std::string ReferenceRoot::refusal(const std::string& written, const std::string& path) const {
    if (hasUriScheme(written))
        return "is a URI (" + shortenForMessage(written.substr(0, written.find(':') + 1), 40) +
               "); only files are followed";
    const std::string full = resolved(path);
    if (!anyReference_) {
        const std::string& hint = kOutsideHint;
        if (!written.empty() && (written[0] == '/' || written[0] == '\\'))
            return "is an absolute path, outside the mesh's folder (" + shortenForMessage(folder_, 200) + ")" + hint;
        const bool inside = full == folder_ || (full.size() > folder_.size() && full.compare(0, folder_.size(), folder_) == 0 &&
                                                (folder_ == "/" || full[folder_.size()] == '/'));
        if (!inside) return "is outside the mesh's folder (" + shortenForMessage(folder_, 200) + ")" + hint;
    }
    struct stat info {};
    if (::stat(full.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return "is not a regular file";
    return {};
}

Diagnostic ReferenceRoot::refusedWarning(const std::string& file, int line, const std::string& what,
                                         const std::string& written, const std::string& reason) {
    Diagnostic d = warningAbout(file, what + " '" + shortenForMessage(written, 200) + "' " + reason, line);
    if (reason.ends_with(kOutsideHint)) d.outsideReference = written;
    return d;
}

}  // namespace kubelmar
