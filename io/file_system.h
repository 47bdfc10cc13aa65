#pragma once

#include <string>
#include <vector>

#include "io/io_result.h"

// Small POSIX helpers behind OutputStage; each reports errno as a reason.
namespace kubelmar::fsx {

// strerror(error) as a std::string; safe on any thread.
std::string reason(int error);

// The entries of `directory` except "." and "..", in no particular order.
IoResult listNames(const std::string& directory, std::vector<std::string>& names);

// fsync on `path` (a file or a folder), so its data or its entries survive a
// power cut. Opened read-only: Linux flushes through any descriptor.
IoResult syncPath(const std::string& path);
// Flushes the whole file system that holds `path` (one syncfs call).
IoResult syncFileSystem(const std::string& path);

// Removes `path` and, for a folder, everything below it; does not follow
// symbolic links. A missing path is not an error.
IoResult removeTree(const std::string& path);

// Whether process `pid` exists (on this host's process namespace).
bool processAlive(long pid);

// Creates `directory` and missing parents; `created` gets the folders this
// call made, outermost first. A path that exists but is no folder fails.
IoResult makeDirectories(const std::string& directory, std::vector<std::string>& created);

}  // namespace kubelmar::fsx
