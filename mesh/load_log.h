#pragma once

#include <string>
#include <vector>

namespace kubelmar {

// A console line of a load, exact text, kept in the order it arose; the
// front end prints it (mesh/ itself prints nothing).
struct LoadLogLine {
    enum Stream { Out, Err };
    Stream stream = Out;  // stdout: progress such as "Opening: <path>"; stderr: warnings and errors
    std::string text;
};

using LoadLog = std::vector<LoadLogLine>;

}  // namespace kubelmar
