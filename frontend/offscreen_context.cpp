#include <GL/glew.h>

#include "offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>

#if defined(__SANITIZE_ADDRESS__)
// Mesa's driver is loaded with dlopen and keeps dynamic thread-local blocks;
// the leak checker's record of those blocks in this runtime can hold a stale
// entry, and its stop-the-world thread then faults at exit ("Tracer caught
// signal 11"). Static TLS and every heap root are still scanned.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
#endif

namespace Pudlet {

namespace {

struct EglExtensions {
    PFNEGLGETPLATFORMDISPLAYEXTPROC getPlatformDisplay = nullptr;
    PFNEGLQUERYDEVICESEXTPROC queryDevices = nullptr;
    PFNEGLQUERYDEVICESTRINGEXTPROC queryDeviceString = nullptr;

    EglExtensions()
    {
        const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        if (!client)
            return;
        if (std::strstr(client, "EGL_EXT_platform_base"))
            getPlatformDisplay =
                reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (std::strstr(client, "EGL_EXT_device_enumeration") || std::strstr(client, "EGL_EXT_device_base")) {
            queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
            queryDeviceString =
                reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
        }
    }
};

// A compatibility-profile context on an initialised display, or EGL_NO_CONTEXT.
EGLContext createCompatibilityContext(EGLDisplay display)
{
    if (!eglBindAPI(EGL_OPENGL_API))
        return EGL_NO_CONTEXT;
    // No window or pbuffer is ever made, but a config must still be chosen;
    // drivers differ in which surface types their configs advertise.
    const EGLint surfaceTypes[] = {EGL_PBUFFER_BIT, 0};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    for (EGLint surfaceType : surfaceTypes) {
        const EGLint attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, surfaceType, EGL_NONE};
        if (eglChooseConfig(display, attributes, &config, 1, &configs) && configs > 0)
            break;
    }
    if (configs < 1)
        return EGL_NO_CONTEXT;
    const EGLint compatibility[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1,
                                    EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, compatibility);
    if (context == EGL_NO_CONTEXT) {
        const EGLint plain[] = {EGL_NONE};
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, plain);
    }
    return context;
}

bool initializeAndCreate(EGLDisplay display, EGLContext* context)
{
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        return false;
    *context = createCompatibilityContext(display);
    if (*context == EGL_NO_CONTEXT)
        return false;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, *context)) {
        eglDestroyContext(display, *context);
        *context = EGL_NO_CONTEXT;
        return false;
    }
    return true;
}

// A GPU through the EGL device platform, skipping software devices, which
// Mesa's surfaceless platform covers as the fallback.
bool createOnHardwareDevice(const EglExtensions& egl, EGLDisplay* display, EGLContext* context)
{
    if (!egl.getPlatformDisplay || !egl.queryDevices || !egl.queryDeviceString)
        return false;
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!egl.queryDevices(16, devices, &count))
        return false;
    for (EGLint i = 0; i < count; ++i) {
        const char* extensions = egl.queryDeviceString(devices[i], EGL_EXTENSIONS);
        if (extensions && std::strstr(extensions, "EGL_MESA_device_software"))
            continue;
        *display = egl.getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
        if (initializeAndCreate(*display, context))
            return true;
    }
    return false;
}

bool createSurfaceless(const EglExtensions& egl, EGLDisplay* display, EGLContext* context)
{
    if (!egl.getPlatformDisplay)
        return false;
    *display = egl.getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    return initializeAndCreate(*display, context);
}

bool loadFramebufferEntryPoints()
{
    // GLEW built for GLX reports the missing GLX display after loading every
    // core entry point; whether the pointers are there decides.
    const GLenum status = glewInit();
    if (status != GLEW_OK && status != GLEW_ERROR_NO_GLX_DISPLAY)
        return false;
    return glGenFramebuffers && glBindFramebuffer && glFramebufferRenderbuffer && glCheckFramebufferStatus
           && glDeleteFramebuffers && glGenRenderbuffers && glBindRenderbuffer && glRenderbufferStorage
           && glDeleteRenderbuffers;
}

void setError(std::string* error, const char* text)
{
    if (error)
        *error = text;
}

} // namespace

std::unique_ptr<OffscreenContext> OffscreenContext::create(int width, int height, std::string* error,
                                                           bool logRenderer)
{
    const EglExtensions egl;
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    if (!createOnHardwareDevice(egl, &display, &context) && !createSurfaceless(egl, &display, &context)) {
        setError(error, "no EGL display offers an OpenGL compatibility context");
        return nullptr;
    }
    // Mesa's driver stays loaded for the rest of the process: unloading it
    // leaves allocations that leak checkers report.
    dlopen("swrast_dri.so", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    dlopen("kms_swrast_dri.so", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);

    std::unique_ptr<OffscreenContext> result(new OffscreenContext);
    result->display_ = display;
    result->context_ = context;
    const GLubyte* renderer = glGetString(GL_RENDERER);
    result->renderer_ = renderer ? reinterpret_cast<const char*>(renderer) : "";
    if (logRenderer)
        std::fprintf(stderr, "OpenGL renderer: %s\n", result->renderer_.c_str());
    if (!loadFramebufferEntryPoints()) {
        setError(error, "the OpenGL context offers no frame buffer objects");
        return nullptr;
    }
    if (!result->createFramebuffer(width, height)) {
        setError(error, "cannot make a frame buffer of that size");
        return nullptr;
    }
    return result;
}

OffscreenContext::~OffscreenContext()
{
    EGLDisplay display = static_cast<EGLDisplay>(display_);
    EGLContext context = static_cast<EGLContext>(context_);
    if (eglGetCurrentContext() == context || eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        if (framebuffer_) {
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            glDeleteFramebuffers(1, &framebuffer_);
            glDeleteRenderbuffers(1, &colorBuffer_);
        }
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    // The display is left initialised: it is shared by every EGL user of the
    // process, and terminating it would pull their contexts away.
    eglDestroyContext(display, context);
}

bool OffscreenContext::makeCurrent()
{
    EGLDisplay display = static_cast<EGLDisplay>(display_);
    EGLContext context = static_cast<EGLContext>(context_);
    if (eglGetCurrentContext() != context && !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
        return false;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, width_, height_);
    return true;
}

bool OffscreenContext::resize(int width, int height)
{
    if (!makeCurrent())
        return false;
    return createFramebuffer(width, height);
}

bool OffscreenContext::createFramebuffer(int width, int height)
{
    GLint limit = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
    if (width < 1 || height < 1 || width > limit || height > limit)
        return false;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint framebuffer = 0;
    GLuint colorBuffer = 0;
    glGenRenderbuffers(1, &colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colorBuffer);
    // Eight bits of alpha: the renderer's saturating blend needs destination alpha.
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer);
    if (glGetError() != GL_NO_ERROR || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteRenderbuffers(1, &colorBuffer);
        return false;
    }
    if (framebuffer_) {
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteRenderbuffers(1, &colorBuffer_);
    }
    framebuffer_ = framebuffer;
    colorBuffer_ = colorBuffer;
    width_ = width;
    height_ = height;
    glViewport(0, 0, width, height);
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    return true;
}

std::vector<uint8_t> OffscreenContext::readPixels() const
{
    std::vector<uint8_t> pixels(size_t(width_) * size_t(height_) * 4);
    glFinish();
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glPopClientAttrib();
    return pixels;
}

} // namespace Pudlet
