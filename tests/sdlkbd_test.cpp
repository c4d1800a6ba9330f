#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <cstdlib>
#include <string>
#include <vector>

#include "screen_helpers.h"
#include "sdl/sdldpy.h"
#include "sdl/sdlkbd.h"

class KeyboardTest : public testing::Test {
  protected:
    void SetUp() override {
        d = dpy_new();
        ASSERT_NE(d, nullptr);
        k = kbd_new();
        ASSERT_NE(k, nullptr);
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
        }
    }
    void TearDown() override {
        kbd_free(&k);
        dpy_free(&d);
    }
    Display *d = nullptr;
    Keyboard *k = nullptr;
};

static int queued_events() {
    SDL_Event e[16];
    return SDL_PeepEvents(e, 16, SDL_PEEKEVENT, SDL_ALLEVENTS);
}

struct Ev {
    uint8_t type; // SDL_KEYDOWN, SDL_KEYUP or another event type
    SDLKey sym;
    SDLMod mod;
};

static void push(const Ev &ev) {
    SDL_Event e{};
    e.type = ev.type;
    if (ev.type == SDL_KEYDOWN || ev.type == SDL_KEYUP) {
        e.key.state = ev.type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = ev.sym;
        e.key.keysym.mod = ev.mod;
        e.key.keysym.unicode = ev.sym == SDLK_q && ev.mod ? 'Q' : 0;
    }
    ASSERT_EQ(SDL_PushEvent(&e), 0);
}

static const Ev down(SDLKey sym, SDLMod mod = KMOD_NONE) {
    return {SDL_KEYDOWN, sym, mod};
}
static const Ev up(SDLKey sym) {
    return {SDL_KEYUP, sym, KMOD_NONE};
}
static const Ev other(uint8_t type) {
    return {type, SDLK_UNKNOWN, KMOD_NONE};
}

TEST(KeyboardWithoutDisplay, IsRefused) {
    ASSERT_FALSE(dpy_exists());
    EXPECT_EQ(kbd_new(), nullptr);
}

TEST_F(KeyboardTest, LifeCycle) {
    for (int i = 0; i < 8; i++) EXPECT_EQ(k->keys[i], 0);
    EXPECT_EQ(kbd_new(), k);
    EXPECT_EQ(kbd_module.name, std::string("SDLKBD"));
    EXPECT_EQ(kbd_module.date, std::string("20030728"));

    Keyboard other{};
    Keyboard *foreign = &other;
    kbd_free(&foreign); // not the Keyboard: left alone
    EXPECT_EQ(foreign, &other);
    kbd_free(nullptr);
    Keyboard *none = nullptr;
    kbd_free(&none);
    EXPECT_EQ(kbd_new(), k);

    kbd_free(&k);
    EXPECT_EQ(k, nullptr);
    k = kbd_new();
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->keys[0], 0);

    // Without a Display kbd_new refuses, even while the Keyboard still exists.
    dpy_free(&d);
    EXPECT_EQ(kbd_new(), nullptr);
    kbd_free(&k);
    EXPECT_EQ(k, nullptr);
}

TEST_F(KeyboardTest, RecordFamily) {
    Keyboard other{};
    EXPECT_EQ(kbd_equal(k, k), 1);
    EXPECT_EQ(kbd_equal(k, nullptr), 0);
    EXPECT_EQ(kbd_equal(nullptr, nullptr), 0);
    EXPECT_EQ(kbd_equal(k, &other), 0);
    EXPECT_EQ(kbd_copy(k), nullptr);
    ASSERT_NE(kbd_to_text(k), nullptr);
    EXPECT_STREQ(kbd_to_text(k), "");
    EXPECT_EQ(kbd_to_text(nullptr), nullptr);
    EXPECT_EQ(kbd_from_text("SDLKBD{}"), nullptr);
    EXPECT_EQ(kbd_from_text(nullptr), nullptr);
}

static std::vector<uint8_t> presses(const Keyboard *k) {
    return std::vector<uint8_t>(k->presses, k->presses + k->press_count);
}

// The events that arrive between two polls, the key code the second poll leaves, and the
// presses it hands on: a key pressed and released in between is one of them.
TEST_F(KeyboardTest, KeyCodeAndPressesAfterOnePoll) {
    const struct {
        const char *what;
        std::vector<Ev> events;
        uint8_t code;
        std::vector<uint8_t> presses;
    } cases[] = {
        {"shifted Q", {down(SDLK_q, KMOD_LSHIFT)}, 113, {113}},
        {"Escape", {down(SDLK_ESCAPE)}, 27, {27}},
        {"space", {down(SDLK_SPACE)}, 32, {32}},
        {"Up arrow (273)", {down(SDLK_UP)}, 17, {17}},
        {"right Alt (307) reads as '3'", {down(SDLK_RALT)}, 51, {51}},
        {"press and release", {down(SDLK_q), up(SDLK_q)}, 0, {'q'}},
        {"two taps of one key",
         {down(SDLK_p), up(SDLK_p), down(SDLK_p), up(SDLK_p)},
         0,
         {'p', 'p'}},
        {"a second key replaces the first", {down(SDLK_a), down(SDLK_b)}, 'b', {'a', 'b'}},
        {"release of the first key", {down(SDLK_a), down(SDLK_b), up(SDLK_a)}, 0, {'a', 'b'}},
        {"release of the second key", {down(SDLK_a), down(SDLK_b), up(SDLK_b)}, 0, {'a', 'b'}},
        {"a release alone", {up(SDLK_a)}, 0, {}},
        {"quit request after a key", {down(SDLK_p), other(SDL_QUIT)}, 'p', {'p'}},
        {"mouse and window events",
         {down(SDLK_o), other(SDL_MOUSEMOTION), other(SDL_MOUSEBUTTONDOWN), other(SDL_ACTIVEEVENT)},
         'o',
         {'o'}},
    };
    for (const auto &c : cases) {
        k->keys[0] = 0;
        for (const Ev &ev : c.events) push(ev);
        kbd_poll(k);
        EXPECT_EQ(k->keys[0], c.code) << c.what;
        EXPECT_EQ(presses(k), c.presses) << c.what;
        EXPECT_EQ(queued_events(), 0) << c.what;
        for (int i = 1; i < 8; i++) EXPECT_EQ(k->keys[i], 0) << c.what;
    }
}

// While the program waits between frames, kbd_watch empties the queue (so that it cannot
// fill up and drop keys) and keeps the presses for the next poll, which hands them on with
// its own. The key code is always the one after every event so far.
TEST_F(KeyboardTest, PressesWatchedBetweenPollsReachTheNextPoll) {
    push(down(SDLK_SPACE));
    push(up(SDLK_SPACE));
    push(other(SDL_MOUSEMOTION));
    kbd_watch(k);
    EXPECT_EQ(queued_events(), 0);
    EXPECT_EQ(k->keys[0], 0);
    EXPECT_EQ(presses(k), std::vector<uint8_t>{}) << "not handed on before the poll";
    push(down(SDLK_7));
    kbd_watch(k);
    push(up(SDLK_7));
    push(down(SDLK_p));
    kbd_poll(k);
    EXPECT_EQ(k->keys[0], 'p');
    EXPECT_EQ(presses(k), (std::vector<uint8_t>{32, '7', 'p'}));
    // Held on: the next poll has the key code and no press.
    kbd_poll(k);
    EXPECT_EQ(k->keys[0], 'p');
    EXPECT_EQ(presses(k), std::vector<uint8_t>{});
    // More presses than a frame can hold: the first ones are kept, in watch and in poll.
    for (int i = 0; i < kbd_press_max + 4; i++) push(down(SDLKey(SDLK_a + i % 26)));
    kbd_watch(k);
    for (int i = 0; i < 4; i++) push(down(SDLK_z));
    kbd_poll(k);
    ASSERT_EQ(k->press_count, kbd_press_max);
    for (int i = 0; i < kbd_press_max; i++) EXPECT_EQ(k->presses[i], 'a' + i % 26) << i;
    EXPECT_EQ(k->keys[0], 'z');
    kbd_watch(nullptr); // not the Keyboard: nothing happens
}

TEST_F(KeyboardTest, HeldKeyStaysUntilAnyRelease) {
    push(down(SDLK_7));
    for (int frame = 0; frame < 3; frame++) {
        kbd_poll(k);
        EXPECT_EQ(k->keys[0], '7') << "frame " << frame;
        EXPECT_EQ(k->press_count, frame == 0 ? 1 : 0) << "frame " << frame;
    }
    push(other(SDL_QUIT)); // consumed, changes nothing
    kbd_poll(k);
    EXPECT_EQ(k->keys[0], '7');
    EXPECT_EQ(queued_events(), 0);
    push(up(SDLK_z));
    kbd_poll(k);
    EXPECT_EQ(k->keys[0], 0);
}

TEST_F(KeyboardTest, PollWithoutTheKeyboardDoesNothing) {
    push(down(SDLK_q));
    kbd_poll(nullptr);
    uint8_t keys[8] = {};
    Keyboard other{};
    other.keys = keys;
    kbd_poll(&other);
    EXPECT_EQ(keys[0], 0);
    EXPECT_EQ(queued_events(), 1); // still there for the Keyboard
    kbd_poll(k);
    EXPECT_EQ(k->keys[0], 'q');
}

// On a real X display: the window manager's close request, as the close_request helper sends
// it, reaches SDL as its quit event, and the keyboard drops it.
TEST_F(KeyboardTest, WindowCloseRequestArrivesAndIsDropped) {
    const char *helper = getenv("KLOV_CLOSE_REQUEST");
    if (!video_driver_is("x11") || !helper)
        GTEST_SKIP() << "needs an X display and the close_request helper";
    push(down(SDLK_p));
    kbd_poll(k);
    std::string send = "w=$(xdotool search --name '^KLOV4402$' | head -n 1) && \"" +
                       std::string(helper) + "\" \"$w\"";
    ASSERT_EQ(system(send.c_str()), 0);
    SDL_Event e;
    bool arrived = false;
    for (int i = 0; i < 500 && !arrived; i++) {
        SDL_PumpEvents();
        arrived = SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, SDL_QUITMASK) == 1;
        if (!arrived) SDL_Delay(10);
    }
    ASSERT_TRUE(arrived);
    kbd_poll(k);
    EXPECT_EQ(k->keys[0], 'p');
    EXPECT_EQ(SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, SDL_QUITMASK), 0);
}
