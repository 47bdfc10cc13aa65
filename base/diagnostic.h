#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kubelmar {

// One thing a load or a run has to tell its user: a value, never printed
// below the front ends. Each front end formats it for its own place (the
// command line's stderr, the desktop program's console, status bar and
// boxes).
struct Diagnostic {
    enum class Severity { Warning, Error };
    Severity severity = Severity::Error;
    std::string file;  // the file it is about; empty when none
    int line = 0;      // 1-based line in `file`, 0 when the file has no lines or none applies
    std::string message;
    // For a reference a mesh makes to a file outside the folder it may read
    // from: that file's path, so a front end can offer to allow it.
    std::string outsideReference;

    // "file:line: message", "file: message" or "message": the one-line form
    // every front end starts from.
    std::string text() const;
};

// Its text(), for test messages and logs.
std::ostream& operator<<(std::ostream& out, const Diagnostic& diagnostic);

using Diagnostics = std::vector<Diagnostic>;

inline Diagnostic errorAbout(std::string file, std::string message, int line = 0) {
    return {Diagnostic::Severity::Error, std::move(file), line, std::move(message), {}};
}
inline Diagnostic warningAbout(std::string file, std::string message, int line = 0) {
    return {Diagnostic::Severity::Warning, std::move(file), line, std::move(message), {}};
}

// The text() of each diagnostic of `list` with `severity`, in order.
std::vector<std::string> texts(const Diagnostics& list, Diagnostic::Severity severity);

// The first error of `list`, or null.
const Diagnostic* firstError(const Diagnostics& list);

// Messages longer than this are cut, so that a hostile file (a name of a
// hundred thousand characters) can't flood a console or a dialog.
constexpr std::size_t kMaxDiagnosticChars = 512;

// `text` cut to at most `limit` characters, with "…" where it was cut.
std::string shortenForMessage(const std::string& text, std::size_t limit = kMaxDiagnosticChars);

}  // namespace kubelmar
