#include "formats/material_stack_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "formats/png_io.h"
#include "formats/png_stack_writer.h"
#include "io/checked_file.h"

namespace kubelmar {

std::vector<std::string> materialStackFileNames(const VolumeInfo& info) {
    std::vector<std::string> names;
    for (const PrintMaterial& material : info.palette.materials)
        for (int s = 0; s < sliceShape(info).count; ++s)
            names.push_back(std::string(kMaterialsFolder) + "/" + material.name + "/" + sliceName(s));
    return names;
}

std::string MaterialStackWriter::folderOf(std::size_t material) const {
    return directory_ + "/" + std::string(kMaterialsFolder) + "/" + info_.palette.materials[material].name;
}

WriteResult MaterialStackWriter::begin(const VolumeInfo& info) {
    info_ = info;
    shape_ = sliceShape(info);
    written_ = 0;
    const std::string top = directory_ + "/" + std::string(kMaterialsFolder);
    if (info.encoding != SliceEncoding::Material || info.palette.empty())
        return writeFailure(top, "the materials format needs a palette (--palette)");
    if (mkdir(top.c_str(), 0777) != 0 && errno != EEXIST) return writeFailure(top, std::strerror(errno));
    words_.clear();
    for (std::size_t m = 0; m < info.palette.materials.size(); ++m) {
        const std::string folder = folderOf(m);
        if (mkdir(folder.c_str(), 0777) != 0) return writeFailure(folder, std::strerror(errno));
        const std::array<std::uint8_t, 4> pixel = materialPixel(info.palette.materials[m]);
        std::uint32_t word;
        std::memcpy(&word, pixel.data(), 4);
        words_.push_back(word);
    }
    const std::size_t stride = (static_cast<std::size_t>(shape_.width) + 7) / 8;
    bits_.assign(words_.size(), std::vector<std::uint8_t>(stride * static_cast<std::size_t>(shape_.height)));
    return {};
}

WriteResult MaterialStackWriter::slice(int s, const std::uint8_t* rgba) {
    const std::size_t stride = (static_cast<std::size_t>(shape_.width) + 7) / 8;
    for (auto& bits : bits_) std::fill(bits.begin(), bits.end(), 0);
    for (int r = 0; r < shape_.height; ++r) {
        for (int c = 0; c < shape_.width; ++c) {
            std::uint32_t word;
            std::memcpy(&word, rgba + 4 * (static_cast<std::size_t>(r) * shape_.width + c), 4);
            if (word == 0) continue;
            for (std::size_t m = 0; m < words_.size(); ++m) {
                if (words_[m] != word) continue;
                bits_[m][static_cast<std::size_t>(r) * stride + c / 8] |= static_cast<std::uint8_t>(0x80 >> (c % 8));
                break;
            }
        }
    }
    for (std::size_t m = 0; m < words_.size(); ++m) {
        CheckedFile file;
        file.open(folderOf(m) + "/" + sliceName(s));
        const IoResult written = writePngBits(file, shape_.width, shape_.height, bits_[m].data());
        if (!written.ok) {
            WriteResult failed = writeFailure(written.path, written.reason);
            failed.filesWritten = written_;
            return failed;
        }
        ++written_;
    }
    return {};
}

WriteResult MaterialStackWriter::end() {
    WriteResult result;
    result.filesWritten = written_;
    return result;
}

}  // namespace kubelmar
