#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "gl/gl_headers.h"

namespace kubelmar {

// Entry-point lists: X(name, typedef). Order is fetch order.
#define KUBELMAR_GL_BUFFER_PROCS(X)                                   \
    X(glGenBuffersARB, PFNGLGENBUFFERSARBPROC)                        \
    X(glBindBufferARB, PFNGLBINDBUFFERARBPROC)                        \
    X(glBufferDataARB, PFNGLBUFFERDATAARBPROC)                        \
    X(glDeleteBuffersARB, PFNGLDELETEBUFFERSARBPROC)                  \
    X(glBufferSubDataARB, PFNGLBUFFERSUBDATAARBPROC)                  \
    X(glGetBufferParameterivARB, PFNGLGETBUFFERPARAMETERIVARBPROC)    \
    X(glMapBufferARB, PFNGLMAPBUFFERARBPROC)                          \
    X(glUnmapBufferARB, PFNGLUNMAPBUFFERARBPROC)

#define KUBELMAR_GL_FRAMEBUFFER_PROCS(X)                                            \
    X(glIsRenderbufferEXT, PFNGLISRENDERBUFFEREXTPROC)                              \
    X(glBindRenderbufferEXT, PFNGLBINDRENDERBUFFEREXTPROC)                          \
    X(glDeleteRenderbuffersEXT, PFNGLDELETERENDERBUFFERSEXTPROC)                    \
    X(glGenRenderbuffersEXT, PFNGLGENRENDERBUFFERSEXTPROC)                          \
    X(glRenderbufferStorageEXT, PFNGLRENDERBUFFERSTORAGEEXTPROC)                    \
    X(glGetRenderbufferParameterivEXT, PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC)      \
    X(glIsFramebufferEXT, PFNGLISFRAMEBUFFEREXTPROC)                                \
    X(glBindFramebufferEXT, PFNGLBINDFRAMEBUFFEREXTPROC)                            \
    X(glDeleteFramebuffersEXT, PFNGLDELETEFRAMEBUFFERSEXTPROC)                      \
    X(glGenFramebuffersEXT, PFNGLGENFRAMEBUFFERSEXTPROC)                            \
    X(glCheckFramebufferStatusEXT, PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC)              \
    X(glFramebufferTexture1DEXT, PFNGLFRAMEBUFFERTEXTURE1DEXTPROC)                  \
    X(glFramebufferTexture2DEXT, PFNGLFRAMEBUFFERTEXTURE2DEXTPROC)                  \
    X(glFramebufferTexture3DEXT, PFNGLFRAMEBUFFERTEXTURE3DEXTPROC)                  \
    X(glFramebufferRenderbufferEXT, PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC)            \
    X(glGetFramebufferAttachmentParameterivEXT, PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC) \
    X(glGenerateMipmapEXT, PFNGLGENERATEMIPMAPEXTPROC)

#define KUBELMAR_GL_SHADER_PROCS(X)                                   \
    X(glCreateProgramObjectARB, PFNGLCREATEPROGRAMOBJECTARBPROC)      \
    X(glCreateShaderObjectARB, PFNGLCREATESHADEROBJECTARBPROC)        \
    X(glDeleteObjectARB, PFNGLDELETEOBJECTARBPROC)                    \
    X(glDetachObjectARB, PFNGLDETACHOBJECTARBPROC)                    \
    X(glAttachObjectARB, PFNGLATTACHOBJECTARBPROC)                    \
    X(glShaderSourceARB, PFNGLSHADERSOURCEARBPROC)                    \
    X(glCompileShaderARB, PFNGLCOMPILESHADERARBPROC)                  \
    X(glLinkProgramARB, PFNGLLINKPROGRAMARBPROC)                      \
    X(glGetInfoLogARB, PFNGLGETINFOLOGARBPROC)                        \
    X(glUseProgramObjectARB, PFNGLUSEPROGRAMOBJECTARBPROC)            \
    X(glGetObjectParameterivARB, PFNGLGETOBJECTPARAMETERIVARBPROC)    \
    X(glGetObjectParameterfvARB, PFNGLGETOBJECTPARAMETERFVARBPROC)    \
    X(glGetUniformLocationARB, PFNGLGETUNIFORMLOCATIONARBPROC)        \
    X(glBindAttribLocationARB, PFNGLBINDATTRIBLOCATIONARBPROC)        \
    X(glGetAttribLocationARB, PFNGLGETATTRIBLOCATIONARBPROC)          \
    X(glUniform1fARB, PFNGLUNIFORM1FARBPROC)                          \
    X(glUniform2fARB, PFNGLUNIFORM2FARBPROC)                          \
    X(glUniform3fARB, PFNGLUNIFORM3FARBPROC)                          \
    X(glUniform4fARB, PFNGLUNIFORM4FARBPROC)                          \
    X(glUniform1iARB, PFNGLUNIFORM1IARBPROC)                          \
    X(glUniform2iARB, PFNGLUNIFORM2IARBPROC)                          \
    X(glUniform3iARB, PFNGLUNIFORM3IARBPROC)                          \
    X(glUniform4iARB, PFNGLUNIFORM4IARBPROC)                          \
    X(glUniform1fvARB, PFNGLUNIFORM1FVARBPROC)                        \
    X(glUniform2fvARB, PFNGLUNIFORM2FVARBPROC)                        \
    X(glUniform3fvARB, PFNGLUNIFORM3FVARBPROC)                        \
    X(glUniform4fvARB, PFNGLUNIFORM4FVARBPROC)                        \
    X(glUniform1ivARB, PFNGLUNIFORM1IVARBPROC)                        \
    X(glUniform2ivARB, PFNGLUNIFORM2IVARBPROC)                        \
    X(glUniform3ivARB, PFNGLUNIFORM3IVARBPROC)                        \
    X(glUniform4ivARB, PFNGLUNIFORM4IVARBPROC)

#define KUBELMAR_GL_VERTEX_ATTRIB_PROCS(X)                              \
    X(glVertexAttrib4fvARB, PFNGLVERTEXATTRIB4FVARBPROC)                \
    X(glVertexAttrib3fvARB, PFNGLVERTEXATTRIB3FVARBPROC)                \
    X(glVertexAttrib2fvARB, PFNGLVERTEXATTRIB2FVARBPROC)                \
    X(glVertexAttrib1fvARB, PFNGLVERTEXATTRIB1FVARBPROC)                \
    X(glVertexAttrib4fARB, PFNGLVERTEXATTRIB4FARBPROC)                  \
    X(glVertexAttrib3fARB, PFNGLVERTEXATTRIB3FARBPROC)                  \
    X(glVertexAttrib2fARB, PFNGLVERTEXATTRIB2FARBPROC)                  \
    X(glVertexAttrib1fARB, PFNGLVERTEXATTRIB1FARBPROC)                  \
    X(glVertexAttribPointerARB, PFNGLVERTEXATTRIBPOINTERARBPROC)        \
    X(glEnableVertexAttribArrayARB, PFNGLENABLEVERTEXATTRIBARRAYARBPROC)\
    X(glDisableVertexAttribArrayARB, PFNGLDISABLEVERTEXATTRIBARRAYARBPROC)

#define KUBELMAR_GL_MULTITEXTURE_PROCS(X)                             \
    X(glActiveTexture, PFNGLACTIVETEXTUREPROC)                        \
    X(glClientActiveTextureARB, PFNGLCLIENTACTIVETEXTUREARBPROC)      \
    X(glMultiTexCoord2fARB, PFNGLMULTITEXCOORD2FARBPROC)

// GL 3.0 entry points the parity mode needs for its integer render target;
// fetched when present, never required (that mode checks them itself).
#define KUBELMAR_GL_INTEGER_TARGET_PROCS(X)                           \
    X(glClearBufferuiv, PFNGLCLEARBUFFERUIVPROC)                      \
    X(glBindFragDataLocation, PFNGLBINDFRAGDATALOCATIONPROC)

// GL 4.3 entry points for counts a fragment adds into a shader storage
// buffer (the parity mode's nonzero rule); fetched when present, never
// required.
#define KUBELMAR_GL_STORAGE_BUFFER_PROCS(X)                           \
    X(glBindBufferBase, PFNGLBINDBUFFERBASEPROC)                      \
    X(glClearBufferSubData, PFNGLCLEARBUFFERSUBDATAPROC)              \
    X(glMapBufferRange, PFNGLMAPBUFFERRANGEPROC)                      \
    X(glMemoryBarrier, PFNGLMEMORYBARRIERPROC)

// GL 1.2 / 3.2 / 4.4 entry points for a layered render target (a 2D texture
// array drawn through by a geometry shader, cleared and read a layer at a
// time); fetched when
// present, never required (the clipping mode draws slab by slab without).
#define KUBELMAR_GL_LAYERED_PROCS(X)                                  \
    X(glTexImage3D, PFNGLTEXIMAGE3DPROC)                              \
    X(glFramebufferTexture, PFNGLFRAMEBUFFERTEXTUREPROC)              \
    X(glFramebufferTextureLayer, PFNGLFRAMEBUFFERTEXTURELAYERPROC)    \
    X(glClearTexSubImage, PFNGLCLEARTEXSUBIMAGEPROC)

// The GL entry points beyond 1.1 that the voxelization needs, looked up by
// name in the current context. Every line of the report goes to `out`.
class GL_Ext_Loader {
public:
    GL_Ext_Loader() = default;

    // The extension list to search; defaults to glGetString(GL_EXTENSIONS).
    // Tests hand in made-up lists.
    std::function<const char*()> extensionList;
    std::ostream* out = nullptr;  // defaults to std::cout

    int check_GLextension(const char* name);

    // Checks the ten required extensions group by group and fetches their
    // entry points. Returns false (after printing the group's message) when
    // an extension is missing: the front end then waits for a key on a
    // terminal and exits with status 1. Null entry points are reported with
    // the GETGLPROC line and loading goes on.
    bool load_GLextension(const GLProcResolver& resolve);
    // The first required extension load_GLextension found missing; empty
    // when none was.
    const std::string& firstMissing() const { return firstMissing_; }

    int shaderObjectsSupported = 0;
#define KUBELMAR_DECLARE(name, type) type name = nullptr;
    KUBELMAR_GL_SHADER_PROCS(KUBELMAR_DECLARE)
    KUBELMAR_GL_VERTEX_ATTRIB_PROCS(KUBELMAR_DECLARE)
    int framebufferObjectSupported = 0;
    KUBELMAR_GL_FRAMEBUFFER_PROCS(KUBELMAR_DECLARE)
    int vertexBufferObjectSupported = 0;
    KUBELMAR_GL_BUFFER_PROCS(KUBELMAR_DECLARE)
    int pixelBufferObjectSupported = 0;
    int multitextureSupported = 0;
    KUBELMAR_GL_MULTITEXTURE_PROCS(KUBELMAR_DECLARE)
    KUBELMAR_GL_INTEGER_TARGET_PROCS(KUBELMAR_DECLARE)  // null where the GL lacks them
    KUBELMAR_GL_STORAGE_BUFFER_PROCS(KUBELMAR_DECLARE)  // null where the GL lacks them
    KUBELMAR_GL_LAYERED_PROCS(KUBELMAR_DECLARE)         // null where the GL lacks them
#undef KUBELMAR_DECLARE

private:
    std::ostream& stream() const;
    void reportMissing(std::ostream& os, const char* name);
    std::string firstMissing_;
};

// True when `name` is a whole blank-separated token of `list`.
bool extensionListContains(const char* list, const char* name);

}  // namespace kubelmar
