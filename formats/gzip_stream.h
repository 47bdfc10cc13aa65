#pragma once

#include <cstddef>
#include <vector>

#include <zlib.h>

#include "io/checked_file.h"

namespace kubelmar {

// Compresses bytes into a gzip member (zlib, fast level) written to a
// CheckedFile. A compressor failure is recorded in the file.
class GzipStream {
public:
    explicit GzipStream(CheckedFile& file);
    ~GzipStream();
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;

    bool write(const void* data, std::size_t bytes);
    // Ends the gzip member; the file still has to be finished.
    bool finish();

private:
    bool pump(int flush);

    CheckedFile& file_;
    z_stream stream_{};
    bool started_ = false;
    std::vector<unsigned char> out_;
};

}  // namespace kubelmar
