#pragma once

#include <string>

#include "base/diagnostic.h"

namespace kubelmar {

// The outcome of writing files: ok, or the first failure, naming the file
// and the reason. Nothing below the front ends prints it; they decide where
// it goes.
struct WriteResult {
    bool ok = true;
    Diagnostic error;  // meaningful only when !ok
    int filesWritten = 0;
};

// A failed result about `path` (the file that could not be written).
inline WriteResult writeFailure(const std::string& path, const std::string& reason) {
    WriteResult result;
    result.ok = false;
    result.error = errorAbout(path, reason);
    return result;
}

// A failed result that names no file (a GL limit, a missing mesh).
inline WriteResult runFailure(const std::string& message, int filesWritten = 0) {
    WriteResult result;
    result.ok = false;
    result.error = errorAbout({}, message);
    result.filesWritten = filesWritten;
    return result;
}

}  // namespace kubelmar
