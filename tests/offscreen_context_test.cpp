#include <GL/glew.h>

#include "offscreen_context.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "offscreen_frame.h"

namespace {

class OffscreenContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        context = PudletTest::offscreenContext(40, 30, &reason);
        if (!context) {
            GTEST_SKIP() << reason;
        }
    }
    Pudlet::OffscreenContext* context = nullptr;
};

TEST_F(OffscreenContextTest, ReadsBackWhatWasDrawnWithDestinationAlpha)
{
    EXPECT_FALSE(context->renderer().empty());
    GLint alphaBits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    EXPECT_EQ(alphaBits, 8);

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glClearColor(0, 0, 1, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1); // the bottom-left pixel only
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();

    const std::vector<uint8_t> pixels = context->readPixels();
    ASSERT_EQ(pixels.size(), size_t(40 * 30 * 4));
    EXPECT_EQ((std::vector<uint8_t>(pixels.begin(), pixels.begin() + 8)),
              (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 128}));
    EXPECT_EQ((std::vector<uint8_t>(pixels.end() - 4, pixels.end())), (std::vector<uint8_t>{0, 0, 255, 128}));
}

TEST_F(OffscreenContextTest, ResizeFollowsValidSizesOnly)
{
    ASSERT_TRUE(context->resize(17, 5));
    EXPECT_EQ(context->width(), 17);
    EXPECT_EQ(context->height(), 5);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 17);
    EXPECT_EQ(viewport[3], 5);
    const std::vector<uint8_t> pixels = context->readPixels();
    ASSERT_EQ(pixels.size(), size_t(17 * 5 * 4)) << "odd widths read back without row padding";
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), long(pixels.size())) << "a new buffer starts clear";

    EXPECT_FALSE(context->resize(0, 10));
    EXPECT_FALSE(context->resize(10, -1));
    EXPECT_FALSE(context->resize(1 << 30, 10));
    EXPECT_EQ(context->width(), 17);
    EXPECT_EQ(context->height(), 5);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
