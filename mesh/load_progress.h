#pragma once

#include <cstdint>
#include <functional>

namespace kubelmar {

// How far a load is: `done` of the mesh file's `total` bytes dealt with.
// Called on the loading thread, once with done == 0 before reading, now and
// then while the file is parsed (each time done has grown by about a
// mebibyte), and once with done == total when the load succeeded. Readers
// that run in a child process report only the start and the end. It must
// not load another mesh; a front end may draw, and a terminal may print.
using LoadProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

}  // namespace kubelmar
