// The whole application in this process, driven through X with synthetic
// mouse and keyboard events (XTest), under Xvfb.
#include <main_frame.h>
#include <pudlet_app.h>
#include <save_question.h>

#include <gtest/gtest.h>
#include <png.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/scrolwin.h>
#include <wx/tglbtn.h>
#include <wx/uiaction.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Zeb::Kamblo::RevivezoRora;

namespace {

CPudletApp* app = nullptr;
fs::path scratch;

// Tests answer the unsaved-changes question themselves; by default the
// changes of one test are dropped when the next one starts.
PudletHost::SaveChoice discardAll(const wxString&) { return PudletHost::SaveChoice::discard; }

// Lets the toolkit and the idle loop (stepping and drawing) run for `ms`.
void pump(int ms = 50)
{
    wxStopWatch clock;
    do {
        wxYield();
        app->ProcessIdle();
        wxMilliSleep(2);
    } while (clock.Time() < ms);
}

class PudletApp : public testing::Test {
protected:
    void SetUp() override
    {
        frame = app->mainFrame();
        ASSERT_NE(frame, nullptr);
        canvas = frame->view().canvas();
        frame->newDocument();
        // Points draw fastest on a software renderer; the start-up test
        // checks the default style.
        if (::testing::UnitTest::GetInstance()->current_test_info()->name() !=
            std::string("StartsWithTheBarInItsInitialState"))
            engine().setRenderMode(1);
        pump();
    }

    RevivezoRora& engine() { return frame->view().engine(); }

    wxWindow* control(const std::string& name)
    {
        wxWindow* found = wxWindow::FindWindowByName(name, frame);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void click(wxWindow* window)
    {
        ASSERT_NE(window, nullptr);
        sim.MouseMove(window->GetScreenRect().GetPosition() + window->GetScreenRect().GetSize() / 2);
        pump(30);
        sim.MouseClick();
        pump(50);
    }

    // A left-button drag across the canvas, in fractions of its size.
    void drag(double x0, double y0, double x1, double y1)
    {
        const wxSize size = canvas->GetClientSize();
        auto at = [&](double fx, double fy) {
            return canvas->ClientToScreen(wxPoint(static_cast<int>(fx * size.x), static_cast<int>(fy * size.y)));
        };
        sim.MouseMove(at(x0, y0));
        pump(30);
        sim.MouseDown();
        pump(30);
        const int steps = 8;
        for (int i = 1; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            sim.MouseMove(at(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t));
            pump(15);
        }
        sim.MouseUp();
        pump(50);
    }

    void type(const char* text)
    {
        sim.MouseMove(canvas->GetScreenRect().GetPosition() + canvas->GetScreenRect().GetSize() / 2);
        canvas->SetFocus();
        pump(30);
        sim.Text(text);
        pump(50);
    }

    bool checked(const std::string& name) { return static_cast<wxCheckBox*>(control(name))->GetValue(); }
    bool pressed(const std::string& name) { return static_cast<wxToggleButton*>(control(name))->GetValue(); }

    CMainFrame* frame = nullptr;
    wxWindow* canvas = nullptr;
    wxUIActionSimulator sim;
};

TEST_F(PudletApp, StartsWithTheBarInItsInitialState)
{
    EXPECT_TRUE(frame->GetTitle().EndsWith("PUDLET+"));
    EXPECT_TRUE(pressed("material:Wall"));
    EXPECT_TRUE(pressed("tool:Brush"));
    EXPECT_TRUE(checked("check:Gravity"));
    EXPECT_FALSE(checked("check:Drain"));
    EXPECT_EQ(static_cast<wxChoice*>(control("choice:Style"))->GetStringSelection(), "Blob and Texture");
    EXPECT_TRUE(frame->dockManager().GetPane("BasicMenu").IsShown());
    EXPECT_TRUE(frame->dockManager().GetPane("BasicMenu").dock_direction == wxAUI_DOCK_LEFT);
}

TEST_F(PudletApp, WaterButtonAndADragPaintWater)
{
    click(control("material:Water"));
    EXPECT_EQ(engine().nextMaterial(), 'q');
    EXPECT_TRUE(pressed("material:Water"));
    EXPECT_FALSE(pressed("material:Wall"));
    drag(0.3, 0.3, 0.7, 0.35);
    EXPECT_GT(engine().countParticles(), 20);
}

TEST_F(PudletApp, WallAndShapeDrawARectangle)
{
    click(control("material:Wall"));
    click(control("tool:Shape"));
    EXPECT_EQ(engine().leftButtonTool(), 'u');
    EXPECT_TRUE(pressed("tool:Shape"));
    EXPECT_FALSE(pressed("tool:Brush"));
    drag(0.3, 0.6, 0.6, 0.8);
    const int walls = engine().countParticles();
    EXPECT_GT(walls, 50);
    // Walls do not fall or flow: the rectangle stays.
    pump(300);
    EXPECT_EQ(engine().countParticles(), walls);
    click(control("tool:Brush"));
}

TEST_F(PudletApp, CapitalQStartsAndStopsPouring)
{
    type("Q");
    EXPECT_TRUE(engine().pouringFlag());
    EXPECT_EQ(engine().pouringMaterial(), 'q');
    EXPECT_TRUE(checked("check:Pouring"));
    pump(400);
    EXPECT_GT(engine().countParticles(), 0);
    type("Q");
    EXPECT_FALSE(engine().pouringFlag());
    EXPECT_FALSE(checked("check:Pouring"));
}

TEST_F(PudletApp, LettersSelectButtonsAndCapitalWSelectsNothing)
{
    type("e");
    EXPECT_EQ(engine().nextMaterial(), 'e');
    EXPECT_TRUE(pressed("material:Elastic"));
    type("K");
    EXPECT_TRUE(pressed("tool:Slice"));
    EXPECT_EQ(engine().leftButtonTool(), 'k');
    type("W");
    // No tool has W: the bar keeps its buttons, the engine still got the key.
    EXPECT_TRUE(pressed("tool:Slice"));
    EXPECT_TRUE(pressed("material:Elastic"));
    EXPECT_TRUE(engine().pouringFlag());
    EXPECT_EQ(engine().pouringMaterial(), 'w');
    type("W");
    EXPECT_FALSE(engine().pouringFlag());
    click(control("tool:Brush"));
    click(control("material:Wall"));
}

TEST_F(PudletApp, UndoButtonAndCtrlZTakeBackAStroke)
{
    click(control("check:Pause")); // keep the count still
    click(control("material:Water"));
    drag(0.3, 0.4, 0.7, 0.4);
    const int painted = engine().countParticles();
    ASSERT_GT(painted, 0);
    click(control("button:Undo"));
    EXPECT_EQ(engine().countParticles(), 0);
    // Undo of the undo, from the keyboard.
    canvas->SetFocus();
    sim.MouseMove(canvas->GetScreenRect().GetPosition() + canvas->GetScreenRect().GetSize() / 2);
    pump(30);
    sim.Char('z', wxMOD_CONTROL);
    pump(80);
    EXPECT_EQ(engine().countParticles(), painted);
    click(control("check:Pause"));
}

TEST_F(PudletApp, ClearEmptiesTheScene)
{
    click(control("material:Water"));
    drag(0.3, 0.4, 0.7, 0.4);
    ASSERT_GT(engine().countParticles(), 0);
    click(control("button:Clear"));
    EXPECT_EQ(engine().countParticles(), 0);
}

TEST_F(PudletApp, PauseStopsTime)
{
    click(control("material:Water"));
    drag(0.3, 0.3, 0.7, 0.3);
    pump(200);
    click(control("check:Pause"));
    EXPECT_TRUE(engine().pauseFlag());
    const float frozen = engine().time();
    const int frozenStep = engine().timeStep();
    pump(400);
    EXPECT_EQ(engine().time(), frozen);
    EXPECT_EQ(engine().timeStep(), frozenStep);
    click(control("check:Pause"));
    EXPECT_FALSE(engine().pauseFlag());
    pump(400);
    EXPECT_GT(engine().timeStep(), frozenStep);
}

TEST_F(PudletApp, DrainOpensTheWalls)
{
    click(control("check:Drain"));
    EXPECT_FALSE(engine().boundsFlag());
    click(control("check:Drain"));
    EXPECT_TRUE(engine().boundsFlag());
}

TEST_F(PudletApp, SaveAsWritesAValidFileThatOpensBack)
{
    click(control("check:Pause"));
    click(control("material:Water"));
    drag(0.3, 0.4, 0.7, 0.4);
    const int painted = engine().countParticles();
    ASSERT_GT(painted, 0);
    const fs::path chosen = scratch / "my scene";
    ASSERT_TRUE(frame->saveDocumentAs(chosen.string()));
    const fs::path written = scratch / "my scene.pdl";
    ASSERT_TRUE(fs::is_regular_file(written));
    EXPECT_TRUE(frame->GetTitle().StartsWith("my scene.pdl"));

    // Another engine reads what was written.
    RevivezoRora* reader = RevivezoRora::newInstance();
    EXPECT_TRUE(reader->load(written.c_str()));
    EXPECT_EQ(reader->countParticles(), painted);
    RevivezoRora::deleteInstance(reader);

    frame->newDocument();
    EXPECT_EQ(engine().countParticles(), 0);
    ASSERT_TRUE(frame->openDocument(written.string()));
    EXPECT_EQ(engine().countParticles(), painted);
    EXPECT_EQ(fs::current_path(), fs::canonical(scratch));
    click(control("check:Pause"));
}

TEST_F(PudletApp, AFailedOpenOrSaveIsReportedAndKeepsTheScene)
{
    click(control("check:Pause"));
    click(control("material:Water"));
    drag(0.3, 0.4, 0.7, 0.4);
    const int painted = engine().countParticles();
    ASSERT_GT(painted, 0);
    const wxString title = frame->GetTitle();
    const size_t recent = frame->fileHistory().GetCount();
    auto expectKept = [&](const fs::path& file) {
        EXPECT_FALSE(frame->openDocument(file.string())) << file;
        EXPECT_EQ(engine().countParticles(), painted);
        EXPECT_EQ(frame->GetTitle(), title);
        EXPECT_EQ(frame->fileHistory().GetCount(), recent);
        EXPECT_TRUE(frame->IsShown());
    };
    expectKept(scratch / "missing.pdl");
    expectKept(scratch);
    EXPECT_FALSE(frame->saveDocumentAs((scratch / "no-such-folder" / "scene.pdl").string()));

    // Random bytes named like a scene.
    const fs::path broken = scratch / "broken.pdl";
    std::ofstream(broken, std::ios::binary) << std::string("\x89\x01\xff garbage \x00\x7f\n\x13", 16);
    RevivezoRora* probe = RevivezoRora::newInstance();
    const bool engineRefuses = !probe->load(broken.c_str());
    RevivezoRora::deleteInstance(probe);
    click(control("check:Pause"));
    if (!engineRefuses)
        GTEST_SKIP() << "this engine still loads a file that is no scene";
    click(control("check:Pause"));
    expectKept(broken);
    click(control("check:Pause"));
}

TEST_F(PudletApp, OpeningASceneKeepsTheWholeBasicMenuReachable)
{
    const fs::path demo = fs::path(PUDLET_SCENES_SOURCE_DIR) / "dam-break.pdl";
    ASSERT_TRUE(frame->openDocument(demo.string()));
    pump(300);
    // Every control of the bar lies inside the bar's visible area.
    const wxRect bar = frame->basicMenu()->GetScreenRect();
    for (const char* name : {"button:Clear", "button:Undo", "tool:Slice", "choice:Style", "unload:Bubble"}) {
        const wxRect rect = control(name)->GetScreenRect();
        EXPECT_TRUE(bar.Contains(rect)) << name << " at " << rect.y << ".." << rect.GetBottom() << ", bar "
                                        << bar.y << ".." << bar.GetBottom();
    }
    // A click on Drain ticks it, and scrolls nothing away.
    const wxPoint before = static_cast<wxScrolledWindow*>(frame->basicMenu())->GetViewStart();
    click(control("check:Drain"));
    EXPECT_TRUE(checked("check:Drain"));
    EXPECT_FALSE(engine().boundsFlag());
    EXPECT_EQ(static_cast<wxScrolledWindow*>(frame->basicMenu())->GetViewStart(), before);
    click(control("check:Drain"));
    frame->SetClientSize(1100, 900);
    pump(200);
}

TEST_F(PudletApp, UnsavedChangesAreAskedAboutBeforeTheyAreLost)
{
    using PudletHost::SaveChoice;
    wxString asked;
    auto answer = [&](SaveChoice choice) {
        PudletHost::answerSaveQuestionsWith([&asked, choice](const wxString& name) {
            asked = name;
            return choice;
        });
    };
    EXPECT_FALSE(frame->GetTitle().StartsWith("*"));
    click(control("check:Pause"));
    click(control("material:Water"));
    drag(0.3, 0.4, 0.7, 0.4);
    const int painted = engine().countParticles();
    ASSERT_GT(painted, 0);
    EXPECT_TRUE(frame->GetTitle().StartsWith("*Untitled")) << frame->GetTitle();

    // Cancel leaves everything as it was: New, Open and closing the window.
    answer(SaveChoice::cancel);
    frame->newDocument();
    EXPECT_EQ(asked, "Untitled");
    EXPECT_EQ(engine().countParticles(), painted);
    const fs::path other = scratch / "other.pdl";
    {
        RevivezoRora* writer = RevivezoRora::newInstance();
        ASSERT_TRUE(writer->save(other.c_str()));
        RevivezoRora::deleteInstance(writer);
    }
    EXPECT_FALSE(frame->openDocument(other.string()));
    EXPECT_EQ(engine().countParticles(), painted);
    EXPECT_FALSE(frame->Close());
    EXPECT_TRUE(frame->IsShown());
    EXPECT_TRUE(frame->GetTitle().StartsWith("*Untitled"));

    // Save writes the scene first (here under a name it already has).
    ASSERT_TRUE(frame->saveDocumentAs((scratch / "kept.pdl").string()));
    EXPECT_TRUE(frame->GetTitle().StartsWith("kept.pdl"));
    drag(0.3, 0.6, 0.7, 0.6);
    const int more = engine().countParticles();
    EXPECT_TRUE(frame->GetTitle().StartsWith("*kept.pdl"));
    answer(SaveChoice::save);
    ASSERT_TRUE(frame->openDocument(other.string()));
    EXPECT_EQ(engine().countParticles(), 0);
    RevivezoRora* reader = RevivezoRora::newInstance();
    EXPECT_TRUE(reader->load((scratch / "kept.pdl").c_str()));
    EXPECT_EQ(reader->countParticles(), more);
    RevivezoRora::deleteInstance(reader);

    // Don't Save drops the changes; New starts the clock again.
    click(control("check:Pause"));
    drag(0.3, 0.4, 0.7, 0.4);
    pump(300);
    ASSERT_GT(engine().time(), 0.0f);
    answer(SaveChoice::discard);
    frame->newDocument();
    EXPECT_EQ(engine().countParticles(), 0);
    EXPECT_EQ(engine().time(), 0.0f);
    EXPECT_EQ(engine().timeStep(), 0);
    EXPECT_TRUE(frame->GetTitle().StartsWith("Untitled"));
    PudletHost::answerSaveQuestionsWith(discardAll);
}

TEST_F(PudletApp, ResizingMovesTheRightAndTopWalls)
{
    frame->SetClientSize(frame->GetClientSize() + wxSize(-120, -90));
    pump(300);
    const wxSize size = canvas->GetClientSize();
    const float scale = engine().scale();
    EXPECT_NEAR(engine().boundsRight(), size.x / scale - engine().boundsLeft(), 1e-3);
    EXPECT_NEAR(engine().boundsTop(), size.y / scale - engine().boundsBottom(), 1e-3);

    // Fitting to the scene gives a canvas of the scene's width, and of its
    // height unless the Basic Menu needs more.
    engine().setBoundsRight(50.0f);
    engine().setBoundsTop(40.0f);
    frame->view().fitWindow();
    pump(300);
    EXPECT_EQ(canvas->GetClientSize().x, static_cast<int>(scale * (engine().boundsLeft() + 50.0f)));
    EXPECT_GE(canvas->GetClientSize().y, static_cast<int>(scale * (engine().boundsBottom() + 40.0f)));
    EXPECT_GE(frame->GetClientSize().y, frame->basicMenuHeight());
}

TEST_F(PudletApp, BasicMenuItemHidesAndShowsTheBar)
{
    const int item = frame->GetMenuBar()->FindMenuItem("View", "Basic Menu");
    ASSERT_NE(item, wxNOT_FOUND);
    frame->ProcessCommand(item);
    pump();
    EXPECT_FALSE(frame->dockManager().GetPane("BasicMenu").IsShown());
    frame->ProcessCommand(item);
    pump();
    EXPECT_TRUE(frame->dockManager().GetPane("BasicMenu").IsShown());
}

TEST_F(PudletApp, ExportPictureWritesAPNGOfTheView)
{
    click(control("material:Water"));
    drag(0.2, 0.5, 0.8, 0.5);
    const fs::path picture = scratch / "picture.png";
    ASSERT_TRUE(frame->exportPicture(picture.string()));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, picture.c_str())) << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
    EXPECT_EQ(wxSize(static_cast<int>(image.width), static_cast<int>(image.height)), canvas->GetClientSize());
    // Mostly the scene's grey background, and some water that is not.
    size_t background = 0, other = 0;
    for (size_t i = 0; i + 2 < pixels.size(); i += 3) {
        const bool grey = pixels[i] == 51 && pixels[i + 1] == 51 && pixels[i + 2] == 51;
        (grey ? background : other) += 1;
    }
    EXPECT_GT(background, pixels.size() / 3 / 2);
    EXPECT_GT(other, 50u);
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("DISPLAY")) {
        std::puts("No X display (run under xvfb-run): skipped.");
        return 77;
    }
    // A private home: the recent-file list and the recovery files must not
    // touch the user's.
    scratch = fs::temp_directory_path() / ("pudlet-e2e-" + std::to_string(::getpid()));
    fs::create_directories(scratch / "home");
    setenv("HOME", (scratch / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch / "home").c_str(), 1);
    setenv("XDG_CACHE_HOME", (scratch / "home").c_str(), 1);

    PudletHost::answerSaveQuestionsWith(discardAll);
    app = new CPudletApp;
    wxApp::SetInstance(app);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::fputs("wxWidgets could not start\n", stderr);
        return 1;
    }
    // Errors go to stderr instead of modal boxes that would stall the run.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    int result = 1;
    if (app->startUp("")) {
        // Room for the whole bar: the start-up scene fits the window to itself.
        app->mainFrame()->SetClientSize(1100, 900);
        pump(300);
        result = RUN_ALL_TESTS();
        app->mainFrame()->Destroy();
        pump(100);
    }
    app->OnExit();
    wxEntryCleanup();
    fs::remove_all(scratch);
    return result;
}
