#pragma once

#include <string>

#include "gl/gl_ext_loader.h"

namespace kubelmar {

// A linked vertex (+ geometry) + fragment program made through the ARB
// shader-object entry points. Owns the program object; release() with its context current.
class ShaderProgram {
public:
    ShaderProgram() = default;
    ~ShaderProgram() { release(); }
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    // Compiles and links the two sources; context current. fragmentOutput,
    // when given, is bound to colour number 0 before linking (needs
    // glBindFragDataLocation). False with the first line of the compiler's
    // or linker's log in *error.
    bool build(GL_Ext_Loader& loader, const char* vertexSource, const char* fragmentSource,
               const char* fragmentOutput, std::string* error) {
        return build(loader, vertexSource, nullptr, fragmentSource, fragmentOutput, error);
    }
    // The same with a geometry shader between the two (none when null). A
    // null fragment source leaves fragments to the fixed-function stage
    // (compatibility profiles).
    bool build(GL_Ext_Loader& loader, const char* vertexSource, const char* geometrySource,
               const char* fragmentSource, const char* fragmentOutput, std::string* error);
    void release();
    // Forgets the GL name without a GL call (its context is gone).
    void abandon() { program_ = 0; loader_ = nullptr; }
    bool built() const { return program_ != 0; }

    // Makes the program current, remembering the one current before.
    void use();
    // Makes the previous program current again.
    void done();
    // Location of a uniform of the program, -1 when it has none of the name.
    GLint uniform(const char* name) const;

private:
    GL_Ext_Loader* loader_ = nullptr;
    GLhandleARB program_ = 0;
    GLint previous_ = 0;
};

}  // namespace kubelmar
