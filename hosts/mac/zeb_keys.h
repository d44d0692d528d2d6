#pragma once
// The document's key-value keys: every engine value a panel control can bind
// to, with a getter and a setter that forward to the engine. The parameter and
// attribute keys are generated from the engine's tables.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Zeb::Kamblo {
class RevivezoRora;
}

enum class ZebKeyKind { Float, Int, Bool, Text, Color };

struct ZebRGBA {
    float r = 0, g = 0, b = 0, a = 1;
};

struct ZebKey {
    const char* name;
    ZebKeyKind kind;
    bool parameter;  // one of the scene parameters (the parameter table's rows)
    bool writable;
    // Numbers (Float, Int, Bool); bools read 0 or 1 and store non-zero as true.
    double (*getNumber)(Zeb::Kamblo::RevivezoRora&);
    void (*setNumber)(Zeb::Kamblo::RevivezoRora&, double);
    // Text (image names), UTF-8.
    std::string (*getText)(Zeb::Kamblo::RevivezoRora&);
    void (*setText)(Zeb::Kamblo::RevivezoRora&, const std::string&);
    // Colours.
    ZebRGBA (*getColor)(Zeb::Kamblo::RevivezoRora&);
    void (*setColor)(Zeb::Kamblo::RevivezoRora&, ZebRGBA);
};

// Every key, parameters first in the engine's order.
const std::vector<ZebKey>& zebKeys();
// The scene parameters only, in the engine's order: the parameter table.
const std::vector<const ZebKey*>& zebParameterKeys();
const ZebKey* zebFindKey(std::string_view name);

// The value as the parameter table shows it (shortest text that reads back
// to the same value).
std::string zebFormatValue(const ZebKey& key, Zeb::Kamblo::RevivezoRora& engine);
// Parses an edited value and stores it; false (engine untouched) when the text
// is not a number.
bool zebParseValue(const ZebKey& key, Zeb::Kamblo::RevivezoRora& engine, std::string_view text);

// Whether a control bound to boundKey must refresh when announced changes:
// "imp" refreshes everything, "nextMaterial" also the attribute keys and the
// next colour, "fps" (a batch of steps) also the clock keys.
bool zebKeyRefreshesOn(std::string_view boundKey, std::string_view announced);

// Whether storing through the key changes the scene as its file keeps it:
// the parameters, the images and the clear colour; not the choice of what to
// paint next or of the tools.
bool zebKeyChangesScene(const ZebKey& key);

// The key announced after a setter: attribute and next-colour changes are
// announced as "nextMaterial" so the material display follows them.
std::string_view zebAnnouncedKey(const ZebKey& key);
