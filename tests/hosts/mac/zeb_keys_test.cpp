#include "zeb_keys.h"

#include "particle_beat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <climits>
#include <memory>
#include <set>
#include <string>

using Zeb::Kamblo::RevivezoRora;

namespace {

struct EngineDeleter {
    void operator()(RevivezoRora* e) const { RevivezoRora::deleteInstance(e); }
};
using Engine = std::unique_ptr<RevivezoRora, EngineDeleter>;
Engine makeEngine() { return Engine(RevivezoRora::newInstance()); }

// A value different from the current one that the key's type can hold.
double otherValue(const ZebKey& key, double current) {
    switch (key.kind) {
    case ZebKeyKind::Bool: return current != 0.0 ? 0.0 : 1.0;
    case ZebKeyKind::Int: return current + 3.0;
    default: return static_cast<float>(current + 0.625);  // what a float can hold
    }
}

} // namespace

TEST(ZebKeys, ParameterKeysFollowTheEngineTable) {
    const auto& parameters = zebParameterKeys();
    ASSERT_EQ(parameters.size(), 102u);
    EXPECT_STREQ(parameters.front()->name, "time");
    EXPECT_STREQ(parameters.back()->name, "renderMode");
    std::set<std::string> names;
    for (const ZebKey& key : zebKeys()) EXPECT_TRUE(names.insert(key.name).second) << key.name;
    for (const char* name : {"canUndo", "contentWidth", "contentHeight", "nextMaterial", "nextColor", "nextLayer",
                             "leftButtonTool", "rightButtonTool", "otherButtonTool", "lowerCaseKeyOperation",
                             "upperCaseKeyOperation", "numberKeyOperation", "arrowKeyOperation",
                             "nextAeratedAttribute", "nextZombieAttribute", "backgroundImageName",
                             "bubbleImageName", "clearColor"})
        EXPECT_NE(zebFindKey(name), nullptr) << name;
    EXPECT_EQ(zebFindKey("imp"), nullptr);
    EXPECT_EQ(zebFindKey("noSuchKey"), nullptr);
}

TEST(ZebKeys, EveryNumberKeyRoundTripsThroughTheEngine) {
    for (const ZebKey& key : zebKeys()) {
        if (!key.getNumber || !key.writable) continue;
        auto engine = makeEngine();
        double before = key.getNumber(*engine);
        double wanted = otherValue(key, before);
        key.setNumber(*engine, wanted);
        double after = key.getNumber(*engine);
        // Attribute setters pass through the builder's rules; they still must
        // take an ordinary bit such as "aerated".
        if (std::string(key.name).ends_with("Attribute")) continue;
        EXPECT_EQ(after, wanted) << key.name;
    }
}

TEST(ZebKeys, AttributeKeysReachTheBuilder) {
    auto engine = makeEngine();
    const ZebKey* aerated = zebFindKey("nextAeratedAttribute");
    ASSERT_NE(aerated, nullptr);
    aerated->setNumber(*engine, 1.0);
    EXPECT_TRUE(engine->nextAeratedAttribute());
    EXPECT_EQ(aerated->getNumber(*engine), 1.0);
    aerated->setNumber(*engine, 0.0);
    EXPECT_FALSE(engine->nextAeratedAttribute());
}

TEST(ZebKeys, ColorsRoundTripAndClearColorKeepsAlpha) {
    auto engine = makeEngine();
    const ZebKey* next = zebFindKey("nextColor");
    next->setColor(*engine, ZebRGBA{1.0f, 0.0f, 0.2f, 1.0f});
    ZebRGBA c = next->getColor(*engine);
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_FLOAT_EQ(c.g, 0.0f);
    EXPECT_FLOAT_EQ(c.b, 51.0f / 255.0f);

    engine->setClearColor(0.0f, 0.0f, 0.0f, 0.25f);
    const ZebKey* clear = zebFindKey("clearColor");
    clear->setColor(*engine, ZebRGBA{0.5f, 0.25f, 0.75f, 0.1f});
    float r, g, b, a;
    engine->getClearColor(r, g, b, a);
    EXPECT_EQ(r, 0.5f);
    EXPECT_EQ(g, 0.25f);
    EXPECT_EQ(b, 0.75f);
    EXPECT_EQ(a, 0.25f) << "the clear colour's alpha is not the well's to change";
    EXPECT_EQ(clear->getColor(*engine).a, 1.0f);
}

TEST(ZebKeys, ImageNamesThatCannotBeReadReadBackEmpty) {
    auto engine = makeEngine();
    const ZebKey* background = zebFindKey("backgroundImageName");
    background->setText(*engine, "/no/such/picture.png");
    EXPECT_EQ(background->getText(*engine), "");
    background->setText(*engine, "");
    EXPECT_EQ(background->getText(*engine), "");
}

TEST(ZebKeys, TableValuesFormatAndParse) {
    auto engine = makeEngine();
    const ZebKey* angle = zebFindKey("gravityAngle");
    EXPECT_TRUE(zebParseValue(*angle, *engine, " 0.1 "));
    EXPECT_EQ(engine->gravityAngle(), 0.1f);
    EXPECT_EQ(zebFormatValue(*angle, *engine), "0.1");

    const ZebKey* steps = zebFindKey("timeStepsPerFrame");
    EXPECT_TRUE(zebParseValue(*steps, *engine, "3.9"));
    EXPECT_EQ(engine->timeStepsPerFrame(), 3) << "typed numbers truncate toward zero";
    EXPECT_TRUE(zebParseValue(*steps, *engine, "1e30"));
    EXPECT_EQ(engine->timeStepsPerFrame(), INT_MAX);
    EXPECT_TRUE(zebParseValue(*steps, *engine, "-1e30"));
    EXPECT_EQ(engine->timeStepsPerFrame(), INT_MIN);
    EXPECT_TRUE(zebParseValue(*steps, *engine, "nan"));
    EXPECT_EQ(engine->timeStepsPerFrame(), 0);

    engine->setTimeStepsPerFrame(8);
    EXPECT_FALSE(zebParseValue(*steps, *engine, "eight"));
    EXPECT_FALSE(zebParseValue(*steps, *engine, "8x"));
    EXPECT_FALSE(zebParseValue(*steps, *engine, ""));
    EXPECT_EQ(engine->timeStepsPerFrame(), 8);

    const ZebKey* pause = zebFindKey("pauseFlag");
    EXPECT_TRUE(zebParseValue(*pause, *engine, "1"));
    EXPECT_TRUE(engine->pauseFlag());
    EXPECT_EQ(zebFormatValue(*pause, *engine), "1");

    EXPECT_FALSE(zebParseValue(*zebFindKey("canUndo"), *engine, "1")) << "read-only";
}

TEST(ZebKeys, RefreshRules) {
    EXPECT_TRUE(zebKeyRefreshesOn("gravityAngle", "imp"));
    EXPECT_TRUE(zebKeyRefreshesOn("gravityAngle", "gravityAngle"));
    EXPECT_FALSE(zebKeyRefreshesOn("gravityAngle", "nextMaterial"));
    EXPECT_TRUE(zebKeyRefreshesOn("nextRigidAttribute", "nextMaterial"));
    EXPECT_TRUE(zebKeyRefreshesOn("nextColor", "nextMaterial"));
    EXPECT_FALSE(zebKeyRefreshesOn("nextLayer", "nextMaterial"));
    EXPECT_TRUE(zebKeyRefreshesOn("time", "fps"));
    EXPECT_FALSE(zebKeyRefreshesOn("scale", "fps"));
    EXPECT_EQ(zebAnnouncedKey(*zebFindKey("nextWallAttribute")), "nextMaterial");
    EXPECT_EQ(zebAnnouncedKey(*zebFindKey("nextColor")), "nextMaterial");
    EXPECT_EQ(zebAnnouncedKey(*zebFindKey("gravityAngle")), "gravityAngle");
}
