#include "gl/shader_program.h"

#include <vector>

namespace kubelmar {

namespace {

// The first line of an object's info log, or `fallback` when it is empty.
std::string firstLogLine(GL_Ext_Loader& loader, GLhandleARB object, const char* fallback) {
    GLint length = 0;
    loader.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    std::string text;
    if (length > 1) {
        std::vector<GLcharARB> log(static_cast<std::size_t>(length));
        loader.glGetInfoLogARB(object, length, nullptr, log.data());
        text.assign(log.data());
    }
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) text.resize(end);
    return text.empty() ? fallback : text;
}

GLhandleARB compile(GL_Ext_Loader& loader, GLenum type, const char* source, std::string* error) {
    GLhandleARB shader = loader.glCreateShaderObjectARB(type);
    if (!shader) {
        // A stage this GL doesn't know (a geometry shader before GL 3.2).
        while (glGetError() != GL_NO_ERROR) {
        }
        if (error) *error = "the GL has no shader stage " + std::to_string(type);
        return 0;
    }
    loader.glShaderSourceARB(shader, 1, &source, nullptr);
    loader.glCompileShaderARB(shader);
    GLint ok = 0;
    loader.glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    if (ok) return shader;
    if (error) *error = firstLogLine(loader, shader, "the shader did not compile");
    loader.glDeleteObjectARB(shader);
    return 0;
}

}  // namespace

bool ShaderProgram::build(GL_Ext_Loader& loader, const char* vertexSource, const char* geometrySource,
                          const char* fragmentSource, const char* fragmentOutput, std::string* error) {
    release();
    if (!loader.shaderObjectsSupported || !loader.glCreateProgramObjectARB) {
        if (error) *error = "no shader objects (GL_ARB_shader_objects)";
        return false;
    }
    loader_ = &loader;
    struct Stage {
        GLenum type;
        const char* source;
    };
    const Stage stages[3] = {{GL_VERTEX_SHADER_ARB, vertexSource},
                             {GL_GEOMETRY_SHADER, geometrySource},
                             {GL_FRAGMENT_SHADER_ARB, fragmentSource}};
    GLhandleARB shaders[3] = {0, 0, 0};
    bool compiled = true;
    for (int i = 0; i < 3 && compiled; ++i) {
        if (!stages[i].source) continue;
        shaders[i] = compile(loader, stages[i].type, stages[i].source, error);
        compiled = shaders[i] != 0;
    }
    if (compiled) {
        program_ = loader.glCreateProgramObjectARB();
        for (GLhandleARB shader : shaders)
            if (shader) loader.glAttachObjectARB(program_, shader);
        if (fragmentOutput && loader.glBindFragDataLocation)
            loader.glBindFragDataLocation(program_, 0, fragmentOutput);
        loader.glLinkProgramARB(program_);
    }
    // The shaders live on inside the program until it is deleted.
    for (GLhandleARB shader : shaders)
        if (shader) loader.glDeleteObjectARB(shader);
    if (!compiled) return false;
    GLint ok = 0;
    loader.glGetObjectParameterivARB(program_, GL_OBJECT_LINK_STATUS_ARB, &ok);
    if (!ok) {
        if (error) *error = firstLogLine(loader, program_, "the program did not link");
        release();
        return false;
    }
    return true;
}

void ShaderProgram::release() {
    if (loader_ && program_) loader_->glDeleteObjectARB(program_);
    program_ = 0;
}

void ShaderProgram::use() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous_);
    loader_->glUseProgramObjectARB(program_);
}

void ShaderProgram::done() {
    loader_->glUseProgramObjectARB(static_cast<GLhandleARB>(previous_));
    previous_ = 0;
}

GLint ShaderProgram::uniform(const char* name) const {
    return loader_->glGetUniformLocationARB(program_, name);
}

}  // namespace kubelmar
