#pragma once

#include "gl/gl_ext_loader.h"

namespace kubelmar {

// The framebuffer a target displaces while it is bound. A toolkit's default
// framebuffer need not be 0, so a target never unbinds to 0: it rebinds
// whatever was bound when it took over.
class FramebufferBinding {
public:
    // Binds `framebuffer` (GL_FRAMEBUFFER_EXT), remembering the one bound
    // before. Context current.
    void bind(GL_Ext_Loader& loader, GLuint framebuffer);
    // Rebinds the framebuffer that was bound before bind().
    void restore(GL_Ext_Loader& loader);

private:
    GLint previous_ = 0;
};

}  // namespace kubelmar
