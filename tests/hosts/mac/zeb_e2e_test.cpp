// The real application under Xvfb, driven by synthetic X input events.
#include "particle_beat.h"
#include "zeb_app_delegate.h"
#include "zeb_controls.h"
#include "zeb_document.h"
#include "zeb_keys.h"
#include "zeb_panel.h"
#include "zeb_panels.h"
#include "zeb_view.h"
#include "save_question.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/display.h>
#include <wx/grid.h>
#include <wx/log.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

wxIMPLEMENT_APP_NO_MAIN(ZebAppDelegate);

namespace fs = std::filesystem;
using Zeb::Kamblo::RevivezoRora;

namespace {

ZebAppDelegate* app = nullptr;
fs::path workFolder;

wxEventLoopBase* loop = nullptr;

// One event at a time: with the documents' timers always due, wxYield would
// never run out of events to process.
void pump(int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        loop->DispatchTimeout(5);
        app->ProcessPendingEvents();
    } while (std::chrono::steady_clock::now() < end);
}

bool waitUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        pump(10);
    }
    return true;
}

// Input comes from xdotool, outside the process: wxUIActionSimulator waits
// with wxYield, which never returns while the documents' timers keep firing.
void xdotool(const std::string& arguments) {
    std::string command = "xdotool " + arguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    pump(80);
}

void moveTo(wxPoint screen) { xdotool("mousemove " + std::to_string(screen.x) + " " + std::to_string(screen.y)); }

wxPoint centreOf(wxWindow* window) { return window->GetScreenRect().GetPosition() + window->GetSize() / 2; }

void click(wxWindow* window) {
    moveTo(centreOf(window));
    pump(100);
    xdotool("click 1");
    pump(100);
}

// Keys go to the window under the pointer (no window manager).
void typeInto(wxWindow* window, const std::string& keyName) {
    moveTo(centreOf(window));
    window->SetFocus();
    pump(50);
    xdotool("key " + keyName);
    pump(100);
}

fs::path copyScene(const char* name) {
    fs::path target = workFolder / name;
    fs::copy_file(fs::path(PUDLET_SCENES_SOURCE_DIR) / name, target, fs::copy_options::overwrite_existing);
    return target;
}

ZebDocument* firstDocument = nullptr;

// Errors the application reports, instead of message boxes.
class CapturedLog : public wxLog {
public:
    std::vector<wxString> errors;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo&) override {
        if (level <= wxLOG_Error) errors.push_back(message);
    }
};
CapturedLog* capturedLog = nullptr;

// The end-to-end test answers the unsaved-changes question itself.
PudletHost::SaveChoice saveAnswer = PudletHost::SaveChoice::discard;

} // namespace

TEST(ZebE2E, ASceneThatCannotBeOpenedKeepsThePanels) {
    // As at start-up with "PudletMac missing.pdl": no other window yet.
    ASSERT_TRUE(app->documents().empty());
    app->quitWhenLastDocumentCloses = true;
    capturedLog->errors.clear();
    const fs::path missing = workFolder / "missing.pdl";
    EXPECT_EQ(app->openDocument(missing.string()), nullptr);
    pump(200);
    app->quitWhenLastDocumentCloses = false;
    ASSERT_EQ(capturedLog->errors.size(), 1u);
    EXPECT_EQ(capturedLog->errors[0], missing.string() + ": no such scene file");
    EXPECT_TRUE(app->documents().empty());
    for (ZebPanel* panel : app->panels().all()) EXPECT_TRUE(panel->IsShown()) << panel->GetTitle();

    // Random bytes named like a scene open no window either, once the engine
    // refuses what is no scene.
    const fs::path broken = workFolder / "broken.pdl";
    std::ofstream(broken, std::ios::binary) << std::string("\x89\x01\xff garbage \x00\x7f\n\x13", 16);
    RevivezoRora* probe = RevivezoRora::newInstance();
    const bool engineRefuses = !probe->load(broken.c_str());
    RevivezoRora::deleteInstance(probe);
    if (!engineRefuses) GTEST_SKIP() << "this engine still loads a file that is no scene";
    EXPECT_EQ(app->openDocument(broken.string()), nullptr);
    pump(200);
    EXPECT_TRUE(app->documents().empty());
    for (ZebPanel* panel : app->panels().all()) EXPECT_TRUE(panel->IsShown()) << panel->GetTitle();
}

TEST(ZebE2E, OpenedSceneRunsOnItsTimer) {
    firstDocument = app->openDocument(copyScene("dam-break.pdl").string());
    ASSERT_NE(firstDocument, nullptr);
    EXPECT_EQ(firstDocument->window().GetTitle(), "dam-break");
    EXPECT_EQ(firstDocument->engine().leftButtonTool(), 'a');
    EXPECT_EQ(fs::current_path(), workFolder);
    EXPECT_GT(firstDocument->engine().countParticles(), 0);
    // The scene fills its view: the walls follow the view's edges.
    RevivezoRora& e = firstDocument->engine();
    wxSize view = firstDocument->view().GetClientSize();
    EXPECT_NEAR(e.boundsRight(), view.x / e.scale() - e.boundsLeft(), 1e-3);
    EXPECT_NEAR(e.boundsTop(), view.y / e.scale() - e.boundsBottom(), 1e-3);
    firstDocument->window().SetSize(firstDocument->window().GetSize() + wxSize(80, 40));
    pump(300);
    view = firstDocument->view().GetClientSize();
    EXPECT_NEAR(e.boundsRight(), view.x / e.scale() - e.boundsLeft(), 1e-3);
    float start = firstDocument->engine().time();
    EXPECT_TRUE(waitUntil([&] { return firstDocument->engine().time() > start; }));
}

TEST(ZebE2E, PauseStopsTheClock) {
    ASSERT_NE(firstDocument, nullptr);
    firstDocument->window().Raise();
    click(app->panels().pauseBox);
    ASSERT_TRUE(waitUntil([&] { return firstDocument->engine().pauseFlag(); }, 3000));
    EXPECT_TRUE(app->panels().pauseBox->GetValue());
    float paused = firstDocument->engine().time();
    pump(400);
    EXPECT_EQ(firstDocument->engine().time(), paused);
    click(app->panels().pauseBox);
    EXPECT_TRUE(waitUntil([&] { return !firstDocument->engine().pauseFlag(); }, 3000));
    EXPECT_TRUE(waitUntil([&] { return firstDocument->engine().time() > paused; }));
}

TEST(ZebE2E, ParameterTableEditsGravityAngle) {
    ASSERT_NE(firstDocument, nullptr);
    wxGrid* table = app->panels().parameterTable;
    const auto& keys = zebParameterKeys();
    int row = 0;
    while (std::string_view(keys[row]->name) != "gravityAngle") ++row;
    table->MakeCellVisible(row, 1);
    pump(100);
    wxRect cell = table->CellToRect(row, 1);
    wxPoint centre = table->CalcScrolledPosition(cell.GetPosition() + cell.GetSize() / 2);
    moveTo(table->GetGridWindow()->ClientToScreen(centre));
    xdotool("click 1");
    ASSERT_TRUE(waitUntil([&] { return table->GetGridCursorRow() == row; }, 3000));
    // The first key opens the editor; the pause between keys gives it time
    // to come up before the next one (a sanitizer build is slow).
    table->GetGridWindow()->SetFocus();
    pump(100);
    xdotool("type --delay 400 0.5");
    pump(300);
    xdotool("key Return");
    EXPECT_TRUE(waitUntil([&] { return firstDocument->engine().gravityAngle() == 0.5f; }, 3000));
    EXPECT_EQ(table->GetCellValue(row, 1), "0.5");
    // The names stay whole: the table did not scroll sideways.
    EXPECT_EQ(table->GetViewStart().x, 0);
    const wxRect screen = wxDisplay(0u).GetClientArea();
    for (ZebPanel* panel : app->panels().all()) EXPECT_TRUE(screen.Contains(panel->GetRect())) << panel->GetTitle();
}

TEST(ZebE2E, MaterialButtonThenPaint) {
    ASSERT_NE(firstDocument, nullptr);
    RevivezoRora& engine = firstDocument->engine();
    ZebButtonCell* water = nullptr;
    for (ZebButtonCell* b : app->panels().materialButtons)
        if (b->tag() == 'q') water = b;
    ASSERT_NE(water, nullptr);
    typeInto(&firstDocument->view(), "w");
    EXPECT_TRUE(waitUntil([&] { return engine.nextMaterial() == 'w'; }, 3000)) << "a lower-case key chooses the material";
    click(water);
    EXPECT_TRUE(waitUntil([&] { return engine.nextMaterial() == 'q'; }, 3000));
    EXPECT_TRUE(water->isOn());

    // The Tools panel's choice, as the binding sets it.
    firstDocument->setNumber(*zebFindKey("leftButtonTool"), 'b');
    engine.setPauseFlag(true);
    int before = engine.countParticles();
    wxRect area = firstDocument->view().GetScreenRect();
    moveTo(wxPoint(area.x + area.width / 4, area.y + area.height / 4));
    xdotool("mousedown 1");
    for (int i = 1; i <= 10; ++i) moveTo(wxPoint(area.x + area.width / 4 + i * 10, area.y + area.height / 4 + i * 3));
    xdotool("mouseup 1");
    EXPECT_TRUE(waitUntil([&] { return engine.countParticles() > before; }, 3000));
    EXPECT_TRUE(engine.pauseFlag()) << "the stroke restores the pause it found";
    EXPECT_TRUE(engine.canUndo());
    engine.setPauseFlag(false);
}

TEST(ZebE2E, ExportPictureWritesThePainting) {
    ASSERT_NE(firstDocument, nullptr);
    fs::path picture = workFolder / "view.png";
    ASSERT_TRUE(firstDocument->view().exportPicture(picture.string()));
    std::ifstream in(picture, std::ios::binary);
    char signature[8] = {};
    in.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
    EXPECT_GT(fs::file_size(picture), 1000u);
    EXPECT_FALSE(firstDocument->view().exportPicture((workFolder / "missing" / "view.png").string()));
}

TEST(ZebE2E, TabHidesAndShowsThePanels) {
    ASSERT_NE(firstDocument, nullptr);
    ZebPanels& panels = app->panels();
    panels.images->toggleVisible();  // closed by hand
    ASSERT_FALSE(panels.images->IsShown());
    typeInto(&firstDocument->view(), "Tab");
    waitUntil([&] { return !panels.materials->IsShown(); }, 3000);
    for (ZebPanel* panel : panels.all()) EXPECT_FALSE(panel->IsShown()) << panel->GetTitle();
    float angle = firstDocument->engine().gravityAngle();
    typeInto(&firstDocument->view(), "Tab");
    waitUntil([&] { return panels.materials->IsShown(); }, 3000);
    for (ZebPanel* panel : panels.all()) {
        if (panel != panels.images) {
            EXPECT_TRUE(panel->IsShown()) << panel->GetTitle();
        }
    }
    EXPECT_FALSE(panels.images->IsShown()) << "a panel closed by hand stays closed";
    EXPECT_EQ(firstDocument->engine().gravityAngle(), angle);
    panels.images->toggleVisible();
    // Keys typed next still go to the scene, not to a panel's field.
    pump(200);
    const wxString background = panels.pathFields[0]->GetValue();
    typeInto(&firstDocument->view(), "e");
    EXPECT_TRUE(waitUntil([&] { return firstDocument->engine().nextMaterial() == 'e'; }, 3000));
    EXPECT_EQ(panels.pathFields[0]->GetValue(), background);
}

TEST(ZebE2E, MenuShortcutsWorkWhileTheViewHasFocus) {
    ASSERT_NE(firstDocument, nullptr);
    RevivezoRora& engine = firstDocument->engine();
    const int before = engine.countParticles();
    ASSERT_GT(before, 0);
    firstDocument->clear();
    ASSERT_EQ(engine.countParticles(), 0);
    typeInto(&firstDocument->view(), "ctrl+z");
    EXPECT_TRUE(waitUntil([&] { return engine.countParticles() == before; }, 3000)) << "Ctrl+Z undoes";
    const bool parametersShown = app->panels().parameters->IsShown();
    typeInto(&firstDocument->view(), "ctrl+p");
    EXPECT_TRUE(waitUntil([&] { return app->panels().parameters->IsShown() != parametersShown; }, 3000));
    typeInto(&firstDocument->view(), "ctrl+p");
    const size_t windows = app->documents().size();
    typeInto(&firstDocument->view(), "ctrl+n");
    ASSERT_TRUE(waitUntil([&] { return app->documents().size() == windows + 1; }, 3000)) << "Ctrl+N opens a window";
    ZebDocument* fresh = app->documents().back().get();
    EXPECT_EQ(fresh->window().GetTitle(), "Untitled");
    ZebDocument& another = app->newDocument();
    EXPECT_EQ(another.window().GetTitle(), "Untitled 2") << "untitled windows are numbered";
    another.close();
    fresh->close();
    pump(100);
    EXPECT_EQ(app->documents().size(), windows);
}

TEST(ZebE2E, AModifiedSceneAsksBeforeItsWindowCloses) {
    ZebDocument& document = app->newDocument();
    pump(200);
    EXPECT_FALSE(document.window().GetTitle().StartsWith("*"));
    wxRect area = document.view().GetScreenRect();
    moveTo(wxPoint(area.x + area.width / 3, area.y + area.height / 2));
    xdotool("mousedown 1");
    for (int i = 1; i <= 6; ++i) moveTo(wxPoint(area.x + area.width / 3 + i * 12, area.y + area.height / 2));
    xdotool("mouseup 1");
    ASSERT_TRUE(waitUntil([&] { return document.isModified(); }, 3000));
    EXPECT_TRUE(document.window().GetTitle().StartsWith("*Untitled"));
    const size_t windows = app->documents().size();
    saveAnswer = PudletHost::SaveChoice::cancel;
    EXPECT_FALSE(document.window().Close());
    EXPECT_EQ(app->documents().size(), windows);
    EXPECT_TRUE(document.window().IsShown());
    const fs::path saved = workFolder / "painted.pdl";
    ASSERT_TRUE(document.writeToFile(saved.string(), nullptr));
    EXPECT_EQ(document.window().GetTitle(), "painted");
    saveAnswer = PudletHost::SaveChoice::discard;
    document.clear();
    EXPECT_TRUE(document.window().GetTitle().StartsWith("*painted"));
    EXPECT_TRUE(document.close());
    pump(100);
    EXPECT_EQ(app->documents().size(), windows - 1);
}


TEST(ZebE2E, SecondSceneHasItsOwnWindowAndEngine) {
    ASSERT_NE(firstDocument, nullptr);
    ZebDocument* second = app->openDocument(copyScene("steam-cycle.pdl").string());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(app->documents().size(), 2u);
    EXPECT_NE(&second->engine(), &firstDocument->engine());
    EXPECT_NE(&second->window(), &firstDocument->window());
    firstDocument->engine().setPauseFlag(true);
    float firstTime = firstDocument->engine().time();
    float secondStart = second->engine().time();
    EXPECT_TRUE(waitUntil([&] { return second->engine().time() > secondStart; }));
    EXPECT_EQ(firstDocument->engine().time(), firstTime);
    EXPECT_NE(second->engine().gravityAngle(), 0.5f);
    second->close();
    pump(100);
    EXPECT_EQ(app->documents().size(), 1u);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::system("command -v xdotool >/dev/null") != 0) {
        fprintf(stderr, "xdotool is missing: the end-to-end test is skipped\n");
        return 0;
    }
    workFolder = fs::temp_directory_path() / ("pudletmac_e2e_" + std::to_string(::getpid()));
    fs::create_directories(workFolder);
    // Recovery files of its own: none left by other runs to offer at start.
    setenv("XDG_CACHE_HOME", workFolder.c_str(), 1);
    app = new ZebAppDelegate;
    app->quitWhenLastDocumentCloses = false;
    PudletHost::answerSaveQuestionsWith([](const wxString&) { return saveAnswer; });
    wxApp::SetInstance(app);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv) || !app->CallOnInit()) {
        fprintf(stderr, "the application did not start (no display?)\n");
        return 1;
    }
    capturedLog = new CapturedLog;
    delete wxLog::SetActiveTarget(capturedLog);
    loop = app->GetTraits()->CreateEventLoop();
    wxEventLoopBase::SetActive(loop);
    // Only the test's own windows.
    while (!app->documents().empty()) app->documents().back()->close();
    pump(300);
    int result = RUN_ALL_TESTS();
    app->OnExit();
    wxEventLoopBase::SetActive(nullptr);
    delete loop;
    wxEntryCleanup();
    fs::remove_all(workFolder);
    return result;
}
