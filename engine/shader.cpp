#include <GL/glew.h>

#include "shader.h"

#include <GL/glu.h>
#include <cstdio>

namespace Zeb::Kamblo {

const char* const blobShaderSource =
    "uniform sampler2D solidTexture;"
    "uniform sampler2D liquidTexture;"
    "uniform sampler2D backgroundTexture;"
    "const vec2 lightSource = vec2(-0.1,-0.7);"
    "const float refraction = 0.2;"
    "uniform vec2 deltaX;"
    "uniform vec2 deltaY;"
    "void main() {"
    "vec2 st = gl_TexCoord[0].st;"
    "gl_FragColor = texture2D(backgroundTexture,st);"
    "vec2 normal = vec2((texture2D(liquidTexture,st+deltaX)-texture2D(liquidTexture,st-deltaX)).a,"
    "(texture2D(liquidTexture,st+deltaY)-texture2D(liquidTexture,st-deltaY)).a);"
    "vec4 backgroundColor = texture2D(backgroundTexture,st+refraction*normal);"
    "vec4 transparentColor = texture2D(liquidTexture,st);"
    "transparentColor.rgb *= mix(vec3(1),backgroundColor.rgb,0.7);"
    "gl_FragColor = mix(gl_FragColor,transparentColor,smoothstep(0.7,1.0,transparentColor.a));"
    "vec4 blobColor = texture2D(solidTexture,st);"
    "blobColor.rgb *= 1.0+dot(normal,lightSource);"
    "gl_FragColor = mix(gl_FragColor,blobColor,smoothstep(0.7,1.0,blobColor.a));"
    "}";

// The sprites' alpha as the renderer's sprite images hold it (each texel
// the value at its lower-left corner, cut to a byte), computed per pixel:
// with a processor for a rasterizer that costs less than filtering the image.
const char* const liquidSpriteShaderSource =
    "void main() {"
    "float r = length(4.0*gl_TexCoord[0].st-2.0625);"
    "float a = clamp(0.15*(2.0-r)/(r+0.05),0.0,1.0);"
    "gl_FragColor = vec4(gl_Color.rgb,gl_Color.a*floor(a*255.0)/255.0);"
    "}";

const char* const solidSpriteShaderSource =
    "void main() {"
    "float r = length(4.0*gl_TexCoord[0].st-2.0625);"
    "float d = r-0.15;"
    "float a = d > 0.0 ? clamp(0.12*(2.0-r)/d,0.0,1.0) : 1.0;"
    "gl_FragColor = vec4(gl_Color.rgb,gl_Color.a*floor(a*255.0)/255.0);"
    "}";

bool checkErrorOnce = true;
bool checkErrorReads = true;

#if defined(__EMSCRIPTEN__)
// WebGL's entry points are linked in, not looked up: there is nothing to load.
bool loadGLEntryPoints() { return true; }

// WebGL has no fixed-function vertex stage for a program to fall back on: a
// fragment shader gets this one, which does what that stage does for the
// renderer's quads and sprites. The GL emulation maps the built-in names to
// its own attributes and matrices.
constexpr const char* fixedFunctionVertexSource =
    "void main() { gl_Position = ftransform(); gl_TexCoord[0] = gl_MultiTexCoord0; gl_FrontColor = gl_Color; }";

void attachFixedFunctionVertexStage(GLuint program)
{
    const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &fixedFunctionVertexSource, nullptr);
    glCompileShader(shader);
    glAttachShader(program, shader);
}
#else
bool loadGLEntryPoints()
{
    static bool loaded = false;
    if (loaded)
        return true;
    // GLEW built for GLX reports a missing GLX display under EGL after it has
    // loaded every core entry point, so that code counts as success too; the
    // pointers themselves decide.
    const GLenum status = glewInit();
    if (status != GLEW_OK && status != GLEW_ERROR_NO_GLX_DISPLAY)
        return false;
    loaded = glCreateShader && glShaderSource && glCompileShader && glGetShaderInfoLog && glCreateProgram
             && glAttachShader && glLinkProgram && glGetProgramInfoLog && glUseProgram && glGetUniformLocation
             && glUniform1i && glUniform4i && glUniform1f && glUniform4f && glActiveTexture;
    return loaded;
}
#endif

Pointer<Shader> Shader::withString(int type, const char* source)
{
    if (type != GL_FRAGMENT_SHADER && type != GL_VERTEX_SHADER)
        return nullptr;
    if (!loadGLEntryPoints())
        return nullptr;

    const GLuint shader = glCreateShader(GLenum(type));
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);

    char buffer[256] = {};
    GLsizei length = 0;
    glGetShaderInfoLog(shader, sizeof buffer, &length, buffer);
    if (length != 0)
        std::fputs(buffer, stderr);

    const GLuint program = glCreateProgram();
    glAttachShader(program, shader);
#if defined(__EMSCRIPTEN__)
    if (type == GL_FRAGMENT_SHADER)
        attachFixedFunctionVertexStage(program);
#endif
    glLinkProgram(program);
    length = 0;
    glGetProgramInfoLog(program, sizeof buffer, &length, buffer);
    if (length != 0)
        std::fputs(buffer, stderr);

    return autorelease<Shader>(new GLShader(shader, program));
}

void GLShader::enable() { glUseProgram(program); }

void GLShader::disable() { glUseProgram(0); }

void GLShader::setUniform(const char* name, int x) { glUniform1i(glGetUniformLocation(program, name), x); }

void GLShader::setUniform(const char* name, int x, int y)
{
    glUniform2i(glGetUniformLocation(program, name), x, y);
}

void GLShader::setUniform(const char* name, int x, int y, int z)
{
    glUniform3i(glGetUniformLocation(program, name), x, y, z);
}

void GLShader::setUniform(const char* name, int x, int y, int z, int w)
{
    glUniform4i(glGetUniformLocation(program, name), x, y, z, w);
}

void GLShader::setUniform(const char* name, float x) { glUniform1f(glGetUniformLocation(program, name), x); }

void GLShader::setUniform(const char* name, float x, float y)
{
    glUniform2f(glGetUniformLocation(program, name), x, y);
}

void GLShader::setUniform(const char* name, float x, float y, float z)
{
    glUniform3f(glGetUniformLocation(program, name), x, y, z);
}

void GLShader::setUniform(const char* name, float x, float y, float z, float w)
{
    glUniform4f(glGetUniformLocation(program, name), x, y, z, w);
}

int checkError(int place)
{
    if (!checkErrorReads)
        return GL_NO_ERROR;
    const GLenum code = glGetError();
    if (code != GL_NO_ERROR && checkErrorOnce) {
#if defined(__EMSCRIPTEN__)
        const GLubyte* text = nullptr; // no GLU in the browser
#else
        const GLubyte* text = gluErrorString(code);
#endif
        std::fprintf(stderr, "OpenGL error: %d:\t%s\n", place, text ? reinterpret_cast<const char*>(text) : "");
        checkErrorOnce = false;
    }
    return int(code);
}

} // namespace Zeb::Kamblo
