#pragma once
// The custom panel controls: material buttons tinted with their material's
// colour, colour wells that can be made active, and image-name fields that
// accept a dropped file.
#include "zeb_keys.h"

#include <wx/control.h>
#include <wx/textctrl.h>

#include <functional>
#include <string>

// A material button: its tag is the material code.
class ZebButtonCell : public wxControl {
public:
    ZebButtonCell(wxWindow* parent, int tag, const wxString& title, std::function<void(int)> pressed);

    int tag() const { return materialTag; }
    bool isOn() const { return on; }
    void setOn(bool state);

    wxSize DoGetBestSize() const override;

private:
    void onPaint(wxPaintEvent&);
    void onClick(wxMouseEvent&);

    int materialTag;
    bool on = false;
    wxColour shadow, normalColor, hilightColor;
    std::function<void(int)> press;
};

// A colour well. A click makes it active and offers the colour dialog; a
// second click makes it inactive. While the next-colour well is active,
// painting uses its colour instead of the material's.
class ZebColorWell : public wxControl {
public:
    ZebColorWell(wxWindow* parent, std::function<void(ZebRGBA)> changed,
                 std::function<void(ZebColorWell&)> activation);

    bool isActive() const { return active; }
    void activate();
    void deactivate();
    ZebRGBA color() const { return value; }
    void setColor(ZebRGBA color);
    // Runs the colour dialog (a hook so the document can suspend its timer).
    std::function<bool(ZebRGBA&)> chooseColor;

    wxSize DoGetBestSize() const override { return FromDIP(wxSize(64, 28)); }

private:
    void onPaint(wxPaintEvent&);
    void onClick(wxMouseEvent&);

    bool active = false;
    ZebRGBA value;
    std::function<void(ZebRGBA)> change;
    std::function<void(ZebColorWell&)> activationChanged;
};

// A text field bound to one image-name key; Enter or a dropped file stores
// the path through that key.
class ZebPathField : public wxTextCtrl {
public:
    ZebPathField(wxWindow* parent, const ZebKey& key, std::function<void(const ZebKey&, const std::string&)> store);

    const ZebKey& key() const { return boundKey; }
    void acceptPath(const std::string& path);

private:
    const ZebKey& boundKey;
    std::function<void(const ZebKey&, const std::string&)> storeValue;
};
