#include "gl/framebuffer_binding.h"

namespace kubelmar {

void FramebufferBinding::bind(GL_Ext_Loader& loader, GLuint framebuffer) {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous_);
    loader.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
}

void FramebufferBinding::restore(GL_Ext_Loader& loader) {
    loader.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous_));
    previous_ = 0;
}

}  // namespace kubelmar
