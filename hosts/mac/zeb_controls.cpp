#include "zeb_controls.h"

#include "particle_beat.h"

#include <wx/colordlg.h>
#include <wx/dcbuffer.h>
#include <wx/dnd.h>
#include <wx/graphics.h>
#include <wx/settings.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

unsigned char toByte(float component) {
    return static_cast<unsigned char>(std::clamp(component, 0.0f, 1.0f) * 255.0f);
}

wxColour toColour(ZebRGBA c, float alpha) { return wxColour(toByte(c.r), toByte(c.g), toByte(c.b), toByte(alpha)); }

wxRect inset(const wxRect& r, int by) { return wxRect(r).Deflate(by); }

} // namespace

ZebButtonCell::ZebButtonCell(wxWindow* parent, int tag, const wxString& title, std::function<void(int)> pressed)
    : wxControl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE), materialTag(tag),
      press(std::move(pressed)) {
    SetLabel(title);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    ZebRGBA c;
    Zeb::Kamblo::RevivezoRora::getMaterialColor(tag, c.r, c.g, c.b, c.a);
    shadow = toColour(c, 1.0f);
    normalColor = toColour(c, 0.7f);
    hilightColor = toColour(c, 0.5f);
    Bind(wxEVT_PAINT, &ZebButtonCell::onPaint, this);
    Bind(wxEVT_LEFT_DOWN, &ZebButtonCell::onClick, this);
}

void ZebButtonCell::setOn(bool state) {
    if (on == state) return;
    on = state;
    Refresh();
}

wxSize ZebButtonCell::DoGetBestSize() const {
    wxSize text = GetTextExtent(GetLabel());
    return wxSize(std::max(text.x + FromDIP(16), FromDIP(72)), text.y + FromDIP(14));
}

void ZebButtonCell::onPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    wxRect frame(GetClientSize());
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    if (gc) {
        gc->SetPen(*wxTRANSPARENT_PEN);
        if (on) {
            // A glow of the material's colour around the button (blur radius 4).
            wxRect glow = inset(frame, 4);
            for (int spread = 4; spread >= 1; --spread) {
                wxColour halo(shadow.Red(), shadow.Green(), shadow.Blue(), static_cast<unsigned char>(40 + 30 * (4 - spread)));
                gc->SetBrush(wxBrush(halo));
                wxRect r = wxRect(glow).Inflate(spread - 1);
                gc->DrawRoundedRectangle(r.x, r.y, r.width, r.height, 4);
            }
            wxRect interior = inset(frame, 3);
            gc->SetBrush(wxBrush(hilightColor));
            gc->DrawRectangle(interior.x, interior.y, interior.width, interior.height);
        } else {
            wxRect interior = inset(frame, 3);
            double stripHeight = interior.height / 4.0;
            gc->SetBrush(wxBrush(normalColor));
            gc->DrawRectangle(interior.x, interior.y + interior.height * 0.75, interior.width, stripHeight);
        }
    }
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(inset(frame, 2));
    dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT));
    dc.SetFont(GetFont());
    dc.DrawLabel(GetLabel(), frame, wxALIGN_CENTER);
}

void ZebButtonCell::onClick(wxMouseEvent&) {
    if (press) press(materialTag);
}

ZebColorWell::ZebColorWell(wxWindow* parent, std::function<void(ZebRGBA)> changed,
                           std::function<void(ZebColorWell&)> activation)
    : wxControl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE), change(std::move(changed)),
      activationChanged(std::move(activation)) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &ZebColorWell::onPaint, this);
    Bind(wxEVT_LEFT_DOWN, &ZebColorWell::onClick, this);
}

void ZebColorWell::activate() {
    if (active) return;
    active = true;
    Refresh();
    if (activationChanged) activationChanged(*this);
}

void ZebColorWell::deactivate() {
    if (!active) return;
    active = false;
    Refresh();
    if (activationChanged) activationChanged(*this);
}

void ZebColorWell::setColor(ZebRGBA color) {
    value = color;
    Refresh();
}

void ZebColorWell::onPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    wxRect frame(GetClientSize());
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    // An active well wears a thick frame, like a pressed-in button.
    dc.SetPen(wxPen(wxSystemSettings::GetColour(active ? wxSYS_COLOUR_HIGHLIGHT : wxSYS_COLOUR_BTNSHADOW),
                    active ? 3 : 1));
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.DrawRectangle(frame);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(toColour(value, 1.0f)));
    dc.DrawRectangle(inset(frame, 5));
}

void ZebColorWell::onClick(wxMouseEvent&) {
    if (active) {
        deactivate();
        return;
    }
    activate();
    ZebRGBA chosen = value;
    if (chooseColor && chooseColor(chosen)) {
        setColor(chosen);
        if (change) change(chosen);
    }
}

namespace {

// Accepts exactly one file.
class PathDropTarget : public wxFileDropTarget {
public:
    explicit PathDropTarget(ZebPathField& f) : field(f) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) override {
        if (files.size() != 1) return false;
        field.acceptPath(files[0].utf8_string());
        return true;
    }

private:
    ZebPathField& field;
};

} // namespace

ZebPathField::ZebPathField(wxWindow* parent, const ZebKey& key,
                           std::function<void(const ZebKey&, const std::string&)> store)
    : wxTextCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_PROCESS_ENTER),
      boundKey(key), storeValue(std::move(store)) {
    SetDropTarget(new PathDropTarget(*this));
    Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { acceptPath(GetValue().utf8_string()); });
}

void ZebPathField::acceptPath(const std::string& path) {
    ChangeValue(wxString::FromUTF8(path));
    if (storeValue) storeValue(boundKey, path);
}
