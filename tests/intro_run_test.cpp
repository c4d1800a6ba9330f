// The whole intro in process: start-up, frames with keys, shutdown, on SDL's dummy video
// driver. The music library's calls are watched on their way to the library.
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <mikmod.h>

#include <string>
#include <vector>

#include "effects/scroll.h"
#include "intro/intro.h"
#include "intro/intro_music.h"
#include "intro/intro_scene.h"
#include "tests/golden_frames.h"
#include "tests/intro_fixture.h"
#include "tests/xm_fixture.h"

namespace {

// What was alive when the music library was called.
struct Call {
    std::string name;
    bool screen_alive;
    bool images_alive; // every picture the scene read
};
std::vector<Call> calls;

void note(const char *name) {
    bool images = logo_image && year_image && rainbow_image;
    for (const Image *s : sprite_images) images = images && s;
    calls.push_back({name, screen != nullptr, images});
}

template <typename F> F real(const char *name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

int count(const char *name) {
    int n = 0;
    for (const Call &c : calls) n += c.name == name;
    return n;
}

void push_key(SDLKey sym, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    ASSERT_EQ(SDL_PushEvent(&e), 0);
}

class IntroRun : public testing::Test {
  protected:
    DataFolder folder;
    void SetUp() override {
        reset_intro_state();
        calls.clear();
        ASSERT_TRUE(write_file("vemlotra.xm", tiny_xm(2, 16)));
        // The disk writer instead of a sound device, so the run is the same everywhere.
        MikMod_RegisterAllDrivers();
        md_device = static_cast<UWORD>(MikMod_DriverFromAlias(const_cast<char *>("wav")));
        ASSERT_EQ(intro_init(), 1);
        ASSERT_NE(music, nullptr);
    }
    void TearDown() override {
        md_device = 0;
        reset_intro_state();
    }
};

TEST_F(IntroRun, QuitInTheFirstFrameEndsBeforeAnyMusicUpdateAndStopsTheMusicFirst) {
    push_key(SDLK_q, true);
    intro_run();
    EXPECT_EQ(quit_flag, 1);
    EXPECT_EQ(count("MikMod_Update"), 0) << "the last frame does not update the music";
    EXPECT_EQ(scaled_logo, nullptr) << "the frame cycle released its working images";
    intro_shutdown();
    ASSERT_EQ(count("Player_Free"), 1);
    ASSERT_EQ(count("MikMod_Exit"), 1);
    for (const Call &c : calls) {
        EXPECT_TRUE(c.screen_alive) << c.name;
        EXPECT_TRUE(c.images_alive) << c.name << " came after an image was released";
    }
    EXPECT_EQ(calls.back().name, "MikMod_Exit");
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(logo_image, nullptr);
    EXPECT_EQ(music, nullptr);
}

// A few hundred frames with the keys at work; under valgrind too (see intro_valgrind.cmake).
TEST_F(IntroRun, AFewHundredFramesWithKeysThenQ) {
    intro_scene_setup();
    const int frames = 300;
    for (int f = 0; f < frames; f++) {
        if (f == 10) push_key(SDLK_SPACE, true);
        if (f == 11) push_key(SDLK_SPACE, false);
        if (f == 20) push_key(SDLK_p, true);
        if (f == 25) push_key(SDLK_p, false);
        if (f == 40) push_key(SDLK_o, true);
        if (f == 42) push_key(SDLK_o, false);
        ASSERT_EQ(intro_frame(), 1) << "frame " << f;
    }
    EXPECT_EQ(sprite_flags, 2);
    EXPECT_EQ(intro_scroller->speed, 4);
    // Sixteen rows last about ten updates: the tune has ended and come back many times.
    EXPECT_GT(count("Player_Free"), 10);
    push_key(SDLK_ESCAPE, true);
    EXPECT_EQ(intro_frame(), 0);
    intro_scene_release_frame();
    intro_shutdown();
    EXPECT_EQ(count("MikMod_Exit"), 1);
    EXPECT_EQ(screen, nullptr);
}

// The mixer draws random numbers too; with the tune playing, the pictures are still those of
// the intro's own random sequence, whenever the sound is mixed.
TEST(IntroRunWithTheTune, TheMusicLeavesThePicturesRandomSequenceAlone) {
    reset_intro_state();
    DataFolder folder;
    folder.copy("vemlotra.xm");
    MikMod_RegisterAllDrivers();
    md_device = static_cast<UWORD>(MikMod_DriverFromAlias(const_cast<char *>("wav")));
    ASSERT_EQ(intro_init(), 1);
    ASSERT_NE(music, nullptr);
    intro_scene_setup();
    const struct {
        int frame;
        SDLKey sym;
        bool down;
    } keys[] = {{5, SDLK_SPACE, true}, {6, SDLK_SPACE, false}, {10, SDLK_p, true},
                {15, SDLK_p, false},   {100, SDLK_7, true},    {101, SDLK_7, false},
                {200, SDLK_o, true},   {202, SDLK_o, false}};
    for (int f = 0; f <= 300; f++) {
        for (const auto &k : keys)
            if (k.frame == f) push_key(k.sym, k.down);
        ASSERT_EQ(intro_frame(), 1);
        const uint64_t golden = f == 0   ? golden_frame_0
                                : f == 1 ? golden_frame_1
                                         : golden_frame_300;
        if (f == 0 || f == 1 || f == 300) {
            EXPECT_EQ(fnv1a(screen), golden) << "frame " << f;
        }
    }
    EXPECT_GT(count("MikMod_Update"), 250);
    intro_scene_release_frame();
    intro_shutdown();
    md_device = 0;
    reset_intro_state();
}

} // namespace

// The music library's calls, noted and handed on.
extern "C" {
void MikMod_Update(void) {
    note("MikMod_Update");
    static auto next = real<void (*)()>("MikMod_Update");
    next();
}
void Player_Free(MODULE *m) {
    note("Player_Free");
    static auto next = real<void (*)(MODULE *)>("Player_Free");
    next(m);
}
void MikMod_Exit(void) {
    note("MikMod_Exit");
    static auto next = real<void (*)()>("MikMod_Exit");
    next();
}
}
