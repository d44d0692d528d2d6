#include <GL/glew.h>

#include "shader.h"

#include <gtest/gtest.h>

#include <GL/glu.h>
#include <string>

#include "offscreen_frame.h"

using namespace Zeb::Kamblo;

namespace {

TEST(Shader, OnlyShaderTypesMakeAProgram)
{
    EXPECT_FALSE(Shader::withString(0, "void main() {}"));
    EXPECT_FALSE(Shader::withString(GL_TEXTURE_2D, "void main() {}"));
}

class ShaderGL : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        if (!PudletTest::offscreenContext(64, 64, &reason)) {
            GTEST_SKIP() << reason;
        }
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    static GLint shaderValue(GLuint shader, GLenum what)
    {
        GLint value = 0;
        glGetShaderiv(shader, what, &value);
        return value;
    }
    static GLint programValue(GLuint program, GLenum what)
    {
        GLint value = 0;
        glGetProgramiv(program, what, &value);
        return value;
    }
};

TEST_F(ShaderGL, BlobShaderBuildsWithoutLog)
{
    ::testing::internal::CaptureStderr();
    Pointer<Shader> shader = Shader::withString(GL_FRAGMENT_SHADER, blobShaderSource);
    const std::string log = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(shader);
    auto* gl = static_cast<GLShader*>(shader.get());
    EXPECT_EQ(shaderValue(gl->shader, GL_COMPILE_STATUS), GL_TRUE) << log;
    EXPECT_EQ(programValue(gl->program, GL_LINK_STATUS), GL_TRUE) << log;
    EXPECT_EQ(programValue(gl->program, GL_ACTIVE_UNIFORMS), 5) << "three samplers and two steps";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderGL, BrokenSourceIsReturnedWithItsLogPrinted)
{
    ::testing::internal::CaptureStderr();
    Pointer<Shader> shader = Shader::withString(GL_FRAGMENT_SHADER, "void main() { gl_FragColor = nonsense; }");
    const std::string log = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(shader) << "a failed build still gives a shader";
    EXPECT_FALSE(log.empty());
    EXPECT_LT(log.size(), 512u) << "each log is cut to its 256-byte buffer";
    EXPECT_EQ(shaderValue(static_cast<GLShader*>(shader.get())->shader, GL_COMPILE_STATUS), GL_FALSE);
}

TEST_F(ShaderGL, UniformsReachTheProgramAndUnknownNamesAreIgnored)
{
    Pointer<Shader> shader = Shader::withString(GL_FRAGMENT_SHADER, blobShaderSource);
    ASSERT_TRUE(shader);
    const GLuint program = static_cast<GLShader*>(shader.get())->program;
    shader->enable();
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(GLuint(current), program);
    shader->setUniform("deltaX", 0.25f, 0.0f);
    shader->setUniform("backgroundTexture", 2);
    shader->setUniform("noSuchUniform", 1.0f, 2.0f, 3.0f, 4.0f);
    shader->setUniform("noSuchUniform", 7);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    GLfloat delta[2] = {0, 0};
    glGetUniformfv(program, glGetUniformLocation(program, "deltaX"), delta);
    EXPECT_EQ(delta[0], 0.25f);
    EXPECT_EQ(delta[1], 0.0f);
    GLint unit = 0;
    glGetUniformiv(program, glGetUniformLocation(program, "backgroundTexture"), &unit);
    EXPECT_EQ(unit, 2);

    shader->disable();
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
}

TEST_F(ShaderGL, OnlyTheFirstErrorOfTheProcessIsPrinted)
{
    checkErrorOnce = true;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(checkError(5), GL_NO_ERROR);
    glEnable(0xFFFF);
    EXPECT_EQ(checkError(17), GL_INVALID_ENUM);
    glMatrixMode(0xFFFF);
    EXPECT_EQ(checkError(18), GL_INVALID_ENUM) << "later errors are still read";
    checkErrorReads = false;
    glEnable(0xFFFF);
    EXPECT_EQ(checkError(19), GL_NO_ERROR) << "switched off";
    checkErrorReads = true;
    EXPECT_EQ(checkError(20), GL_INVALID_ENUM) << "the error stayed pending";
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(report, std::string("OpenGL error: 17:\t")
                          + reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM)) + "\n");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "and cleared";
    EXPECT_FALSE(checkErrorOnce);
    checkErrorOnce = true;
}

} // namespace
