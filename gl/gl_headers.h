#pragma once

// The system's GL 1.1 header plus the extension prototypes' typedefs. Entry
// points beyond GL 1.1 are never called through the linked library: they are
// looked up by name (GL_Ext_Loader).
#define GL_GLEXT_PROTOTYPES 0
#include <GL/gl.h>
#include <GL/glext.h>

namespace kubelmar {

// Looks an entry point up by name in the current context (eglGetProcAddress,
// glXGetProcAddress or QOpenGLContext::getProcAddress).
using GLProcLookup = void* (*)(const char* name, void* user);

struct GLProcResolver {
    GLProcLookup lookup = nullptr;
    void* user = nullptr;
    void* operator()(const char* name) const { return lookup ? lookup(name, user) : nullptr; }
};

}  // namespace kubelmar
