#pragma once

#include <string>
#include <string_view>

// Line splitting and whole-file reading shared by the OBJ and MTL readers.

namespace kubelmar::text {

// Skips a UTF-8 byte-order mark at the start of `text`.
std::string_view skipByteOrderMark(std::string_view text);

// The line starting at p: sets lineEnd to its end (without the break) and
// returns where the next line starts. A line ends at LF, CR LF or a lone CR
// (old Mac files), or at `end`.
const char* nextLine(const char* p, const char* end, const char*& lineEnd);

// Trims blanks (space, tab, CR, VT, FF) from both ends.
std::string_view trim(std::string_view s);

// Reads the whole of a regular file into `out`. False with `reason` (errno
// text, or "not a regular file", or "larger than N bytes") otherwise; a FIFO,
// device or folder is refused without reading it, so it can't block.
bool readRegularFile(const std::string& path, std::string& out, std::string& reason,
                     std::size_t maxBytes = static_cast<std::size_t>(-1));

}  // namespace kubelmar::text
