#pragma once
// OpenGL 2.0 shader programs and the engine's one-line OpenGL error report.
#include "object.h"

namespace Zeb::Kamblo {

class Shader : public Object {
public:
    // A program made of one shader of the given type (GL_FRAGMENT_SHADER or
    // GL_VERTEX_SHADER), null for any other type or when the platform offers no
    // shader entry points. Compile and link logs go to the standard error
    // stream; a shader that failed to build is returned all the same.
    static Pointer<Shader> withString(int type, const char* source);

    virtual void enable() = 0;
    virtual void disable() = 0;
    // The location is looked up on every call; an undeclared name is ignored.
    virtual void setUniform(const char* name, int x) = 0;
    virtual void setUniform(const char* name, int x, int y) = 0;
    virtual void setUniform(const char* name, int x, int y, int z) = 0;
    virtual void setUniform(const char* name, int x, int y, int z, int w) = 0;
    virtual void setUniform(const char* name, float x) = 0;
    virtual void setUniform(const char* name, float x, float y) = 0;
    virtual void setUniform(const char* name, float x, float y, float z) = 0;
    virtual void setUniform(const char* name, float x, float y, float z, float w) = 0;
};

class GLShader : public Shader {
public:
    GLShader(unsigned shader, unsigned program) : shader(shader), program(program) {}

    void enable() override;
    void disable() override;
    void setUniform(const char* name, int x) override;
    void setUniform(const char* name, int x, int y) override;
    void setUniform(const char* name, int x, int y, int z) override;
    void setUniform(const char* name, int x, int y, int z, int w) override;
    void setUniform(const char* name, float x) override;
    void setUniform(const char* name, float x, float y) override;
    void setUniform(const char* name, float x, float y, float z) override;
    void setUniform(const char* name, float x, float y, float z, float w) override;

    // GL object names; they outlive this object (the context may be gone).
    unsigned shader;
    unsigned program;
};

// The liquid-surface compositing fragment shader of the renderer's shader mode.
extern const char* const blobShaderSource;
// The liquid and solid sprites' alpha, as their images hold it.
extern const char* const liquidSpriteShaderSource;
extern const char* const solidSpriteShaderSource;

// Loads the OpenGL 2.0 entry points for the current context; false when the
// platform does not provide them. Safe to call again.
bool loadGLEntryPoints();

// Reads (and so clears) the pending OpenGL error and returns its code. The
// first error of the process is written to the standard error stream as
// "OpenGL error: <place>:\t<text>"; later ones pass silently.
int checkError(int place);

// True until checkError has reported its one error; process-wide.
extern bool checkErrorOnce;

// Whether checkError reads the error at all; process-wide, true at the start.
// A host whose glGetError is dear turns it off (in a browser it waits until
// the GPU process has drawn everything asked so far, each time): checkError
// then leaves the error pending and returns GL_NO_ERROR, and the host reads
// the error itself now and then.
extern bool checkErrorReads;

} // namespace Zeb::Kamblo
