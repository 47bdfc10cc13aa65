#pragma once

#include <string>

namespace kubelmar {

// The outcome of writing files: ok, or the first failure as one "ERROR: "
// line naming the file and the reason. Nothing below the front ends prints
// it; they decide where it goes.
struct WriteResult {
    bool ok = true;
    std::string error;
    int filesWritten = 0;
};

// "ERROR: Writing File: <path>: <reason>" as a failed result.
inline WriteResult writeFailure(const std::string& path, const std::string& reason) {
    WriteResult result;
    result.ok = false;
    result.error = "ERROR: Writing File: " + path + ": " + reason;
    return result;
}

}  // namespace kubelmar
