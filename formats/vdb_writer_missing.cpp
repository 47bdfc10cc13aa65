#include "formats/vdb_writer.h"

// Built in place of vdb_writer.cpp when OpenVDB was not found.
namespace kubelmar {

bool vdbAvailable() { return false; }

WriteResult VdbWriter::write(const GridVolume&) {
    return writeFailure(path_, "this build has no OpenVDB support");
}

}  // namespace kubelmar
