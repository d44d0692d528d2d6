#pragma once
// One open scene: its engine, its frame timer and its window.
#include "zeb_keys.h"
#include "zeb_motion_sensor.h"

#include <wx/frame.h>
#include <wx/timer.h>

#include <memory>
#include <string>

namespace Zeb::Kamblo {
class RevivezoRora;
}
class ZebAppDelegate;
class ZebView;

class ZebDocument : public wxEvtHandler {
public:
    // untitledNumber tells apart the untitled windows: "Untitled",
    // "Untitled 2", ...
    ZebDocument(ZebAppDelegate& app, int untitledNumber);
    ~ZebDocument() override;
    ZebDocument(const ZebDocument&) = delete;
    ZebDocument& operator=(const ZebDocument&) = delete;

    Zeb::Kamblo::RevivezoRora& engine() { return *imp; }
    ZebView& view() { return *canvas; }
    wxFrame& window() { return *frame; }
    const std::string& path() const { return filePath; }
    int untitledNumber() const { return untitled; }
    std::string displayName() const;

    // Opening: the working directory becomes the scene's folder (its image
    // names are relative to it), then the left button gets the Arrow tool.
    // False, with the scene untouched, when the file cannot be read.
    bool readFromFile(const std::string& path, std::string* error);
    // Reads a demo scene but stays untitled, so Save asks for a new name.
    bool readTemplate(const std::string& path);
    bool writeToFile(const std::string& path, std::string* error);
    // Loads into this document (a dropped scene), telling the user on failure.
    void loadDroppedScene(const std::string& path);

    // Menu actions.
    void save();
    void saveAs();
    void exportPicture();
    void undo();
    void clear();
    // Closes the window; asks first when the scene is modified (false: the
    // user cancelled and the window stays).
    bool close();

    // Timer tick: steps and redraws unless paused or a dialog is open.
    void run();
    int timerInterval() const { return interval; }
    bool motionSensorFlag() const { return tilt; }
    void setMotionSensorFlag(bool flag);

    // Key-value access for the panels; each setter announces the change.
    void setNumber(const ZebKey& key, double value);
    void setText(const ZebKey& key, const std::string& value);
    void setColor(const ZebKey& key, ZebRGBA value);
    void didChange(std::string_view key);
    // The scene differs from its file: the title shows it, and closing asks
    // whether to save.
    bool isModified() const { return modified; }
    void markModified();
    // Before the scene would be lost: Save, Don't Save or Cancel; false when
    // the user cancelled or the save failed.
    bool confirmDiscard();
    void postRedisplay();

    // Dialogs of this window suspend its ticks while they are open.
    class ModalScope {
    public:
        explicit ModalScope(ZebDocument& d) : document(d) { ++document.modalDepth; }
        ~ModalScope() { --document.modalDepth; }

    private:
        ZebDocument& document;
    };
    bool hasModalDialog() const { return modalDepth > 0; }

private:
    void restartTimer();
    void onTimer(wxTimerEvent&);
    void onMenu(wxCommandEvent& event);
    void onCloseWindow(wxCloseEvent& event);
    void onActivate(wxActivateEvent& event);
    void updateTitle();
    void showError(const wxString& message);
    bool read(const std::string& path, bool adopt, std::string* error);

    ZebAppDelegate& app;
    Zeb::Kamblo::RevivezoRora* imp = nullptr;
    wxFrame* frame = nullptr;
    ZebView* canvas = nullptr;
    wxTimer timer;
    int interval = 0;
    std::unique_ptr<ZebMotionSensor> motionSensor;
    bool tilt = false;
    int modalDepth = 0;
    bool closed = false;
    bool modified = false;
    int untitled = 1;
    std::string filePath;
};
