#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kubelmar {

// Checks a JPEG's Huffman tables (DHT segments, before and between scans)
// before the decoder builds them: stb_image 2.27 writes its code-length
// table for up to 256 codes per table without checking the declared count,
// and decodes a scan with a table no DHT segment defined (uninitialised
// memory: it then indexes before the table's arrays).
// Empty when `bytes` is not a JPEG or its tables are sound; else the reason.
std::string jpegHuffmanTableFault(const std::uint8_t* bytes, std::size_t size);

}  // namespace kubelmar
