#include "zeb_keys.h"

#include "particle_beat.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

using Zeb::Kamblo::RevivezoRora;

namespace {

template <typename T> constexpr ZebKeyKind kindOf();
template <> constexpr ZebKeyKind kindOf<float>() { return ZebKeyKind::Float; }
template <> constexpr ZebKeyKind kindOf<int>() { return ZebKeyKind::Int; }
template <> constexpr ZebKeyKind kindOf<bool>() { return ZebKeyKind::Bool; }

// Edited values come from the user: a number outside int's range or NaN must
// not reach an undefined conversion.
template <typename T> T fromNumber(double v);
template <> float fromNumber<float>(double v) { return static_cast<float>(v); }
template <> bool fromNumber<bool>(double v) { return v != 0.0; }
template <> int fromNumber<int>(double v) {
    if (std::isnan(v)) return 0;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(v);  // toward zero, as a typed integer is read
}

ZebKey numberKey(const char* name, ZebKeyKind kind, bool parameter,
                 double (*get)(RevivezoRora&), void (*set)(RevivezoRora&, double)) {
    return ZebKey{name, kind, parameter, set != nullptr, get, set, nullptr, nullptr, nullptr, nullptr};
}

ZebKey textKey(const char* name, std::string (*get)(RevivezoRora&),
               void (*set)(RevivezoRora&, const std::string&)) {
    return ZebKey{name, ZebKeyKind::Text, false, true, nullptr, nullptr, get, set, nullptr, nullptr};
}

ZebKey colorKey(const char* name, ZebRGBA (*get)(RevivezoRora&), void (*set)(RevivezoRora&, ZebRGBA)) {
    return ZebKey{name, ZebKeyKind::Color, false, true, nullptr, nullptr, nullptr, nullptr, get, set};
}

// An empty name unloads the image.
void setImage(RevivezoRora& e, const std::string& v, void (RevivezoRora::*setter)(const char*)) {
    (e.*setter)(v.empty() ? nullptr : v.c_str());
}

std::vector<ZebKey> makeKeys() {
    std::vector<ZebKey> keys;
#define ZEB_PARAMETER_KEY(type, name, Name, defaultValue)                                          \
    keys.push_back(numberKey(                                                                      \
        #name, kindOf<type>(), true,                                                               \
        [](RevivezoRora& e) { return static_cast<double>(e.name()); },                             \
        [](RevivezoRora& e, double v) { e.set##Name(fromNumber<type>(v)); }));
    KAMBLO_PARAMETERS(ZEB_PARAMETER_KEY)
#undef ZEB_PARAMETER_KEY

    keys.push_back(numberKey("canUndo", ZebKeyKind::Bool, false,
                             [](RevivezoRora& e) { return e.canUndo() ? 1.0 : 0.0; }, nullptr));
    keys.push_back(numberKey(
        "contentWidth", ZebKeyKind::Float, false, [](RevivezoRora& e) { return double(e.contentWidth()); },
        [](RevivezoRora& e, double v) { e.setContentWidth(fromNumber<float>(v)); }));
    keys.push_back(numberKey(
        "contentHeight", ZebKeyKind::Float, false, [](RevivezoRora& e) { return double(e.contentHeight()); },
        [](RevivezoRora& e, double v) { e.setContentHeight(fromNumber<float>(v)); }));
#define ZEB_INT_KEY(name, Name)                                                                    \
    keys.push_back(numberKey(                                                                      \
        #name, ZebKeyKind::Int, false, [](RevivezoRora& e) { return double(e.name()); },           \
        [](RevivezoRora& e, double v) { e.set##Name(fromNumber<int>(v)); }));
    ZEB_INT_KEY(nextMaterial, NextMaterial)
    ZEB_INT_KEY(nextLayer, NextLayer)
    ZEB_INT_KEY(leftButtonTool, LeftButtonTool)
    ZEB_INT_KEY(rightButtonTool, RightButtonTool)
    ZEB_INT_KEY(otherButtonTool, OtherButtonTool)
    ZEB_INT_KEY(lowerCaseKeyOperation, LowerCaseKeyOperation)
    ZEB_INT_KEY(upperCaseKeyOperation, UpperCaseKeyOperation)
    ZEB_INT_KEY(numberKeyOperation, NumberKeyOperation)
    ZEB_INT_KEY(arrowKeyOperation, ArrowKeyOperation)
    ZEB_INT_KEY(templateShape, TemplateShape)
#undef ZEB_INT_KEY
    keys.push_back(numberKey(
        "materialColorFlag", ZebKeyKind::Bool, false,
        [](RevivezoRora& e) { return e.materialColorFlag() ? 1.0 : 0.0; },
        [](RevivezoRora& e, double v) { e.setMaterialColorFlag(fromNumber<bool>(v)); }));

#define ZEB_ATTRIBUTE_KEY(name, Name)                                                              \
    keys.push_back(numberKey(                                                                      \
        "next" #Name "Attribute", ZebKeyKind::Bool, false,                                         \
        [](RevivezoRora& e) { return e.next##Name##Attribute() ? 1.0 : 0.0; },                     \
        [](RevivezoRora& e, double v) { e.setNext##Name##Attribute(fromNumber<bool>(v)); }));
    KAMBLO_ATTRIBUTES(ZEB_ATTRIBUTE_KEY)
#undef ZEB_ATTRIBUTE_KEY

#define ZEB_IMAGE_KEY(name, Name)                                                                  \
    keys.push_back(textKey(                                                                        \
        #name, [](RevivezoRora& e) { return std::string(e.name()); },                              \
        [](RevivezoRora& e, const std::string& v) { setImage(e, v, &RevivezoRora::set##Name); }));
    ZEB_IMAGE_KEY(backgroundImageName, BackgroundImageName)
    ZEB_IMAGE_KEY(foregroundImageName, ForegroundImageName)
    ZEB_IMAGE_KEY(fireImageName, FireImageName)
    ZEB_IMAGE_KEY(splashImageName, SplashImageName)
    ZEB_IMAGE_KEY(bubbleImageName, BubbleImageName)
#undef ZEB_IMAGE_KEY

    keys.push_back(colorKey(
        "nextColor",
        [](RevivezoRora& e) {
            ZebRGBA c;
            e.getNextColor(c.r, c.g, c.b, c.a);
            return c;
        },
        [](RevivezoRora& e, ZebRGBA c) { e.setNextColor(c.r, c.g, c.b, c.a); }));
    // The clear colour is opaque: alpha is neither shown nor copied.
    keys.push_back(colorKey(
        "clearColor",
        [](RevivezoRora& e) {
            ZebRGBA c;
            float alpha;
            e.getClearColor(c.r, c.g, c.b, alpha);
            c.a = 1.0f;
            return c;
        },
        [](RevivezoRora& e, ZebRGBA c) {
            float r, g, b, alpha;
            e.getClearColor(r, g, b, alpha);
            e.setClearColor(c.r, c.g, c.b, alpha);
        }));
    return keys;
}

} // namespace

const std::vector<ZebKey>& zebKeys() {
    static const std::vector<ZebKey> keys = makeKeys();
    return keys;
}

const std::vector<const ZebKey*>& zebParameterKeys() {
    static const std::vector<const ZebKey*> parameters = [] {
        std::vector<const ZebKey*> list;
        for (const ZebKey& key : zebKeys())
            if (key.parameter) list.push_back(&key);
        return list;
    }();
    return parameters;
}

const ZebKey* zebFindKey(std::string_view name) {
    for (const ZebKey& key : zebKeys())
        if (name == key.name) return &key;
    return nullptr;
}

std::string zebFormatValue(const ZebKey& key, RevivezoRora& engine) {
    char buffer[64];
    switch (key.kind) {
    case ZebKeyKind::Float: {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(key.getNumber(engine)));
        return std::string(buffer, result.ptr);
    }
    case ZebKeyKind::Int:
    case ZebKeyKind::Bool: {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(key.getNumber(engine)));
        return std::string(buffer, result.ptr);
    }
    case ZebKeyKind::Text:
        return key.getText(engine);
    case ZebKeyKind::Color:
        break;
    }
    return {};
}

bool zebParseValue(const ZebKey& key, RevivezoRora& engine, std::string_view text) {
    if (!key.writable) return false;
    if (key.kind == ZebKeyKind::Text) {
        key.setText(engine, std::string(text));
        return true;
    }
    if (!key.setNumber) return false;
    std::string copy(text);
    const char* begin = copy.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return false;
    key.setNumber(engine, value);
    return true;
}

bool zebKeyRefreshesOn(std::string_view boundKey, std::string_view announced) {
    if (announced == "imp" || announced == boundKey) return true;
    if (announced == "nextMaterial") {
        if (boundKey == "nextColor") return true;
        return boundKey.size() > 13 && boundKey.starts_with("next") && boundKey.ends_with("Attribute");
    }
    if (announced == "fps") return boundKey == "time" || boundKey == "timeStep";
    return false;
}

bool zebKeyChangesScene(const ZebKey& key) {
    std::string_view name = key.name;
    return key.parameter || key.kind == ZebKeyKind::Text || name == "clearColor";
}

std::string_view zebAnnouncedKey(const ZebKey& key) {
    std::string_view name = key.name;
    if (name == "nextColor" || (!key.parameter && zebKeyRefreshesOn(name, "nextMaterial"))) return "nextMaterial";
    return name;
}
