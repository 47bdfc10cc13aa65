#include "mesh/obj_number.h"

#include <charconv>
#include <cstdlib>
#include <limits>
#include <string>

namespace kubelmar::obj {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "0x" followed by a hex digit, or by a point and a hex digit.
bool startsHexFloat(const char* p, const char* end) {
    if (end - p < 3 || p[0] != '0' || (p[1] != 'x' && p[1] != 'X')) return false;
    if (hexValue(p[2]) >= 0) return true;
    return p[2] == '.' && end - p >= 4 && hexValue(p[3]) >= 0;
}

}  // namespace

const char* scanFloat(const char* p, const char* end, float& out) {
    p = skipBlanks(p, end);
    const char* start = p;
    bool negative = false;
    // std::from_chars takes neither a '+' nor a "0x" prefix, which scanf does.
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::from_chars_result r;
    float value = 0.0f;
    if (startsHexFloat(p, end)) {
        r = std::from_chars(p + 2, end, value, std::chars_format::hex);
    } else {
        // A second sign ("+-1", "--1") is not a number for scanf either.
        if (p < end && (*p == '+' || *p == '-')) return nullptr;
        r = std::from_chars(p, end, value, std::chars_format::general);
    }
    if (r.ec == std::errc::invalid_argument) return nullptr;
    if (r.ec == std::errc::result_out_of_range) {
        // Rare: let strtof give its overflow (inf) or underflow (0, subnormal)
        // value for exactly the characters from_chars matched.
        const std::string token(start, r.ptr);
        out = std::strtof(token.c_str(), nullptr);
        return r.ptr;
    }
    out = negative ? -value : value;
    return r.ptr;
}

const char* scanInt(const char* p, const char* end, long long& out) {
    p = skipBlanks(p, end);
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Decimal without a leading 0, by far the common case, first.
    if (p < end && *p >= '1' && *p <= '9') {
        unsigned long long magnitude = 0;
        const char* const limit = end - p > 18 ? p + 18 : end;  // 18 digits cannot overflow
        while (p < limit && isDigit(*p)) magnitude = magnitude * 10 + static_cast<unsigned>(*p++ - '0');
        if (p == limit && p < end && isDigit(*p)) {
            // Longer than 18 digits: saturate, and step over the rest.
            magnitude = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
            while (p < end && isDigit(*p)) ++p;
        }
        const auto value = static_cast<long long>(magnitude);
        out = negative ? -value : value;
        return p;
    }
    int base = 10;
    if (p < end && *p == '0') {
        if (end - p >= 3 && (p[1] == 'x' || p[1] == 'X') && hexValue(p[2]) >= 0) {
            base = 16;
            p += 2;
        } else {
            base = 8;  // the leading 0 itself is an octal digit
        }
    }
    // Saturate instead of overflowing; any such number is out of range anyway.
    constexpr unsigned long long kLimit = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    unsigned long long magnitude = 0;
    const char* digits = p;
    for (; p < end; ++p) {
        const int d = base == 16 ? hexValue(*p) : (isDigit(*p) ? *p - '0' : -1);
        if (d < 0 || d >= base) break;
        magnitude = magnitude > (kLimit - static_cast<unsigned>(d)) / static_cast<unsigned>(base)
                        ? kLimit
                        : magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
    if (p == digits) return nullptr;
    const auto value = static_cast<long long>(magnitude);
    out = negative ? -value : value;
    return p;
}

}  // namespace kubelmar::obj
