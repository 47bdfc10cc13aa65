#include "formats/vdb_writer.h"

// Built in place of vdb_writer.cpp when OpenVDB was not found: the writer
// only fails.
namespace kubelmar {

WriteResult VdbWriter::write(const GridVolume&) {
    return writeFailure(path_, "this build has no OpenVDB support");
}

}  // namespace kubelmar
