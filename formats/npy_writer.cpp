#include "formats/npy_writer.h"

#include "io/checked_file.h"

namespace kubelmar {

std::string npyHeader(const std::vector<int>& shape) {
    std::string dict = "{'descr': '|u1', 'fortran_order': False, 'shape': (";
    for (int n : shape) dict += std::to_string(n) + ", ";
    dict += "), }";
    // Magic (6) + version (2) + length (2) + dictionary + padding + '\n'
    // is a multiple of 64, so the data starts aligned.
    const std::size_t unpadded = 10 + dict.size() + 1;
    dict.append((64 - unpadded % 64) % 64, ' ');
    dict += '\n';
    std::string header("\x93NUMPY\x01\x00", 8);
    header += static_cast<char>(dict.size() & 0xFF);
    header += static_cast<char>(dict.size() >> 8);
    return header + dict;
}

WriteResult NpyWriter::write(const GridVolume& volume) {
    const GridBox& box = volume.box();
    const bool colour = volume.hasColour();
    std::vector<int> shape = {box.dims[2], box.dims[1], box.dims[0]};
    if (colour) shape.push_back(4);
    CheckedFile file;
    file.open(path_);
    file.write(npyHeader(shape));
    forEachDenseRow(
        volume, colour, [&] { return file.ok(); },
        [&](const std::uint8_t* row, std::size_t size) { file.write(row, size); });
    if (const IoResult written = file.finish(); !written.ok) return writeFailure(written.path, written.reason);
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
