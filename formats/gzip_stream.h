#pragma once

#include <cstddef>
#include <vector>

#include <zlib.h>

#include "formats/atomic_file.h"

namespace kubelmar {

// Compresses bytes into a gzip member (zlib, fast level) written to an
// AtomicFile. A compressor failure is recorded in the file.
class GzipStream {
public:
    explicit GzipStream(AtomicFile& file);
    ~GzipStream();
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;

    bool write(const void* data, std::size_t bytes);
    // Ends the gzip member; the file still has to be committed.
    bool finish();

private:
    bool pump(int flush);

    AtomicFile& file_;
    z_stream stream_{};
    bool started_ = false;
    std::vector<unsigned char> out_;
};

}  // namespace kubelmar
