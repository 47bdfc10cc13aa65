#pragma once

#include <string>
#include <utility>

namespace kubelmar {

// The outcome of a file-system step: ok, or the first path that failed and
// why ("No space left on device", "a directory stands in the way"). The
// same two fields as a Diagnostic's file and message, so a caller turns it
// into one with writeFailure(path, reason).
struct IoResult {
    bool ok = true;
    std::string path;
    std::string reason;

    // "<path>: <reason>", or empty when ok.
    std::string message() const { return ok ? std::string() : path + ": " + reason; }
    static IoResult failure(std::string path, std::string reason) { return {false, std::move(path), std::move(reason)}; }
};

}  // namespace kubelmar
