#include "gl/gl_ext_loader.h"

#include <cstring>
#include <iostream>

namespace kubelmar {

namespace {
constexpr const char* kWhere = " [load_GLextension(), GL_Ext_Loader]";
}

bool extensionListContains(const char* list, const char* name) {
    const std::size_t nameLength = std::strlen(name);
    const char* p = list;
    while (*p != '\0') {
        const char* end = std::strchr(p, ' ');
        const std::size_t length = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (length == nameLength && std::strncmp(p, name, length) == 0) return true;
        if (!end) break;
        p = end + 1;
    }
    return false;
}

std::ostream& GL_Ext_Loader::stream() const { return out ? *out : std::cout; }

int GL_Ext_Loader::check_GLextension(const char* name) {
    const char* list = extensionList ? extensionList()
                                     : reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    std::ostream& os = stream();
    if (name == nullptr || list == nullptr) {
        os << "ERROR: No extensionName or extensionList... [check_GLextension(), GL_Ext_Loader]"
           << std::endl;
        return 0;
    }
    if (extensionListContains(list, name)) {
        os << "EXT: Using: " << name << std::endl;
        return 1;
    }
    os << "ERROR: Extension not supported: " << name << std::endl;
    return 0;
}

void GL_Ext_Loader::reportMissing(std::ostream& os, const char* name) {
    if (firstMissing_.empty()) firstMissing_ = name;
    os << "ERROR: " << name << " extension not available..." << kWhere << std::endl;
}

bool GL_Ext_Loader::load_GLextension(const GLProcResolver& resolve) {
    std::ostream& os = stream();
    firstMissing_.clear();
    bool procMissing = false;  // accumulates over the whole call
    auto reportProcs = [&] {
        if (procMissing) os << "ERROR: from GETGLPROC..." << kWhere << std::endl;
    };
#define KUBELMAR_FETCH(name, type)                                 \
    name = reinterpret_cast<type>(resolve(#name));                 \
    if (name == nullptr) procMissing = true;

    if (!check_GLextension("GL_ARB_depth_texture")) {
        reportMissing(os, "GL_ARB_depth_texture");
        return false;
    }
    if (!check_GLextension("GL_ARB_shadow")) {
        reportMissing(os, "GL_ARB_shadow");
        return false;
    }

    if (check_GLextension("GL_ARB_vertex_buffer_object") &&
        check_GLextension("GL_ARB_pixel_buffer_object")) {
        vertexBufferObjectSupported = 1;
        pixelBufferObjectSupported = 1;
        KUBELMAR_GL_BUFFER_PROCS(KUBELMAR_FETCH)
        reportProcs();
    } else {
        reportMissing(os, "GL_ARB_vertex_buffer_object");
        reportMissing(os, "GL_ARB_pixel_buffer_object");
        return false;
    }

    if (check_GLextension("GL_EXT_framebuffer_object")) {
        framebufferObjectSupported = 1;
        KUBELMAR_GL_FRAMEBUFFER_PROCS(KUBELMAR_FETCH)
        reportProcs();
    } else {
        reportMissing(os, "GL_EXT_framebuffer_object");
        return false;
    }

    if (check_GLextension("GL_ARB_shader_objects") && check_GLextension("GL_ARB_fragment_shader") &&
        check_GLextension("GL_ARB_vertex_shader") &&
        check_GLextension("GL_ARB_shading_language_100")) {
        shaderObjectsSupported = 1;
        KUBELMAR_GL_SHADER_PROCS(KUBELMAR_FETCH)
        KUBELMAR_GL_VERTEX_ATTRIB_PROCS(KUBELMAR_FETCH)
        reportProcs();
    } else {
        reportMissing(os, "GL_ARB_shading_language_100");
        return false;
    }

    if (check_GLextension("GL_ARB_multitexture")) {
        multitextureSupported = 1;
        GLint units = 0;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        KUBELMAR_GL_MULTITEXTURE_PROCS(KUBELMAR_FETCH)
        os << "Support for " << units << " Texture Mapping Units" << std::endl;
        reportProcs();
    } else {
        reportMissing(os, "GL_ARB_MULTITEXTURE");
        return false;
    }
    // Optional: looked up quietly, so the report is the same with or without.
#define KUBELMAR_FETCH_OPTIONAL(name, type) name = reinterpret_cast<type>(resolve(#name));
    KUBELMAR_GL_INTEGER_TARGET_PROCS(KUBELMAR_FETCH_OPTIONAL)
    KUBELMAR_GL_STORAGE_BUFFER_PROCS(KUBELMAR_FETCH_OPTIONAL)
    KUBELMAR_GL_LAYERED_PROCS(KUBELMAR_FETCH_OPTIONAL)
#undef KUBELMAR_FETCH_OPTIONAL
#undef KUBELMAR_FETCH
    return true;
}

}  // namespace kubelmar
