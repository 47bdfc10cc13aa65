#pragma once

#include <ostream>
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

// Hands each line to the stream of its kind, in order; a null stream drops
// its lines. The front ends pass their console streams.
inline void writeLoadLog(const LoadLog& log, std::ostream* out, std::ostream* err) {
    for (const LoadLogLine& line : log) {
        std::ostream* to = line.stream == LoadLogLine::Out ? out : err;
        if (to) *to << line.text << std::endl;
    }
}

}  // namespace kubelmar
