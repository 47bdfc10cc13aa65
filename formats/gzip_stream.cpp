#include "formats/gzip_stream.h"

#include <algorithm>
#include <limits>
#include <string>

namespace kubelmar {

GzipStream::GzipStream(CheckedFile& file) : file_(file), out_(1 << 18) {
    // windowBits 15 + 16: a gzip header and trailer instead of zlib's.
    started_ = deflateInit2(&stream_, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!started_) file_.fail("cannot start the gzip compressor");
}

GzipStream::~GzipStream() {
    if (started_) deflateEnd(&stream_);
}

bool GzipStream::write(const void* data, std::size_t bytes) {
    auto* next = static_cast<const unsigned char*>(data);
    while (bytes > 0 && file_.ok()) {
        const std::size_t chunk = std::min<std::size_t>(bytes, std::numeric_limits<uInt>::max());
        stream_.next_in = const_cast<unsigned char*>(next);
        stream_.avail_in = static_cast<uInt>(chunk);
        if (!pump(Z_NO_FLUSH)) return false;
        next += chunk;
        bytes -= chunk;
    }
    return file_.ok();
}

bool GzipStream::finish() {
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    return pump(Z_FINISH);
}

bool GzipStream::pump(int flush) {
    if (!started_ || !file_.ok()) return false;
    for (;;) {
        stream_.next_out = out_.data();
        stream_.avail_out = static_cast<uInt>(out_.size());
        const int status = deflate(&stream_, flush);
        if (status == Z_STREAM_ERROR) {
            file_.fail("gzip compression failed");
            return false;
        }
        if (!file_.write(out_.data(), out_.size() - stream_.avail_out)) return false;
        if (flush == Z_FINISH ? status == Z_STREAM_END : stream_.avail_in == 0 && stream_.avail_out != 0) break;
    }
    return true;
}

}  // namespace kubelmar
