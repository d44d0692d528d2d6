#pragma once
// The floating panels and the bindings of their controls to the active
// document's keys.
#include "zeb_keys.h"

#include <functional>
#include <string_view>
#include <vector>

#include <wx/window.h>

class wxCheckBox;
class wxGrid;
class wxGridEvent;
class ZebAppDelegate;
class ZebButtonCell;
class ZebColorWell;
class ZebDocument;
class ZebPanel;
class ZebPathField;

// The first document window's size; the panels are placed around it.
inline constexpr int kDocumentWidth = 620, kDocumentHeight = 480;

class ZebPanels {
public:
    explicit ZebPanels(ZebAppDelegate& app);
    ~ZebPanels();

    // Refreshes every control whose key depends on the announced key.
    void refresh(std::string_view announced);

    ZebPanel* materials = nullptr;
    ZebPanel* tools = nullptr;
    ZebPanel* scene = nullptr;
    ZebPanel* parameters = nullptr;
    ZebPanel* colors = nullptr;
    ZebPanel* images = nullptr;
    std::vector<ZebPanel*> all() const { return {materials, tools, scene, parameters, colors, images}; }

    std::vector<ZebButtonCell*> materialButtons;
    wxGrid* parameterTable = nullptr;
    ZebColorWell* nextColorWell = nullptr;
    ZebColorWell* clearColorWell = nullptr;
    wxCheckBox* pauseBox = nullptr;
    std::vector<ZebPathField*> pathFields;

private:
    struct Binding {
        const ZebKey* key;
        std::function<void(ZebDocument&)> refresh;
    };
    void bind(const ZebKey* key, std::function<void(ZebDocument&)> refresh);
    static const ZebKey* key(const char* name);

    void arrange();
    void buildMaterials();
    void buildTools();
    void buildScene();
    void buildParameters();
    void buildColors();
    void buildImages();

    wxWindow* checkBox(wxWindow* parent, const ZebKey* key, const wxString& label);
    wxWindow* slider(wxWindow* parent, const ZebKey* key, int minimum, int maximum, double factor);
    wxWindow* spin(wxWindow* parent, const ZebKey* key, int minimum, int maximum);
    wxWindow* choice(wxWindow* parent, const ZebKey* key, const std::vector<std::pair<wxString, int>>& items);
    void onTableEdited(wxGridEvent& event);

    ZebAppDelegate& app;
    std::vector<Binding> bindings;
};
