#pragma once

#include <string>

#include "base/diagnostic.h"
#include "mesh/load_limits.h"

namespace kubelmar {

// The folder a mesh's references must stay in, and the rule that says
// whether one may be opened. Paths are compared after resolving links and
// "..", so a link inside the root that leads out is outside.
class ReferenceRoot {
public:
    // The root for the mesh at `meshPath`: limits.referenceRoot, or the
    // mesh's folder when that is empty.
    ReferenceRoot(const std::string& meshPath, const LoadLimits& limits);

    // Empty when the file at `path` may be opened for a reference written
    // as `written` in the mesh; else why not, ending in the option that
    // would allow it where there is one. `path` is what the reader would
    // open (the written name joined to its folder).
    std::string refusal(const std::string& written, const std::string& path) const;

    // `path` resolved (links, "..", "."), which is what should then be
    // opened so that the file checked is the file read.
    static std::string resolved(const std::string& path);

    // The one warning for a refused reference: "<what> '<written>' <reason>".
    static Diagnostic refusedWarning(const std::string& file, int line, const std::string& what,
                                     const std::string& written, const std::string& reason);

    const std::string& folder() const { return folder_; }

private:
    std::string folder_;  // resolved, without a trailing '/'
    bool anyReference_ = false;
};

// True when `written` starts with a URI scheme ("file:", "http:", "data:").
bool hasUriScheme(const std::string& written);

}  // namespace kubelmar
