// libFuzzer target: the command-line parser on an argv made from the input,
// one argument per line (a NUL inside a line ends that argument, as it would
// in a real argv).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args{"kubelmar-cli"};
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        args.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);  // argv[argc] is null, as main() receives it

    kubelmar::CliOptions options;
    std::string error;
    const bool ok = kubelmar::parseCliOptions(static_cast<int>(args.size()), argv.data(), options, &error);
    // A refusal always says why.
    if (!ok && error.empty()) std::abort();
    return 0;
}
