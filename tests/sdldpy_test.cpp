#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <cstdlib>
#include <cstring>
#include <string>

#include "screen_helpers.h"
#include "sdl/sdldpy.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class DisplayTest : public testing::Test {
  protected:
    void SetUp() override {
        d = dpy_new();
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(dpy_ready(d)) << SDL_GetError();
    }
    void TearDown() override {
        if (d) dpy_free(&d);
        if (img) img_free(&img);
    }
    // Starts capturing, so that a test can check that nothing was printed.
    void quiet() {
        CaptureStdout();
        CaptureStderr();
    }
    void expect_nothing_printed() {
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_EQ(GetCapturedStderr(), "");
    }
    Display *d = nullptr;
    Image *img = nullptr;
};

static std::string caption() {
    char *title = nullptr, *icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    return std::string(title ? title : "(none)") + "|" + (icon ? icon : "(none)");
}

TEST_F(DisplayTest, LifeCycleAndSizes) {
    EXPECT_EQ(d->width, 256);
    EXPECT_EQ(d->height, 256);
    EXPECT_EQ(d->depth, SDL_GetVideoSurface()->format->BitsPerPixel);
    EXPECT_EQ(SDL_GetVideoSurface()->w, 256);
    EXPECT_EQ(caption(), "KLOV4402|KLOV4402");
    EXPECT_EQ(dpy_module.name, std::string("SDLDPY"));
    EXPECT_EQ(dpy_module.date, std::string("20080403"));

    quiet();
    EXPECT_EQ(dpy_new(), d); // the single Display, unchanged
    EXPECT_EQ(d->width, 256);

    SDL_WM_SetCaption("other", "other");
    dpy_resize(d, 640, 480);
    EXPECT_EQ(d->width, 640);
    EXPECT_EQ(d->height, 480);
    EXPECT_EQ(SDL_GetVideoSurface()->w, 640);
    EXPECT_EQ(SDL_GetVideoSurface()->h, 480);
    EXPECT_EQ(caption(), "KLOV4402|KLOV4402"); // set again with every mode

    SDL_Surface *surface = SDL_GetVideoSurface();
    dpy_resize(d, -1, 100);
    dpy_resize(d, 100, -1);
    dpy_resize(nullptr, 100, 100);
    EXPECT_EQ(d->width, 640);
    EXPECT_EQ(d->height, 480);
    EXPECT_EQ(SDL_GetVideoSurface(), surface);

    Display other = *d;
    Display *foreign = &other;
    dpy_free(&foreign);
    EXPECT_EQ(foreign, &other);
    dpy_free(nullptr);
    EXPECT_TRUE(dpy_exists());
    expect_nothing_printed();

    Display *old = d;
    dpy_free(&d);
    EXPECT_EQ(d, nullptr);
    EXPECT_FALSE(dpy_exists());
    EXPECT_FALSE(dpy_ready(old));
    d = dpy_new(); // a fresh Display with the first mode again
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->width, 256);
    EXPECT_EQ(d->height, 256);
}

TEST_F(DisplayTest, RecordFamily) {
    Display other = *d;
    quiet();
    EXPECT_EQ(dpy_equal(d, d), 1);
    EXPECT_EQ(dpy_equal(d, &other), 0);
    EXPECT_EQ(dpy_equal(&other, &other), 0); // only the Display itself
    EXPECT_EQ(dpy_equal(d, nullptr), 0);
    EXPECT_EQ(dpy_copy(d), d);
    EXPECT_EQ(dpy_copy(&other), nullptr);
    EXPECT_EQ(dpy_copy(nullptr), nullptr);
    ASSERT_NE(dpy_to_text(d), nullptr);
    EXPECT_STREQ(dpy_to_text(d), "");
    EXPECT_EQ(dpy_to_text(&other), nullptr);
    EXPECT_EQ(dpy_from_text("SDLDPY{}"), nullptr);
    EXPECT_EQ(dpy_from_text(nullptr), nullptr);
    EXPECT_EQ(dpy_exists(), 1); // from_text made nothing
    dpy_free(&d);
    EXPECT_EQ(dpy_from_text("SDLDPY{}"), nullptr);
    EXPECT_EQ(dpy_exists(), 0);
    expect_nothing_printed();
}

TEST_F(DisplayTest, PresentShowsTheFrame) {
    dpy_resize(d, 640, 480);
    img = pattern_image(640, 480);
    fill_screen(3);
    quiet();
    dpy_present(d, img);
    expect_nothing_printed();
    EXPECT_EQ(screen_differs_from(img, 640, 480), "");
}

TEST_F(DisplayTest, PresentAliasShowsTheFrameAndKeepsTheScreenMemory) {
    dpy_resize(d, 640, 480);
    img = pattern_image(640, 480);
    SDL_Surface *s = SDL_GetVideoSurface();
    void *own = s->pixels;
    uint32_t before = fill_screen(5);
    quiet();
    dpy_present_alias(d, img);
    expect_nothing_printed();
    EXPECT_EQ(s->pixels, own);
    if (s->format->BitsPerPixel == 32 && s->pitch == 640 * 4) {
        // Shown straight from the Image's memory: the screen's own memory is untouched.
        EXPECT_EQ(screen_pixels_not(before, 0, 0, 640, 480), 0);
    } else {
        EXPECT_EQ(screen_differs_from(img, 640, 480), "");
    }
}

// On a screen with the Image's own layout the frame goes there word for word.
TEST_F(DisplayTest, PresentOnA32BitScreenIsTheImageWords) {
    dpy_resize(d, 640, 480);
    SDL_Surface *s = SDL_GetVideoSurface();
    if (s->format->BitsPerPixel != 32)
        GTEST_SKIP() << "a " << int(s->format->BitsPerPixel) << "-bit screen";
    img = pattern_image(640, 480);
    img_put(img, 7, 9, 0xAB123456); // a top byte is copied as it is
    dpy_present(d, img);
    ASSERT_EQ(s->pitch, 640 * 4);
    EXPECT_EQ(memcmp(s->pixels, img->pixels, 640 * 480 * 4), 0);
}

TEST_F(DisplayTest, PresentersRefuseMisuseSilently) {
    dpy_resize(d, 640, 480);
    uint32_t before = fill_screen(2);
    img = pattern_image(320, 240);
    Image *right = pattern_image(640, 480);
    uint32_t *pixels = right->pixels;
    Display other = *d;
    using Presenter = void (*)(Display *, const Image *);
    const struct {
        const char *name;
        Presenter present;
    } presenters[] = {
        {"present", dpy_present}, {"alias", dpy_present_alias}, {"convert", dpy_present_convert}};
    quiet();
    for (auto p : presenters) {
        if (p.present != dpy_present_convert) p.present(d, img); // another size
        p.present(nullptr, right);
        p.present(&other, right);
        p.present(d, nullptr);
        right->pixels = nullptr;
        p.present(d, right);
        right->pixels = pixels;
        EXPECT_EQ(screen_pixels_not(before, 0, 0, 640, 480), 0) << p.name;
    }
    expect_nothing_printed();
    img_free(&right);
}

TEST_F(DisplayTest, PresentConvertDrawsTheTopLeftPart) {
    dpy_resize(d, 640, 480);
    uint32_t before = fill_screen(4);
    img = pattern_image(100, 50);
    quiet();
    dpy_present_convert(d, img);
    EXPECT_EQ(screen_differs_from(img, 100, 50), "");
    EXPECT_EQ(screen_pixels_not(before, 100, 0, 540, 50), 0);
    EXPECT_EQ(screen_pixels_not(before, 0, 50, 640, 430), 0);

    img_free(&img);
    img = pattern_image(800, 600);
    dpy_present_convert(d, img);
    expect_nothing_printed();
    EXPECT_EQ(screen_differs_from(img, 640, 480), "");
}

// SDL refuses surfaces 65536 rows high, while the dummy driver's screen can be that tall.
TEST_F(DisplayTest, PresentConvertShowsNothingWhenSdlCannotMakeItsSurfaces) {
    if (!video_driver_is("dummy")) GTEST_SKIP() << "needs SDL's dummy video driver";
    dpy_resize(d, 1, 65536);
    ASSERT_EQ(d->height, 65536);
    SDL_Surface *s = SDL_GetVideoSurface();
    ASSERT_EQ(s->h, 65536);
    // Whatever depth the driver gives; SDL's own fill stops at 65535 rows.
    memset(s->pixels, 0x1C, size_t(s->pitch) * s->h);
    uint32_t before = screen_word(0, 0);
    img = pattern_image(1, 65536);
    quiet();
    dpy_present_convert(d, img);
    // dpy_present converts too, unless the screen holds Image words and takes the frame as is.
    const SDL_PixelFormat *f = s->format;
    if (!(f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 && f->Bmask == 0xFF &&
          s->pitch == 4))
        dpy_present(d, img);
    expect_nothing_printed();
    EXPECT_EQ(screen_pixels_not(before, 0, 0, 1, 65536), 0);
}

// Without a video mode the Display exists but nothing is ever drawn.
TEST(DisplayWithoutVideo, NothingHappens) {
    std::string driver = getenv("SDL_VIDEODRIVER") ? getenv("SDL_VIDEODRIVER") : "";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    CaptureStdout();
    CaptureStderr();
    Display *d = dpy_new();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(dpy_ready(d));
    EXPECT_EQ(d->width, 0);
    EXPECT_EQ(d->height, 0);
    dpy_resize(d, 640, 480);
    EXPECT_FALSE(dpy_ready(d));
    EXPECT_EQ(d->width, 0);
    Image *img = img_new();
    img_resize(img, 0, 0); // the Display's size
    dpy_present(d, img);
    dpy_present_alias(d, img);
    dpy_present_convert(d, img);
    img_resize(img, 640, 480);
    dpy_present_convert(d, img);
    EXPECT_EQ(SDL_GetVideoSurface(), nullptr);
    dpy_free(&d);
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "");
    img_free(&img);
    setenv("SDL_VIDEODRIVER", driver.c_str(), 1);
}

// Over SDL2 the frame is scaled to the screen: the nearest pixel unless the user chose.
TEST(DisplayScaleMethod, DefaultsToNearestAndKeepsTheUsersChoice) {
    const char *name = "SDL12COMPAT_SCALE_METHOD";
    const char *before = getenv(name);
    const std::string saved = before ? before : "";
    const struct {
        const char *user; // null: not set
        const char *seen;
    } cases[] = {{nullptr, "nearest"}, {"linear", "linear"}, {"", ""}};
    for (auto c : cases) {
        if (c.user)
            setenv(name, c.user, 1);
        else
            unsetenv(name);
        Display *d = dpy_new();
        ASSERT_NE(d, nullptr);
        const char *seen = getenv(name);
        EXPECT_STREQ(seen ? seen : "(unset)", c.seen) << (c.user ? c.user : "(unset)");
        dpy_free(&d);
    }
    if (before)
        setenv(name, saved.c_str(), 1);
    else
        unsetenv(name);
}
