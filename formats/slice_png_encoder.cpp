#include "formats/slice_png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace kubelmar {

namespace {

// Deflate's length and distance codes (RFC 1951, 3.2.5): first value of each
// code and its number of extra bits.
constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                   193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr int kMaxMatch = 258;
constexpr int kWindow = 32768;

int distanceCode(int distance) {
    return static_cast<int>(std::upper_bound(std::begin(kDistanceBase), std::end(kDistanceBase), distance) -
                            std::begin(kDistanceBase)) - 1;
}

int lengthCode(int length) {
    return static_cast<int>(std::upper_bound(std::begin(kLengthBase), std::end(kLengthBase), length) -
                            std::begin(kLengthBase)) - 1;
}

// Bits go out least significant first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void put(std::uint32_t bits, int count) {
        buffer_ |= static_cast<std::uint64_t>(bits) << filled_;
        filled_ += count;
        while (filled_ >= 8) {
            out_.push_back(static_cast<std::uint8_t>(buffer_));
            buffer_ >>= 8;
            filled_ -= 8;
        }
    }
    void flushByte() {
        if (filled_ > 0) put(0, 8 - filled_);
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t buffer_ = 0;
    int filled_ = 0;
};

// A canonical Huffman code from code lengths (RFC 1951, 3.2.2), each code
// bit-reversed so that it can be put() least significant bit first.
template <std::size_t N>
struct Code {
    std::array<std::uint8_t, N> length{};
    std::array<std::uint16_t, N> bits{};

    void assign() {
        int count[16] = {};
        for (std::uint8_t l : length) ++count[l];
        count[0] = 0;
        int next[16] = {};
        for (int code = 0, l = 1; l < 16; ++l) {
            code = (code + count[l - 1]) << 1;
            next[l] = code;
        }
        for (std::size_t s = 0; s < N; ++s) {
            const int l = length[s];
            if (l == 0) continue;
            int code = next[l]++, reversed = 0;
            for (int b = 0; b < l; ++b) reversed |= ((code >> b) & 1) << (l - 1 - b);
            bits[s] = static_cast<std::uint16_t>(reversed);
        }
    }
    void put(BitWriter& out, int symbol) const { out.put(bits[symbol], length[symbol]); }
};

// The block's codes: a 258-byte match and the distance "one pixel back" take
// one bit each; the distance "one row up" five; everything else 9 or 10.
// Both sets are complete (Kraft sum 1), as inflaters require.
struct SliceCodes {
    Code<286> literal;  // literals 0..255, end of block 256, lengths 257..285
    Code<30> distance;

    explicit SliceCodes(int rowDistanceCode) {
        for (int s = 0; s < 286; ++s) literal.length[s] = 9;
        literal.length[285] = 1;
        // 58 symbols at 10 bits: the length codes 257..284 and thirty
        // mid-range byte values, leaving 227 at 9 bits.
        for (int s = 257; s < 285; ++s) literal.length[s] = 10;
        for (int s = 100; s < 130; ++s) literal.length[s] = 10;
        literal.assign();
        // Distances: 4 at one bit; three codes at 5 bits (the row's among
        // them), the other 26 at 6 bits.
        int five = 0;
        for (int s = 0; s < 30; ++s) distance.length[s] = 6;
        distance.length[3] = 1;
        for (int s : {rowDistanceCode, 0, 1, 2}) {
            if (five == 3 || s == 3 || distance.length[s] == 5) continue;
            distance.length[s] = 5;
            ++five;
        }
        distance.assign();
    }

    // The block header: the code lengths, themselves coded with a small code
    // over the lengths used (1, 5, 6, 9, 10 bits).
    void writeHeader(BitWriter& out) const {
        out.put(1, 1);     // last block
        out.put(2, 2);     // dynamic Huffman codes
        out.put(286 - 257, 5);
        out.put(30 - 1, 5);
        out.put(19 - 4, 4);
        Code<19> lengths;
        for (int l : {1, 5, 6}) lengths.length[l] = 2;
        for (int l : {9, 10}) lengths.length[l] = 3;
        lengths.assign();
        static constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        for (int s : kOrder) out.put(lengths.length[s], 3);
        for (std::uint8_t l : literal.length) lengths.put(out, l);
        for (std::uint8_t l : distance.length) lengths.put(out, l);
    }
};

// Length of the common run of a[0..limit) and b[0..limit), eight bytes at a time.
int matchLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
    int n = 0;
    while (n + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) return n + __builtin_ctzll(x ^ y) / 8;  // little-endian: first differing byte
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// Adler-32, carried over calls in (s1, s2): 32 bytes at a step, s1 gains
// their sum and s2 32 s1 plus their sum weighted 32 .. 1, which compilers
// vectorise; zlib's byte-serial loop took half the encoding time.
struct Adler {
    std::uint64_t s1 = 1, s2 = 0;
    std::uint32_t value() const { return static_cast<std::uint32_t>(s2 << 16 | s1); }
};

template <typename Unused = void>
inline void adlerUpdate(Adler& a, const std::uint8_t* p, std::size_t n) {
    constexpr std::uint64_t kModulus = 65521;
    std::uint64_t s1 = a.s1, s2 = a.s2;
    while (n >= 32) {
        // 1024 steps keep both sums far below 2^64 before the reduction.
        const std::size_t steps = std::min<std::size_t>(n / 32, 1024);
        for (std::size_t b = 0; b < steps; ++b, p += 32) {
            std::uint32_t sum = 0, weighted = 0;
            for (int i = 0; i < 32; ++i) {
                sum += p[i];
                weighted += static_cast<std::uint32_t>(32 - i) * p[i];
            }
            s2 += 32 * s1 + weighted;
            s1 += sum;
        }
        n -= steps * 32;
        s1 %= kModulus;
        s2 %= kModulus;
    }
    while (n--) {
        s1 += *p++;
        s2 += s1;
    }
    a.s1 = s1 % kModulus;
    a.s2 = s2 % kModulus;
}

// The same loop built for AVX2 (32-bit lane multiplies), picked at run time.
[[gnu::target("avx2")]] void adlerUpdateAvx2(Adler& a, const std::uint8_t* p, std::size_t n) {
    adlerUpdate<int>(a, p, n);
}

void adlerAdd(Adler& a, const std::uint8_t* p, std::size_t n) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) adlerUpdateAvx2(a, p, n);
    else adlerUpdate(a, p, n);
}

// Adds `length` bytes repeating the four at `pattern` (pattern[0] first) to
// the checksum: byte i is pattern[i % 4] and is weighted length - i in s2.
void adlerAddRepeat(Adler& a, const std::uint8_t* pattern, int length) {
    constexpr std::uint64_t kModulus = 65521;
    const auto l = static_cast<std::uint64_t>(length);
    std::uint64_t sum = 0, weighted = 0;
    for (std::uint64_t r = 0; r < 4 && r < l; ++r) {
        const std::uint64_t count = (l - r + 3) / 4;  // i = r, r + 4, ... below length
        sum += count * pattern[r];
        weighted += pattern[r] * (count * (l - r) - 2 * count * (count - 1));
    }
    a.s2 = (a.s2 + l * a.s1 + weighted) % kModulus;
    a.s1 = (a.s1 + sum) % kModulus;
}

void putUint32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putChunk(std::vector<std::uint8_t>& png, const char type[4], const std::uint8_t* data, std::size_t size) {
    putUint32(png, static_cast<std::uint32_t>(size));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    if (size) png.insert(png.end(), data, data + size);
    const uLong crc = crc32(0, png.data() + start, static_cast<uInt>(size + 4));
    putUint32(png, static_cast<std::uint32_t>(crc));
}

}  // namespace

void encodeSlicePng(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& png) {
    encodeSlicePng(rgba, width, height, KnownRows{}, png);
}

void encodeSlicePng(const std::uint8_t* rgba, int width, int height, const KnownRows& known,
                    std::vector<std::uint8_t>& png) {
    static_assert(std::endian::native == std::endian::little, "matchLength reads words little-endian");
    // The image data is each row as a filter byte (0, none) and its pixels.
    // Tokens stay within a row: position q of row y is its filter byte at
    // q = 0 and pixel byte q - 1 after it.
    const int rowBytes = width * 4;
    const int stride = rowBytes + 1;
    const int rowDistance = stride <= kWindow ? stride : 0;
    const SliceCodes codes(rowDistance ? distanceCode(rowDistance) : 3);

    std::vector<std::uint8_t> data;
    data.reserve(static_cast<std::size_t>(rowBytes) * height / 64 + 1024);
    data.push_back(0x78);  // zlib: deflate, 32K window
    data.push_back(0x01);
    BitWriter out(data);
    codes.writeHeader(out);
    // The commonest token, 258 bytes one pixel back, as one ready bit pattern.
    const std::uint32_t longRun = codes.literal.bits[285] | static_cast<std::uint32_t>(codes.distance.bits[3])
                                                               << codes.literal.length[285];
    const int longRunBits = codes.literal.length[285] + codes.distance.length[3];
    std::array<std::uint8_t, kMaxMatch + 1> lengthCodes{};
    for (int length = 3; length <= kMaxMatch; ++length) lengthCodes[length] = static_cast<std::uint8_t>(lengthCode(length));
    const int rowCode = rowDistance ? distanceCode(rowDistance) : 0;
    auto putMatch = [&](int length, int distance) {
        if (length == kMaxMatch && distance == 4) {
            out.put(longRun, longRunBits);
            return;
        }
        const int lc = lengthCodes[length];
        codes.literal.put(out, 257 + lc);
        out.put(static_cast<std::uint32_t>(length - kLengthBase[lc]), kLengthExtra[lc]);
        const int dc = distance == 4 ? 3 : rowCode;
        codes.distance.put(out, dc);
        out.put(static_cast<std::uint32_t>(distance - kDistanceBase[dc]), kDistanceExtra[dc]);
    };

    Adler adler;
    static constexpr std::uint8_t kFilterNone = 0;
    // A uniform row stands in for the empty rows; what it adds to the
    // checksum (from s1 = s2 = 0: its byte sum, and its bytes weighted
    // stride .. 1) is worked out once.
    const SliceRows* spans = known.rows;
    std::vector<std::uint8_t> uniformRow;
    Adler uniformSums;
    if (spans) {
        uniformRow.resize(static_cast<std::size_t>(rowBytes));
        for (int x = 0; x < width; ++x) std::memcpy(uniformRow.data() + 4 * x, known.pixel.data(), 4);
        uniformSums.s1 = 0;
        adlerAdd(uniformSums, &kFilterNone, 1);
        adlerAdd(uniformSums, uniformRow.data(), uniformRow.size());
    }
    auto isUniform = [&](int y) { return spans && spans->empty(y); };
    auto rowAt = [&](int y) {
        return isUniform(y) ? uniformRow.data() : rgba + static_cast<std::size_t>(y) * rowBytes;
    };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = rowAt(y);
        const std::uint8_t* above = y > 0 ? rowAt(y - 1) : nullptr;
        if (y > 0 && isUniform(y) && isUniform(y - 1) && rowDistance && width >= 64) {
            // The tokens the loop below finds for a row equal to the one
            // above and made of one pixel: a match one row up, then runs
            // one pixel back (literals for the last byte or two).
            constexpr std::uint64_t kModulus = 65521;
            adler.s2 = (adler.s2 + static_cast<std::uint64_t>(stride) % kModulus * adler.s1 + uniformSums.s2) % kModulus;
            adler.s1 = (adler.s1 + uniformSums.s1) % kModulus;
            const int up = std::min(kMaxMatch, stride);
            putMatch(up, rowDistance);
            for (int q = up - 1; q < rowBytes;) {
                const int run = std::min(kMaxMatch, rowBytes - q);
                if (run < 3) {
                    codes.literal.put(out, row[q]);
                    ++q;
                } else {
                    putMatch(run, 4);
                    q += run;
                }
            }
            continue;
        }
        adlerAdd(adler, &kFilterNone, 1);
        int summed = 0;  // pixel bytes of the row in the checksum so far
        // The row's bytes [0, spanFirst) and [spanEnd, rowBytes) repeat the
        // known pixel: a run one pixel back that starts a pixel or more
        // inside them reaches their end without a look.
        const int spanFirst = !spans ? 0 : isUniform(y) ? rowBytes : 4 * spans->first(y);
        const int spanEnd = !spans ? 0 : isUniform(y) ? rowBytes : 4 * spans->end(y);
        // The filter byte starts a match with the row above when it can.
        int q = 0;  // next pixel byte
        const int up = above && rowDistance ? 1 + matchLength(row, above, std::min(kMaxMatch, stride) - 1) : 0;
        if (up >= 3) {
            putMatch(up, rowDistance);
            q = up - 1;
        } else {
            codes.literal.put(out, kFilterNone);
        }
        while (q < rowBytes) {
            const int limit = std::min(kMaxMatch, rowBytes - q);
            int best = 0, bestDistance = 0;
            if (q >= 4) {
                const bool known = (q + limit <= spanFirst) || (q - 4 >= spanEnd && spanEnd > spanFirst);
                best = known ? limit : matchLength(row + q, row + q - 4, limit);
                bestDistance = 4;
            }
            if (above && rowDistance && best < limit) {
                const int up = matchLength(row + q, above + q, limit);
                if (up > best) {
                    best = up;
                    bestDistance = rowDistance;
                }
            }
            if (best < 3) {
                codes.literal.put(out, row[q]);
                ++q;
                continue;
            }
            putMatch(best, bestDistance);
            if (bestDistance == 4) {
                // Runs of one pixel are most of a slice's bytes: their sums
                // in closed form.
                adlerAdd(adler, row + summed, static_cast<std::size_t>(q - summed));
                adlerAddRepeat(adler, row + q - 4, best);
                summed = q + best;
            }
            q += best;
        }
        adlerAdd(adler, row + summed, static_cast<std::size_t>(rowBytes - summed));
    }
    codes.literal.put(out, 256);
    out.flushByte();
    putUint32(data, adler.value());

    png.clear();
    static constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    png.insert(png.end(), kSignature, kSignature + 8);
    std::vector<std::uint8_t> header;
    putUint32(header, static_cast<std::uint32_t>(width));
    putUint32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive filters, no interlace
    putChunk(png, "IHDR", header.data(), header.size());
    putChunk(png, "IDAT", data.data(), data.size());
    putChunk(png, "IEND", nullptr, 0);
}

}  // namespace kubelmar
