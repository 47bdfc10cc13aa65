#pragma once

// Number scanning for the OBJ reader. Both functions read from [p, end) only
// (the text need not be NUL-terminated), skip leading whitespace as scanf's
// conversions do, and return the position after the number, or nullptr when
// no number starts there.

namespace kubelmar::obj {

// Blank, tab, carriage return, vertical tab, form feed (not '\n': the reader
// hands over single lines).
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

inline const char* skipBlanks(const char* p, const char* end) {
    while (p < end && isBlank(*p)) ++p;
    return p;
}

// A float as "%f" reads it: optional sign, decimal or 0x-hexadecimal digits
// with optional point and exponent, "inf", "infinity", "nan", "nan(...)".
// Values beyond float's range become +-inf (tiny ones 0 or subnormal), as
// strtof gives them.
const char* scanFloat(const char* p, const char* end, float& out);

// An integer as "%i" reads it: optional sign, then 0x-hexadecimal, 0-octal
// or decimal digits ("010" is 8, "08" reads as 0 and stops before the 8).
// Magnitudes beyond the 64-bit range saturate; callers range-check.
const char* scanInt(const char* p, const char* end, long long& out);

}  // namespace kubelmar::obj
