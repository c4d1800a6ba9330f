// The music through the library's own drivers. The tests choose the WAV disk writer (or a
// driver number that does not exist) before the start; the intro itself leaves the choice
// to the library.
#include <gtest/gtest.h>
#include <mikmod.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "intro/intro_music.h"
#include "tests/intro_fixture.h"
#include "tests/xm_fixture.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// The samples of a 16-bit WAV file written by the disk writer (after its 44-byte header).
std::vector<int16_t> wav_samples(const char *path) {
    std::vector<int16_t> samples;
    FILE *f = fopen(path, "rb");
    if (!f) return samples;
    if (fseek(f, 44, SEEK_SET) == 0) {
        int16_t s;
        while (fread(&s, sizeof s, 1, f) == 1) samples.push_back(s);
    }
    fclose(f);
    return samples;
}

int peak(const std::vector<int16_t> &samples) {
    int p = 0;
    for (int16_t s : samples) p = std::max(p, std::abs(int{s}));
    return p;
}

class MusicTest : public testing::Test {
  protected:
    DataFolder folder{false};

    // What a test does instead of a sound device: the library writes "music.wav" in the
    // working folder.
    static void choose_wav_writer() {
        MikMod_RegisterAllDrivers();
        md_device = static_cast<UWORD>(MikMod_DriverFromAlias(const_cast<char *>("wav")));
        ASSERT_GT(md_device, 0);
    }
    static void write_tune(int channels, int rows) {
        ASSERT_TRUE(write_file("vemlotra.xm", tiny_xm(channels, rows)));
    }
    // Updates until the tune has played to its end; returns how many played.
    static int play_to_the_end() {
        int updates = 0;
        while (Player_Active() && updates < 1000) {
            intro_music_update();
            updates++;
        }
        return updates;
    }
    void TearDown() override {
        if (music) intro_music_stop();
        md_device = 0;
    }
};

TEST_F(MusicTest, PlaysTheTuneThroughTheChosenDriver) {
    choose_wav_writer();
    write_tune(2, 64); // about 7.7 s, longer than the 20 updates below
    CaptureStderr();
    intro_music_start();
    EXPECT_EQ(GetCapturedStderr(), "");
    ASSERT_NE(music, nullptr);
    EXPECT_TRUE(Player_Active());
    for (int i = 0; i < 20; i++) intro_music_update();
    intro_music_stop();
    EXPECT_EQ(music, nullptr);
    const std::vector<int16_t> samples = wav_samples("music.wav");
    // 8,192 stereo frames of 16 bits an update.
    EXPECT_GE(samples.size(), 20u * 8192 * 2);
    EXPECT_GT(peak(samples), 1000);
}

TEST_F(MusicTest, TheIntrosOwnTuneSounds) {
    choose_wav_writer();
    folder.copy("vemlotra.xm");
    CaptureStderr();
    intro_music_start();
    EXPECT_EQ(GetCapturedStderr(), "");
    ASSERT_NE(music, nullptr);
    for (int i = 0; i < 30; i++) intro_music_update();
    intro_music_stop();
    EXPECT_GT(peak(wav_samples("music.wav")), 1000);
}

TEST_F(MusicTest, AnEndedTuneIsReloadedWithMoreVoicesAndPlaysAgainFromItsStart) {
    choose_wav_writer();
    write_tune(8, 8); // eight rows, about a second
    intro_music_start();
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->numvoices, 4); // the start loads with 4 voices
    const int first = play_to_the_end();
    EXPECT_GE(first, 3);
    EXPECT_LE(first, 10);
    ASSERT_NE(music, nullptr);
    EXPECT_FALSE(Player_Active());

    intro_music_update(); // stops, frees, reloads and starts; nothing is mixed in it
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->numvoices, 8); // every reload asks for 8
    EXPECT_TRUE(Player_Active());
    EXPECT_EQ(music->sngpos, 0);
    EXPECT_EQ(music->patpos, 0);
    EXPECT_EQ(play_to_the_end(), first) << "the second time round plays the whole tune again";

    // A reload that fails ends the music without a word.
    folder.remove("vemlotra.xm");
    CaptureStderr();
    intro_music_update();
    EXPECT_EQ(music, nullptr);
    for (int i = 0; i < 5; i++) intro_music_update();
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(music, nullptr);
    intro_music_stop();
    EXPECT_GT(peak(wav_samples("music.wav")), 1000);
}

TEST_F(MusicTest, WithoutTheTuneOneLineIsPrintedAndTheIntroRunsSilently) {
    choose_wav_writer();
    CaptureStderr();
    intro_music_start();
    const std::string reason = MikMod_strerror(MikMod_errno);
    for (int i = 0; i < 10; i++) intro_music_update();
    intro_music_stop();
    EXPECT_EQ(GetCapturedStderr(), "Error loading: " + reason + "\n");
    EXPECT_EQ(reason, MikMod_strerror(MMERR_OPENING_FILE));
    EXPECT_EQ(music, nullptr);
    EXPECT_EQ(peak(wav_samples("music.wav")), 0);
}

TEST_F(MusicTest, WhenTheSoundCannotBeSetUpNothingIsLoadedAndTheIntroRunsSilently) {
    write_tune(2, 64);
    MikMod_RegisterAllDrivers();
    md_device = 200; // there is no driver 200
    CaptureStderr();
    intro_music_start();
    const std::string reason = MikMod_strerror(MikMod_errno);
    EXPECT_EQ(GetCapturedStderr(), "Could not initialize sound\nReason: " + reason + "\n");
    EXPECT_EQ(reason, "Device number out of range");
    // Loading now would crash inside the library; the tune is left alone.
    EXPECT_EQ(music, nullptr);
    CaptureStderr();
    for (int i = 0; i < 10; i++) intro_music_update();
    intro_music_stop(); // shuts the library down all the same
    EXPECT_EQ(GetCapturedStderr(), "");
}

// A damaged tune never reaches the library: one line names it, and the intro runs silently.
TEST_F(MusicTest, ADamagedTuneIsRefusedInOneLineNamingIt) {
    choose_wav_writer();
    std::vector<uint8_t> tune = tiny_xm(2, 64);
    tune.pop_back(); // the sample data ends a byte early
    ASSERT_TRUE(write_file("vemlotra.xm", tune));
    CaptureStderr();
    intro_music_start();
    EXPECT_EQ(music, nullptr);
    for (int i = 0; i < 10; i++) intro_music_update();
    intro_music_stop();
    EXPECT_EQ(GetCapturedStderr(),
              "Error loading: vemlotra.xm: cut short in instrument 1's sample data\n");
    EXPECT_EQ(peak(wav_samples("music.wav")), 0);
}

// A tune that is not a regular file: a named pipe would block the open, a link to a device
// that never ends would be read for ever. Both are refused at once, at the start and at a
// restart after the tune was replaced while it played.
class MusicNotAFile : public MusicTest, public testing::WithParamInterface<const char *> {
  protected:
    static void make(const char *kind) {
        remove("vemlotra.xm");
        if (std::string(kind) == "pipe")
            ASSERT_EQ(mkfifo("vemlotra.xm", 0600), 0);
        else
            ASSERT_EQ(symlink("/dev/zero", "vemlotra.xm"), 0);
    }
};

TEST_P(MusicNotAFile, IsRefusedAtTheStart) {
    choose_wav_writer();
    make(GetParam());
    CaptureStderr();
    intro_music_start();
    EXPECT_EQ(GetCapturedStderr(),
              std::string("Error loading: ") + MikMod_strerror(MMERR_OPENING_FILE) + "\n");
    EXPECT_EQ(music, nullptr);
    intro_music_stop();
}

TEST_P(MusicNotAFile, IsRefusedAtARestart) {
    choose_wav_writer();
    write_tune(8, 8);
    intro_music_start();
    ASSERT_NE(music, nullptr);
    make(GetParam());
    play_to_the_end();
    CaptureStderr();
    intro_music_update(); // the reload
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(music, nullptr);
    intro_music_stop();
}

INSTANTIATE_TEST_SUITE_P(Kinds, MusicNotAFile, testing::Values("pipe", "dev_zero"));

// The driver is the first of a fixed list that opens, whatever SDL's variables say. The
// library's own choice aborted here inside its ALSA driver when SDL_AUDIODRIVER named a
// driver that does not exist and SDL's video had not started.
TEST_F(MusicTest, AnSdlAudioDriverThatDoesNotExistDoesNotAbortTheStart) {
    write_tune(2, 64);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "nonexistent", 1);
            md_device = 0;
            intro_music_start();
            for (int i = 0; i < 5; i++) intro_music_update();
            intro_music_stop();
            exit(md_device == 0 ? 0 : 1); // the choice is given back
        },
        testing::ExitedWithCode(0), "");
}

// As the intro runs on this machine, which has no sound device: no driver of the list
// opens. The audio library may print its own complaints first.
TEST_F(MusicTest, NoDriverOpensOnAMachineWithoutSound) {
    write_tune(2, 64);
    unsetenv("SDL_AUDIODRIVER"); // the tests otherwise give SDL a dummy sound device
    md_device = 0;
    CaptureStderr();
    intro_music_start();
    const std::string err = GetCapturedStderr();
    if (err.find("Could not initialize sound\n") == std::string::npos && music)
        GTEST_SKIP() << "this machine has a sound device";
    const std::string tail =
        std::string("Could not initialize sound\nReason: ") + MikMod_strerror(MikMod_errno) + "\n";
    ASSERT_GE(err.size(), tail.size());
    EXPECT_EQ(err.substr(err.size() - tail.size()), tail);
    EXPECT_EQ(music, nullptr);
    for (int i = 0; i < 5; i++) intro_music_update();
    intro_music_stop();
}

} // namespace
