#include "gl/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace kubelmar {

namespace {

void* eglLookup(const char* name, void*) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

bool hasToken(const char* list, const char* name) {
    if (!list) return false;
    const std::size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        const bool startOk = p == list || p[-1] == ' ';
        const bool endOk = p[n] == '\0' || p[n] == ' ';
        if (startOk && endOk) return true;
    }
    return false;
}

// Candidate displays, best first: each EGL device backed by hardware (a GPU
// driver's headless path), then Mesa's surfaceless platform (no window
// system at all; the software rasteriser where there is no GPU), then
// software devices, then the default display.
std::vector<EGLDisplay> candidateDisplays() {
    std::vector<EGLDisplay> hardware, software;
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    auto queryDevices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    auto queryDeviceString =
        reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
    if (getPlatformDisplay && queryDevices && hasToken(clientExtensions, "EGL_EXT_platform_device")) {
        EGLDeviceEXT devices[16];
        EGLint count = 0;
        if (queryDevices(16, devices, &count)) {
            for (EGLint i = 0; i < count; ++i) {
                EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
                if (d == EGL_NO_DISPLAY) continue;
                const char* deviceExtensions =
                    queryDeviceString ? queryDeviceString(devices[i], EGL_EXTENSIONS) : nullptr;
                (hasToken(deviceExtensions, "EGL_MESA_device_software") ? software : hardware).push_back(d);
            }
        }
    }
    std::vector<EGLDisplay> displays = hardware;
    if (getPlatformDisplay && hasToken(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d != EGL_NO_DISPLAY) displays.push_back(d);
    }
    displays.insert(displays.end(), software.begin(), software.end());
    EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (d != EGL_NO_DISPLAY) displays.push_back(d);
    return displays;
}

EGLContext createContext(EGLDisplay display) {
    if (!eglBindAPI(EGL_OPENGL_API)) return EGL_NO_CONTEXT;
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (!hasToken(extensions, "EGL_KHR_surfaceless_context")) return EGL_NO_CONTEXT;
    EGLConfig config = nullptr;
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count == 0) {
        if (!hasToken(extensions, "EGL_KHR_no_config_context")) return EGL_NO_CONTEXT;
        config = nullptr;  // EGL_NO_CONFIG_KHR
    }
    const EGLint contextAttributes[] = {
        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    return eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
}

// eglInitialize hands every caller of a platform and device the same
// display, and eglTerminate ends it for all of them: a process with two
// contexts on one display (two voxelizers in a Python session, one made and
// dropped beside another) must terminate the display only with its last
// context. Counts the contexts alive per display.
std::mutex displayUsersMutex;
std::map<EGLDisplay, int>& displayUsers() {
    static std::map<EGLDisplay, int> users;
    return users;
}

// Terminates `display` unless a context still uses it. Call with the mutex held.
void terminateUnused(EGLDisplay display) {
    auto& users = displayUsers();
    const auto found = users.find(display);
    if (found != users.end() && found->second > 0) return;
    if (found != users.end()) users.erase(found);
    eglTerminate(display);
}

}  // namespace

std::unique_ptr<HeadlessGLContext> HeadlessGLContext::create(std::string* error) {
    std::string reason = "no EGL display";
    const std::lock_guard<std::mutex> lock(displayUsersMutex);
    for (EGLDisplay display : candidateDisplays()) {
        EGLint major = 0, minor = 0;
        if (!eglInitialize(display, &major, &minor)) {
            reason = "eglInitialize failed";
            continue;
        }
        EGLContext context = createContext(display);
        if (context == EGL_NO_CONTEXT) {
            reason = "no desktop OpenGL compatibility context";
            terminateUnused(display);
            continue;
        }
        if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
            reason = "eglMakeCurrent failed";
            eglDestroyContext(display, context);
            terminateUnused(display);
            continue;
        }
        ++displayUsers()[display];
        std::unique_ptr<HeadlessGLContext> result(new HeadlessGLContext);
        result->display_ = display;
        result->context_ = context;
        return result;
    }
    if (error) *error = reason;
    return nullptr;
}

HeadlessGLContext::~HeadlessGLContext() {
    if (!display_) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    const std::lock_guard<std::mutex> lock(displayUsersMutex);
    --displayUsers()[display_];
    terminateUnused(display_);
}

bool HeadlessGLContext::makeCurrent() {
    return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
}

bool HeadlessGLContext::doneCurrent() {
    return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
}

GLProcResolver HeadlessGLContext::resolver() const { return GLProcResolver{&eglLookup, nullptr}; }

std::string HeadlessGLContext::description() const {
    auto text = [](GLenum name) {
        const GLubyte* s = glGetString(name);
        return s ? std::string(reinterpret_cast<const char*>(s)) : std::string("?");
    };
    return text(GL_RENDERER) + ", OpenGL " + text(GL_VERSION);
}

}  // namespace kubelmar
