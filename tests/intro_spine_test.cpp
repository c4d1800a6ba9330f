#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "effects/scroll.h"
#include "intro/intro.h"
#include "intro/intro_effects.h"
#include "intro/intro_scene.h"
#include "intro/sine_table.h"
#include "screen_helpers.h"
#include "sdl/sdldpy.h"
#include "sdl/sdlkbd.h"
#include "tests/intro_fixture.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

static void push_key(uint8_t type, SDLKey sym, SDLMod mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&e), 0);
}

TEST(IntroRecord, NoticesHaveTheirLengthsAndForm) {
    EXPECT_STREQ(intro_module.name, "KLOV4402");
    EXPECT_STREQ(intro_module.date, "20080829");
    EXPECT_STREQ(intro_module.author, "KV");
    EXPECT_STREQ(intro_module.warranty, "\nWARRANTY: \nTHERE IS NO WARRANTY. \n");
    const struct {
        const char *text;
        size_t length;
        const char *must_name;
    } notices[] = {{intro_module.warranty, 35, "WARRANTY"},
                   {intro_module.rights, 62, "KV"},
                   {intro_module.quotation, 164,
                    "EVERYONE HAS THE RIGHT TO LIFE, \nLIBERTY AND "
                    "SECURITY OF PERSON. \n"}};
    for (const auto &n : notices) {
        std::string t = n.text;
        EXPECT_EQ(t.size(), n.length) << t;
        EXPECT_NE(t.find(n.must_name), std::string::npos) << t;
        ASSERT_EQ(t[0], '\n') << t;
        // Upper-case lines, each ending in a blank and a newline.
        size_t start = 1;
        while (start < t.size()) {
            size_t end = t.find('\n', start);
            ASSERT_NE(end, std::string::npos) << t;
            EXPECT_GT(end, start + 1) << t;
            EXPECT_EQ(t[end - 1], ' ') << t.substr(start, end - start);
            start = end + 1;
        }
        for (char c : t) EXPECT_FALSE(islower(static_cast<unsigned char>(c))) << t;
    }
    EXPECT_NE(std::string(intro_module.rights).find("2008"), std::string::npos);
    EXPECT_NE(std::string(intro_module.quotation).find("ARTICLE 3"), std::string::npos);
    EXPECT_NE(std::string(intro_module.quotation).find("1948"), std::string::npos);
}

TEST(IntroWrap, GivesTheResidueInZeroToNMinusOne) {
    const struct {
        int32_t a, n, wrapped;
    } cases[] = {{1030, 1024, 6},
                 {-11, 1024, 1013},
                 {-1024, 1024, 0},
                 {0, 1024, 0},
                 {1023, 1024, 1023},
                 {-1, 7, 6},
                 {-2048, 1024, 0},
                 {INT32_MIN, 1024, 0},
                 {INT32_MAX, 1024, 1023},
                 {INT32_MIN, 7, 5},
                 {5, 1, 0},
                 {-5, 1, 0},
                 {12, 0, 0},
                 {12, -5, 0}, // no residues: 0
                 {INT32_MIN, -1, 0}};
    for (auto c : cases)
        EXPECT_EQ(intro_wrap(c.a, c.n), c.wrapped) << "intro_wrap(" << c.a << ", " << c.n << ")";
}

TEST(IntroKey, OnlyEscapeAndQEndTheFrameCycle) {
    const struct {
        int8_t code;
        bool quits;
    } cases[] = {{27, true},  {113, true}, {81, true},  {0, false},    {32, false},
                 {51, false}, {54, false}, {55, false}, {111, false},  {112, false},
                 {97, false}, {17, false}, {-1, false}, {-128, false}, {127, false}};
    for (auto c : cases) {
        quit_flag = 0;
        intro_key(c.code);
        EXPECT_EQ(quit_flag, c.quits ? 1 : 0) << "code " << int(c.code);
    }
    quit_flag = 0;
}

TEST(IntroError, PrintsOnlyWhileSwitchedOn) {
    CaptureStdout();
    CaptureStderr();
    intro_error();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "");
    intro_error_switch = 1;
    CaptureStdout();
    intro_error();
    EXPECT_EQ(GetCapturedStdout(), "KLOV4402 Error.\n");
    intro_error_switch = 0;
}

// "" when a 32-bit screen shows the screen Image (the top byte of its words is no colour).
// Screens of other formats show it converted and are not compared.
static std::string screen_shows_image() {
    if (SDL_GetVideoSurface()->format->BytesPerPixel != 4) return "";
    for (int y = 0; y < screen->height; y++)
        for (int x = 0; x < screen->width; x++)
            if (screen_word(x, y) != (img_get(screen, x, y) & 0xFFFFFF))
                return "differs at " + std::to_string(x) + "," + std::to_string(y);
    return "";
}

// The intro runs in the data folder, where its pictures and tune are.
class IntroTest : public testing::Test {
  protected:
    std::filesystem::path old_folder = std::filesystem::current_path();
    void SetUp() override {
        quit_flag = 0;
        std::filesystem::current_path(std::filesystem::path(KLOV_SOURCE_DIR) / "data");
        ASSERT_EQ(intro_init(), 1);
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
        }
    }
    // Frames by intro_frame alone need what intro_run makes first and releases last.
    bool frame_setup = false;
    void begin_frames() {
        intro_scene_setup();
        frame_setup = true;
    }
    void TearDown() override {
        if (frame_setup) intro_scene_release_frame();
        if (intro_display) intro_shutdown();
        quit_flag = 0;
        intro_stop_signal = 0;
        std::filesystem::current_path(old_folder);
    }
};

static void (*handler_of(int sig))(int) {
    struct sigaction now;
    sigaction(sig, nullptr, &now);
    return now.sa_handler;
}

TEST_F(IntroTest, StartUpMakesA640x480ScreenAndShutdownReleasesIt) {
    ASSERT_NE(intro_display, nullptr);
    ASSERT_NE(intro_keyboard, nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(intro_display->width, 640);
    EXPECT_EQ(intro_display->height, 480);
    EXPECT_EQ(SDL_GetVideoSurface()->w, 640);
    EXPECT_EQ(SDL_GetVideoSurface()->h, 480);
    EXPECT_EQ(screen->width, 640);
    EXPECT_EQ(screen->height, 480);
    char *title = nullptr, *icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    EXPECT_STREQ(title, "KLOV4402");

    CaptureStdout();
    CaptureStderr();
    intro_shutdown();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(intro_display, nullptr);
    EXPECT_EQ(intro_keyboard, nullptr);
    EXPECT_EQ(screen, nullptr);
    EXPECT_FALSE(dpy_exists());
    // SDL itself is shut down: a text-mode driver has given the terminal back, a full-screen
    // mode the desktop's mode.
    EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
}

// Frames go on while other keys are held; a quit key ends the cycle after its frame, which
// has been presented.
TEST_F(IntroTest, FramesRunUntilAQuitKeyIsSeen) {
    const struct {
        SDLKey sym;
        SDLMod mod;
    } quit_keys[] = {{SDLK_ESCAPE, KMOD_NONE}, {SDLK_q, KMOD_NONE}, {SDLK_q, KMOD_LSHIFT}};
    begin_frames();
    for (auto quit : quit_keys) {
        quit_flag = 0;
        EXPECT_EQ(intro_frame(), 1);
        const SDLKey others[] = {SDLK_a, SDLK_SPACE, SDLK_UP, SDLK_RALT, SDLK_w};
        for (SDLKey sym : others) {
            push_key(SDL_KEYDOWN, sym);
            EXPECT_EQ(intro_frame(), 1) << sym;
            EXPECT_EQ(intro_frame(), 1) << sym << " held";
            push_key(SDL_KEYUP, sym);
        }
        SDL_Event close{};
        close.type = SDL_QUIT;
        SDL_PushEvent(&close);
        EXPECT_EQ(intro_frame(), 1);

        const uint32_t filled = fill_screen(3);
        push_key(SDL_KEYDOWN, quit.sym, quit.mod);
        CaptureStdout();
        EXPECT_EQ(intro_frame(), 0) << quit.sym;
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_EQ(quit_flag, 1);
        // The frame replaced what was on the screen.
        EXPECT_GT(screen_pixels_not(filled, 0, 0, 640, 480), 640 * 480 / 2);
        EXPECT_EQ(screen_shows_image(), "") << "the last frame is shown";
        push_key(SDL_KEYUP, quit.sym);
    }
}

// A key pressed and released between two frames acts once, as a press that is held does:
// a toggle, a speed step, a quit. Each case starts with the sprites off and no key down.
TEST_F(IntroTest, ATapWithinOneFrameActsOnce) {
    begin_frames();
    const int32_t speed = intro_scroller->speed;
    const struct {
        const char *what;
        std::vector<SDLKey> taps; // each pressed and released
        SDLKey then_held;         // then pressed and left down, or SDLK_UNKNOWN
        uint8_t sprite_flags;
        int32_t speed_change;
        bool quits;
    } cases[] = {
        {"Space", {SDLK_SPACE}, SDLK_UNKNOWN, 2, 0, false},
        {"Space twice", {SDLK_SPACE, SDLK_SPACE}, SDLK_UNKNOWN, 0, 0, false},
        {"3, then 7 held", {SDLK_3}, SDLK_7, 5, 0, false},
        {"6 and 7", {SDLK_6, SDLK_7}, SDLK_UNKNOWN, 6, 0, false},
        {"P", {SDLK_p}, SDLK_UNKNOWN, 0, 1, false},
        {"O twice", {SDLK_o, SDLK_o}, SDLK_UNKNOWN, 0, -2, false},
        {"P, then P held", {SDLK_p}, SDLK_p, 0, 2, false},
        {"Escape", {SDLK_ESCAPE}, SDLK_UNKNOWN, 0, 0, true},
        {"Q", {SDLK_q}, SDLK_UNKNOWN, 0, 0, true},
    };
    for (const auto &c : cases) {
        sprite_flags = 0;
        intro_scroller->speed = speed;
        quit_flag = 0;
        for (SDLKey sym : c.taps) {
            push_key(SDL_KEYDOWN, sym);
            push_key(SDL_KEYUP, sym);
        }
        if (c.then_held != SDLK_UNKNOWN) push_key(SDL_KEYDOWN, c.then_held);
        EXPECT_EQ(intro_frame(), c.quits ? 0 : 1) << c.what;
        EXPECT_EQ(quit_flag, c.quits ? 1 : 0) << c.what;
        EXPECT_EQ(sprite_flags, c.sprite_flags) << c.what;
        EXPECT_EQ(intro_scroller->speed - speed, c.speed_change) << c.what;
        // Nothing more once the keys are up.
        if (c.then_held != SDLK_UNKNOWN) push_key(SDL_KEYUP, c.then_held);
        quit_flag = 0;
        EXPECT_EQ(intro_frame(), 1) << c.what;
        EXPECT_EQ(sprite_flags, c.sprite_flags) << c.what << ", a frame later";
        EXPECT_EQ(intro_scroller->speed - speed, c.speed_change) << c.what << ", a frame later";
    }
    sprite_flags = 0;
}

// SIGINT, SIGTERM and SIGHUP ask the frame cycle to end: the frame under way is the last,
// and shutdown gives SDL and the signals' own actions back.
TEST_F(IntroTest, AStopSignalEndsTheCycleAfterItsFrame) {
    intro_frame_limit = 100;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        if (!intro_display) {
            ASSERT_EQ(intro_init(), 1);
        }
        ASSERT_EQ(intro_stop_signal, 0);
        void (*const caught)(int) = handler_of(sig);
        ASSERT_NE(caught, SIG_DFL) << sig;
        const int32_t phase = swing_a.phase;
        raise(sig);
        EXPECT_EQ(intro_stop_signal, sig);
        intro_run();
        EXPECT_EQ(swing_a.phase, intro_wrap(phase + swing_a.speed, sine_length))
            << "one frame, signal " << sig;
        EXPECT_EQ(quit_flag, 0);
        intro_shutdown();
        EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u) << sig;
        EXPECT_NE(handler_of(sig), caught) << sig;
        EXPECT_EQ(intro_stop_signal, sig) << "kept for the exit status";
        intro_stop_signal = 0;
    }
    intro_frame_limit = 0;
}

// A signal ends a paced wait too: at one frame a second, the cycle does not sit out the
// second after its frame.
TEST_F(IntroTest, ASignalCutsThePacedWaitShort) {
    intro_fps = 1;
    intro_frame_limit = 3;
    std::thread sender([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(getpid(), SIGTERM);
    });
    const auto start = std::chrono::steady_clock::now();
    intro_run();
    const auto took = std::chrono::steady_clock::now() - start;
    sender.join();
    intro_fps = 0;
    intro_frame_limit = 0;
    EXPECT_EQ(intro_stop_signal, SIGTERM);
    EXPECT_LT(took, std::chrono::milliseconds(900));
}

// A second signal does not wait for the frame cycle: the process ends by it at once.
TEST_F(IntroTest, ASecondSignalEndsTheProcessAtOnce) {
    EXPECT_EXIT(
        {
            raise(SIGTERM);
            if (intro_stop_signal != SIGTERM) _exit(3);
            raise(SIGINT);
            _exit(4);
        },
        testing::KilledBySignal(SIGINT), "");
}

// A start-up that fails after SDL came up shuts it down again; the signals' actions are
// given back, and one that was ignored (as under nohup) was never caught.
TEST(IntroStartFailure, GivesSDLAndTheSignalsBack) {
    DataFolder folder;
    folder.remove("klov-2008.ppm");
    signal(SIGHUP, SIG_IGN);
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(intro_init(), 0);
    EXPECT_EQ(GetCapturedStderr(), "Could not read picture: klov-2008.ppm\n");
    GetCapturedStdout();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
    EXPECT_EQ(handler_of(SIGTERM), SIG_DFL);
    EXPECT_EQ(handler_of(SIGHUP), SIG_IGN);

    folder.copy("klov-2008.ppm");
    ASSERT_EQ(intro_init(), 1);
    EXPECT_EQ(handler_of(SIGHUP), SIG_IGN);
    EXPECT_NE(handler_of(SIGTERM), SIG_DFL);
    intro_shutdown();
    EXPECT_EQ(handler_of(SIGHUP), SIG_IGN);
    EXPECT_EQ(handler_of(SIGTERM), SIG_DFL);
    signal(SIGHUP, SIG_DFL);
}

TEST_F(IntroTest, RunReturnsAfterTheQuitFrame) {
    push_key(SDL_KEYDOWN, SDLK_q);
    intro_run();
    EXPECT_EQ(quit_flag, 1);
}

TEST(IntroWithoutVideo, StartUpFailsWithOneLineAndLeavesNothing) {
    std::string driver = getenv("SDL_VIDEODRIVER") ? getenv("SDL_VIDEODRIVER") : "";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(intro_init(), 0);
    std::string err = GetCapturedStderr();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(err.rfind("KLOV4402: cannot open a 640 x 480 screen (", 0), 0u) << err;
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_EQ(intro_display, nullptr);
    EXPECT_EQ(intro_keyboard, nullptr);
    EXPECT_EQ(screen, nullptr);
    EXPECT_FALSE(dpy_exists());
    setenv("SDL_VIDEODRIVER", driver.c_str(), 1);
}

// Space, 3, 6 and 7 toggle once a press however long the key is held; O and P act in every
// frame they are held.
TEST_F(IntroTest, TogglesActOncePerPressSpeedKeysEveryFrame) {
    begin_frames();
    sprite_flags = 0;
    const int32_t speed = intro_scroller->speed;
    const struct {
        SDLKey sym;
        int frames_held;
        uint8_t flags_after;
        int32_t speed_change; // since the start of the test
    } presses[] = {
        {SDLK_SPACE, 1, 2, 0}, {SDLK_SPACE, 2, 0, 0}, {SDLK_SPACE, 5, 2, 0},
        {SDLK_3, 3, 3, 0},     {SDLK_7, 4, 7, 0},     {SDLK_6, 2, 5, 0},
        {SDLK_p, 10, 5, 10},   {SDLK_o, 12, 5, -2},   {SDLK_SPACE, 1, 7, -2},
    };
    for (const auto &p : presses) {
        push_key(SDL_KEYDOWN, p.sym);
        for (int f = 0; f < p.frames_held; f++) ASSERT_EQ(intro_frame(), 1);
        push_key(SDL_KEYUP, p.sym);
        ASSERT_EQ(intro_frame(), 1);
        EXPECT_EQ(sprite_flags, p.flags_after) << "key " << p.sym << " for " << p.frames_held;
        EXPECT_EQ(intro_scroller->speed - speed, p.speed_change) << "key " << p.sym;
    }
    // A second key pressed while Space is held is a new press; Space coming back into the
    // key code (it cannot: a release clears it) is not needed for that.
    push_key(SDL_KEYDOWN, SDLK_SPACE);
    ASSERT_EQ(intro_frame(), 1);
    push_key(SDL_KEYDOWN, SDLK_7);
    ASSERT_EQ(intro_frame(), 1);
    EXPECT_EQ(sprite_flags, 1); // 7 ^ 2 ^ 4
    push_key(SDL_KEYUP, SDLK_7);
    push_key(SDL_KEYUP, SDLK_SPACE);
    ASSERT_EQ(intro_frame(), 1);
    sprite_flags = 0;
}

// With a frame limit the cycle ends by itself after that many frames.
TEST_F(IntroTest, AFrameLimitEndsTheCycle) {
    const int32_t phase = swing_a.phase;
    intro_frame_limit = 7;
    intro_run();
    intro_frame_limit = 0;
    EXPECT_EQ(quit_flag, 0);
    EXPECT_EQ(swing_a.phase, intro_wrap(phase + 7 * swing_a.speed, sine_length));
}

// Paced at 50 frames a second, 10 frames take 9 periods at least.
TEST_F(IntroTest, PacedFramesFollowTheSchedule) {
    intro_frame_limit = 10;
    intro_fps = 50;
    const auto start = std::chrono::steady_clock::now();
    intro_run();
    const auto took = std::chrono::steady_clock::now() - start;
    intro_fps = 0;
    intro_frame_limit = 0;
    EXPECT_GE(took, std::chrono::milliseconds(180));
}

// A driver the user names is used, whatever it is.
TEST(IntroDisplayCheck, ADriverChosenByNameIsHonoured) {
    const char *driver = getenv("SDL_VIDEODRIVER");
    ASSERT_NE(driver, nullptr) << "the tests run on a driver chosen by name";
    char name[64];
    EXPECT_EQ(dpy_blind_driver(name, sizeof name), nullptr);
}
