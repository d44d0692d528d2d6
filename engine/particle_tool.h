#pragma once
// The mouse tools, declared once: letter, the name the tool buttons show
// (empty: no button), whether the facade records an undo point before its
// press, and whether the world stands still while the tool is held. The
// responder's pause rule, the facade's undo rule and the hosts' tool buttons
// are generated from this list; the named tools come in the order of the
// Tool group's buttons.
// X(letter, "Name", recordsUndo, pauses)
//
// 'm' only shows a rectangle while dragged; 'c', 'o', 'r' and 's' do nothing
// but still record an undo point.

#define KAMBLO_TOOLS(X)              \
    X('b', "Brush", true, true)      \
    X('p', "Pencil", true, true)     \
    X('u', "Shape", true, true)      \
    X('g', "Bucket", true, false)    \
    X('v', "Move", true, false)      \
    X('e', "Eraser", true, true)     \
    X('j', "Replace", true, true)    \
    X('i', "Spuit", false, false)    \
    X('a', "Arrow", false, false)    \
    X('k', "Slice", true, true)      \
    X('m', "", false, false)         \
    X('c', "", true, false)          \
    X('o', "", true, false)          \
    X('r', "", true, false)          \
    X('s', "", true, false)

namespace Zeb::Kamblo {

struct ToolEntry {
    int letter;
    const char* name;
    bool recordsUndo;
    bool pauses;

    constexpr bool hasButton() const { return name[0] != '\0'; }
    // The upper-case key that selects the tool in the hosts.
    constexpr int key() const { return letter ^ 32; }
};

inline constexpr ToolEntry kTools[] = {
#define KAMBLO_TOOL_ENTRY(letter, name, recordsUndo, pauses) {letter, name, recordsUndo, pauses},
    KAMBLO_TOOLS(KAMBLO_TOOL_ENTRY)
#undef KAMBLO_TOOL_ENTRY
};
inline constexpr int kToolCount = sizeof(kTools) / sizeof(kTools[0]);

// Tools with a button, in button order, come first.
inline constexpr int kToolButtonCount = 10;
static_assert(kTools[kToolButtonCount - 1].name[0] != '\0' && kTools[kToolButtonCount].name[0] == '\0');

// The entry of a tool letter; null for a letter that is no tool.
constexpr const ToolEntry* findTool(int letter)
{
    for (const ToolEntry& t : kTools)
        if (t.letter == letter)
            return &t;
    return nullptr;
}

constexpr bool toolRecordsUndo(int letter)
{
    const ToolEntry* t = findTool(letter);
    return t && t->recordsUndo;
}

constexpr bool toolPauses(int letter)
{
    const ToolEntry* t = findTool(letter);
    return t && t->pauses;
}

} // namespace Zeb::Kamblo
