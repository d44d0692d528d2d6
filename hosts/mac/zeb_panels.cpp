#include "zeb_panels.h"

#include "particle_beat.h"
#include "zeb_app_delegate.h"
#include "zeb_controls.h"
#include "zeb_document.h"
#include "zeb_panel.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/display.h>
#include <wx/settings.h>
#include <wx/choice.h>
#include <wx/colordlg.h>
#include <wx/grid.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace {

ZebPanel* makePanel(const wxString& title, wxPoint position) { return new ZebPanel(title, position); }

// Gives the panel's content its natural size.
void finish(ZebPanel* panel, wxWindow* content, wxSizer* sizer) {
    content->SetSizer(sizer);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(content, 1, wxEXPAND);
    panel->SetSizerAndFit(outer);
}

ZebRGBA fromColour(const wxColour& c) {
    return ZebRGBA{c.Red() / 255.0f, c.Green() / 255.0f, c.Blue() / 255.0f, c.Alpha() / 255.0f};
}

} // namespace

const ZebKey* ZebPanels::key(const char* name) {
    const ZebKey* k = zebFindKey(name);
    wxASSERT_MSG(k, name);
    return k;
}

ZebPanels::ZebPanels(ZebAppDelegate& delegate) : app(delegate) {
    buildMaterials();
    buildTools();
    buildScene();
    buildParameters();
    buildColors();
    buildImages();
    arrange();
}

// Beside and below a document window at the screen's top left, without
// overlapping one another.
// The parameter panel's height where there is room for it.
constexpr int kParameterPanelHeight = 440;

void ZebPanels::arrange() {
    const int gap = 8;
    const wxRect screen = wxDisplay(0u).GetClientArea();
    wxRect m = materials->GetRect();
    m.SetPosition(wxPoint(kDocumentWidth + gap, 0));
    materials->SetPosition(m.GetPosition());
    tools->SetPosition(wxPoint(m.GetLeft(), m.GetBottom() + gap));
    colors->SetPosition(wxPoint(0, kDocumentHeight + gap));
    images->SetPosition(wxPoint(colors->GetRect().GetRight() + gap, kDocumentHeight + gap));
    // The parameter table beside the materials where the screen is wide
    // enough, else below the colours and images.
    const wxSize table(parameters->GetSize().x, kParameterPanelHeight);
    if (m.GetRight() + gap + table.x <= screen.GetRight())
        parameters->SetSize(m.GetRight() + gap, 0, table.x, table.y);
    else {
        // Shortened to the room left below them; the table scrolls.
        const int top = std::max(colors->GetRect().GetBottom(), images->GetRect().GetBottom()) + gap;
        parameters->SetSize(0, top, table.x, std::min(table.y, screen.GetBottom() + 1 - top));
    }
    scene->SetPosition(wxPoint(tools->GetRect().GetRight() + gap, m.GetBottom() + gap));
    if (parameters->GetRect().GetLeft() > 0)
        scene->SetPosition(wxPoint(tools->GetRect().GetRight() + gap,
                                   std::max(m.GetBottom(), parameters->GetRect().GetBottom()) + gap));
    // A small screen: every panel moves left and up until it is whole.
    for (ZebPanel* panel : all()) {
        wxRect r = panel->GetRect();
        r.x = std::max(screen.x, std::min(r.x, screen.GetRight() + 1 - r.width));
        r.y = std::max(screen.y, std::min(r.y, screen.GetBottom() + 1 - r.height));
        panel->SetPosition(r.GetPosition());
    }
}

// The panels are top-level windows: wx destroys them when the application
// ends, after this object.
ZebPanels::~ZebPanels() = default;

void ZebPanels::bind(const ZebKey* k, std::function<void(ZebDocument&)> refresh) {
    bindings.push_back({k, std::move(refresh)});
}

void ZebPanels::refresh(std::string_view announced) {
    ZebDocument* document = app.currentDocument();
    if (!document) return;
    for (Binding& binding : bindings)
        if (zebKeyRefreshesOn(binding.key->name, announced)) binding.refresh(*document);
}

wxWindow* ZebPanels::checkBox(wxWindow* parent, const ZebKey* k, const wxString& label) {
    auto* box = new wxCheckBox(parent, wxID_ANY, label);
    box->Bind(wxEVT_CHECKBOX, [this, k](wxCommandEvent& event) {
        if (ZebDocument* d = app.currentDocument()) d->setNumber(*k, event.IsChecked() ? 1.0 : 0.0);
    });
    bind(k, [box, k](ZebDocument& d) { box->SetValue(k->getNumber(d.engine()) != 0.0); });
    return box;
}

wxWindow* ZebPanels::slider(wxWindow* parent, const ZebKey* k, int minimum, int maximum, double factor) {
    auto* s = new wxSlider(parent, wxID_ANY, minimum, minimum, maximum, wxDefaultPosition, wxSize(180, -1));
    s->Bind(wxEVT_SLIDER, [this, k, s, factor](wxCommandEvent&) {
        if (ZebDocument* d = app.currentDocument()) d->setNumber(*k, s->GetValue() / factor);
    });
    bind(k, [s, k, factor](ZebDocument& d) {
        double v = std::round(k->getNumber(d.engine()) * factor);
        s->SetValue(static_cast<int>(std::clamp(v, double(s->GetMin()), double(s->GetMax()))));
    });
    return s;
}

wxWindow* ZebPanels::spin(wxWindow* parent, const ZebKey* k, int minimum, int maximum) {
    auto* s = new wxSpinCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS,
                             minimum, maximum, minimum);
    s->Bind(wxEVT_SPINCTRL, [this, k, s](wxSpinEvent&) {
        if (ZebDocument* d = app.currentDocument()) d->setNumber(*k, s->GetValue());
    });
    bind(k, [s, k](ZebDocument& d) { s->SetValue(static_cast<int>(k->getNumber(d.engine()))); });
    return s;
}

wxWindow* ZebPanels::choice(wxWindow* parent, const ZebKey* k, const std::vector<std::pair<wxString, int>>& items) {
    auto* c = new wxChoice(parent, wxID_ANY);
    for (const auto& item : items) c->Append(item.first);
    c->Bind(wxEVT_CHOICE, [this, k, c, items](wxCommandEvent&) {
        int selected = c->GetSelection();
        ZebDocument* d = app.currentDocument();
        if (d && selected >= 0) d->setNumber(*k, items[selected].second);
    });
    bind(k, [c, k, items](ZebDocument& d) {
        int value = static_cast<int>(k->getNumber(d.engine()));
        int selection = wxNOT_FOUND;
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].second == value) selection = static_cast<int>(i);
        c->SetSelection(selection);
    });
    return c;
}

void ZebPanels::buildMaterials() {
    materials = makePanel("Materials", wxPoint(810, 0));
    auto* content = new wxPanel(materials);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* grid = new wxGridSizer(0, 4, 2, 2);
    const ZebKey* material = key("nextMaterial");
    for (const Zeb::Kamblo::MaterialEntry& m : Zeb::Kamblo::kMaterials) {
        auto* button = new ZebButtonCell(content, m.code, m.name, [this, material](int tag) {
            if (ZebDocument* d = app.currentDocument()) d->setNumber(*material, tag);
        });
        materialButtons.push_back(button);
        grid->Add(button, 0, wxEXPAND);
    }
    bind(material, [this, material](ZebDocument& d) {
        int code = static_cast<int>(material->getNumber(d.engine()));
        for (ZebButtonCell* b : materialButtons) b->setOn(b->tag() == code);
    });
    sizer->Add(grid, 0, wxEXPAND | wxALL, 4);

    auto* attributes = new wxGridSizer(0, 4, 0, 6);
    for (const ZebKey& k : zebKeys()) {
        std::string name = k.name;
        if (k.parameter || !name.starts_with("next") || !name.ends_with("Attribute")) continue;
        // "nextAeratedAttribute" is shown as "Aerated".
        attributes->Add(checkBox(content, &k, wxString::FromUTF8(name.substr(4, name.size() - 4 - 9))));
    }
    sizer->Add(attributes, 0, wxALL, 4);
    auto* layer = new wxBoxSizer(wxHORIZONTAL);
    layer->Add(new wxStaticText(content, wxID_ANY, "Layer"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    layer->Add(spin(content, key("nextLayer"), -1000, 1000));
    sizer->Add(layer, 0, wxALL, 4);
    finish(materials, content, sizer);
}

void ZebPanels::buildTools() {
    tools = makePanel("Tools", wxPoint(810, 420));
    auto* content = new wxPanel(tools);
    auto* grid = new wxFlexGridSizer(2, 4, 8);
    std::vector<std::pair<wxString, int>> toolItems;
    for (const Zeb::Kamblo::ToolEntry& t : Zeb::Kamblo::kTools)
        if (t.hasButton()) toolItems.emplace_back(t.name, t.letter);
    const std::pair<const char*, const char*> buttons[] = {
        {"Left Button", "leftButtonTool"}, {"Right Button", "rightButtonTool"}, {"Other Button", "otherButtonTool"}};
    for (const auto& [title, name] : buttons) {
        grid->Add(new wxStaticText(content, wxID_ANY, title), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(choice(content, key(name), toolItems));
    }
    grid->Add(new wxStaticText(content, wxID_ANY, "Shape"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(choice(content, key("templateShape"), {{"Line", 1}, {"Rectangle", 2}, {"Oval", 3}}));
    const std::pair<const char*, const char*> operations[] = {{"Lower-Case Keys", "lowerCaseKeyOperation"},
                                                              {"Upper-Case Keys", "upperCaseKeyOperation"},
                                                              {"Number Keys", "numberKeyOperation"},
                                                              {"Arrow Keys", "arrowKeyOperation"}};
    for (const auto& [title, name] : operations) {
        grid->Add(new wxStaticText(content, wxID_ANY, title), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(spin(content, key(name), 0, 16));
    }
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    auto* undo = new wxButton(content, wxID_ANY, "Undo");
    undo->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (ZebDocument* d = app.currentDocument()) d->undo();
    });
    const ZebKey* canUndo = key("canUndo");
    bind(canUndo, [undo, canUndo](ZebDocument& d) { undo->Enable(canUndo->getNumber(d.engine()) != 0.0); });
    auto* clear = new wxButton(content, wxID_ANY, "Clear");
    clear->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (ZebDocument* d = app.currentDocument()) d->clear();
    });
    row->Add(undo, 0, wxRIGHT, 6);
    row->Add(clear);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(grid, 0, wxALL, 6);
    sizer->Add(row, 0, wxALL, 6);
    finish(tools, content, sizer);
}

void ZebPanels::buildScene() {
    scene = makePanel("Scene", wxPoint(1100, 420));
    auto* content = new wxPanel(scene);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* clock = new wxBoxSizer(wxHORIZONTAL);
    clock->Add(new wxStaticText(content, wxID_ANY, "Time"), 0, wxRIGHT, 6);
    // The clock to a hundredth: the float's every digit only flickers.
    auto* time = new wxStaticText(content, wxID_ANY, "0.00", wxDefaultPosition, wxSize(120, -1));
    const ZebKey* timeKey = key("time");
    bind(timeKey, [time, timeKey](ZebDocument& d) {
        time->SetLabel(wxString::Format("%.2f", timeKey->getNumber(d.engine())));
    });
    clock->Add(time);
    sizer->Add(clock, 0, wxALL, 4);
    // One switch per boolean scene parameter.
    auto* switches = new wxGridSizer(0, 2, 0, 6);
    for (const ZebKey* k : zebParameterKeys()) {
        if (k->kind != ZebKeyKind::Bool) continue;
        wxWindow* box = checkBox(content, k, wxString::FromUTF8(k->name));
        if (std::string_view(k->name) == "pauseFlag") pauseBox = static_cast<wxCheckBox*>(box);
        switches->Add(box);
    }
    sizer->Add(switches, 0, wxALL, 4);
    auto* sliders = new wxFlexGridSizer(2, 2, 6);
    auto addSlider = [&](const char* title, const char* name, int minimum, int maximum, double factor) {
        sliders->Add(new wxStaticText(content, wxID_ANY, title), 0, wxALIGN_CENTER_VERTICAL);
        sliders->Add(slider(content, key(name), minimum, maximum, factor));
    };
    addSlider("Scale", "scale", 1, 32, 1.0);
    addSlider("Gravity Angle", "gravityAngle", -180, 180, 180.0 / M_PI);
    addSlider("Gravity", "gravityAmplification", 0, 10, 1.0);
    addSlider("Steps per Frame", "timeStepsPerFrame", 1, 32, 1.0);
    addSlider("Render Mode", "renderMode", 1, 7, 1.0);
    sizer->Add(sliders, 0, wxALL, 4);
    finish(scene, content, sizer);
}

void ZebPanels::buildParameters() {
    parameters = makePanel("Parameters", wxPoint(1100, 0));
    auto* content = new wxPanel(parameters);
    parameterTable = new wxGrid(content, wxID_ANY, wxDefaultPosition, wxSize(300, 400));
    const auto& keys = zebParameterKeys();
    parameterTable->CreateGrid(static_cast<int>(keys.size()), 2);
    parameterTable->HideRowLabels();
    parameterTable->SetColLabelValue(0, "name");
    parameterTable->SetColLabelValue(1, "value");
    for (int row = 0; row < static_cast<int>(keys.size()); ++row) {
        parameterTable->SetCellValue(row, 0, keys[row]->name);
        parameterTable->SetReadOnly(row, 0);
        bind(keys[row], [this, row, k = keys[row]](ZebDocument& d) {
            if (parameterTable->IsCellEditControlShown() && parameterTable->GetGridCursorRow() == row) return;
            parameterTable->SetCellValue(row, 1, wxString::FromUTF8(zebFormatValue(*k, d.engine())));
        });
    }
    parameterTable->AutoSizeColumn(0);
    parameterTable->SetColSize(1, 110);
    // Both columns fit: the table never scrolls sideways, which would cut
    // the names off after an edit.
    parameterTable->ShowScrollbars(wxSHOW_SB_NEVER, wxSHOW_SB_ALWAYS);
    parameterTable->SetMinSize(wxSize(parameterTable->GetColSize(0) + parameterTable->GetColSize(1) +
                                          wxSystemSettings::GetMetric(wxSYS_VSCROLL_X) + 4,
                                      200));
    parameterTable->Bind(wxEVT_GRID_CELL_CHANGED, &ZebPanels::onTableEdited, this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(parameterTable, 1, wxEXPAND);
    finish(parameters, content, sizer);
}

void ZebPanels::onTableEdited(wxGridEvent& event) {
    int row = event.GetRow();
    const auto& keys = zebParameterKeys();
    ZebDocument* d = app.currentDocument();
    if (!d || row < 0 || row >= static_cast<int>(keys.size())) return;
    const ZebKey& k = *keys[row];
    if (zebParseValue(k, d->engine(), parameterTable->GetCellValue(row, 1).utf8_string())) {
        d->didChange(zebAnnouncedKey(k));
        d->postRedisplay();
    } else {
        wxBell();
        parameterTable->SetCellValue(row, 1, wxString::FromUTF8(zebFormatValue(k, d->engine())));
    }
}

void ZebPanels::buildColors() {
    colors = makePanel("Colors", wxPoint(810, 640));
    auto* content = new wxPanel(colors);
    auto* grid = new wxFlexGridSizer(2, 4, 8);
    auto chooser = [this](ZebRGBA& c) {
        ZebDocument* d = app.currentDocument();
        wxColourData data;
        data.SetColour(wxColour(static_cast<unsigned char>(c.r * 255), static_cast<unsigned char>(c.g * 255),
                                static_cast<unsigned char>(c.b * 255)));
        data.SetChooseAlpha(false);
        std::optional<ZebDocument::ModalScope> modal;
        if (d) modal.emplace(*d);
        wxColourDialog dialog(d ? &d->window() : nullptr, &data);
        if (dialog.ShowModal() != wxID_OK) return false;
        ZebRGBA chosen = fromColour(dialog.GetColourData().GetColour());
        chosen.a = c.a;
        c = chosen;
        return true;
    };
    const ZebKey* next = key("nextColor");
    nextColorWell = new ZebColorWell(
        content,
        [this, next](ZebRGBA c) {
            if (ZebDocument* d = app.currentDocument()) d->setColor(*next, c);
        },
        [this](ZebColorWell& well) { app.nextColorWellChanged(well); });
    nextColorWell->chooseColor = chooser;
    bind(next, [this, next](ZebDocument& d) { nextColorWell->setColor(next->getColor(d.engine())); });
    const ZebKey* clear = key("clearColor");
    clearColorWell = new ZebColorWell(
        content,
        [this, clear](ZebRGBA c) {
            if (ZebDocument* d = app.currentDocument()) d->setColor(*clear, c);
        },
        [](ZebColorWell&) {});
    clearColorWell->chooseColor = chooser;
    bind(clear, [this, clear](ZebDocument& d) { clearColorWell->setColor(clear->getColor(d.engine())); });
    grid->Add(new wxStaticText(content, wxID_ANY, "Next Color"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(nextColorWell);
    grid->Add(new wxStaticText(content, wxID_ANY, "Clear Color"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(clearColorWell);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(grid, 0, wxALL, 6);
    sizer->Add(new wxStaticText(content, wxID_ANY, "While Next Color is active,\npainting uses it."), 0, wxALL, 6);
    finish(colors, content, sizer);
}

void ZebPanels::buildImages() {
    images = makePanel("Images", wxPoint(1100, 640));
    auto* content = new wxPanel(images);
    auto* grid = new wxFlexGridSizer(2, 4, 8);
    grid->AddGrowableCol(1);
    const std::pair<const char*, const char*> names[] = {{"Background", "backgroundImageName"},
                                                         {"Foreground", "foregroundImageName"},
                                                         {"Fire", "fireImageName"},
                                                         {"Splash", "splashImageName"},
                                                         {"Bubble", "bubbleImageName"}};
    for (const auto& [title, name] : names) {
        const ZebKey* k = key(name);
        auto* field = new ZebPathField(content, *k, [this](const ZebKey& bound, const std::string& path) {
            if (ZebDocument* d = app.currentDocument()) d->setText(bound, path);
        });
        field->SetMinSize(wxSize(200, -1));
        pathFields.push_back(field);
        bind(k, [field, k](ZebDocument& d) {
            if (!field->HasFocus()) field->ChangeValue(wxString::FromUTF8(k->getText(d.engine())));
        });
        grid->Add(new wxStaticText(content, wxID_ANY, title), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(field, 1, wxEXPAND);
    }
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(grid, 1, wxEXPAND | wxALL, 6);
    finish(images, content, sizer);
}
