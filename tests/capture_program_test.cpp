// The klov-capture program end to end: the files it writes, read back (with ffmpeg for
// .mkv, .mp4 and .png), and the ways it refuses or fails.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "intro/capture.h"
#include "intro/data_dir.h"
#include "intro/intro_music.h"
#include "intro/media_out.h"
#include "tests/golden_frames.h"
#include "tests/intro_fixture.h"
#include "tests/xm_fixture.h"

namespace {

const std::string program = std::string(KLOV_BINARY_DIR) + "/klov-capture";
const std::string data = std::string(KLOV_SOURCE_DIR) + "/data";
constexpr int W = 640, H = 480;
constexpr size_t y4m_frame = 6 + size_t{3} * W * H;
const std::string y4m_header = "YUV4MPEG2 W640 H480 F60:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n";

struct Outcome {
    int status;
    std::string err;
};

// Runs a shell command line with the program's standard error kept.
Outcome run(const std::string &dir, const std::string &line) {
    const std::string err = dir + "/stderr.txt";
    const int s = system(("cd '" + dir + "' && { " + line + "; } 2>'" + err + "'").c_str());
    std::ifstream in(err);
    std::stringstream text;
    text << in.rdbuf();
    unlink(err.c_str());
    return {WIFEXITED(s) ? WEXITSTATUS(s) : -1, text.str()};
}

std::string capture(const std::string &args) {
    return "'" + program + "' --data '" + data + "' --quiet " + args;
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Compared piece by piece: the videos are too big to hold twice.
bool same_file(const std::string &a, const std::string &b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), std::streamsize(ba.size()));
        fb.read(bb.data(), std::streamsize(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
    }
    return !fa && !fb;
}

std::string command_output(const std::string &line) {
    std::string out;
    if (FILE *p = popen(line.c_str(), "r")) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::vector<std::string> folder_files(const std::string &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The 16-bit stereo samples of a .wav written by the program (after its 44 bytes).
std::vector<int16_t> wav_samples(const std::string &bytes) {
    std::vector<int16_t> s((bytes.size() - 44) / 2);
    memcpy(s.data(), bytes.data() + 44, s.size() * 2);
    return s;
}

uint32_t u32_at(const std::string &b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// A frame as the .y4m holds it: Y, Cb and Cr planes.
std::string y4m_planes(const uint32_t *pixels) {
    std::string planes(size_t{3} * W * H, '\0');
    for (size_t i = 0; i < size_t{W} * H; i++) {
        uint8_t y, cb, cr;
        media_yuv(pixels[i], &y, &cb, &cr);
        planes[i] = char(y);
        planes[size_t{W} * H + i] = char(cb);
        planes[size_t{2} * W * H + i] = char(cr);
    }
    return planes;
}

// Files shared by the suite, each made once a process when a test first needs it: a .y4m
// with its .wav, and a .mkv of the same frames.
class CaptureFiles : public testing::Test {
  protected:
    static inline std::string dir;
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/klov-capture-XXXXXX";
        dir = mkdtemp(pattern);
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }
    static const Outcome &made(const std::string &args) {
        static std::map<std::string, Outcome> runs;
        auto at = runs.find(args);
        if (at == runs.end())
            at = runs.emplace(args,
                              run(dir, capture(args + std::string(" --keys ") + golden_key_script)))
                     .first;
        return at->second;
    }
    static const Outcome &y4m() { return made("--frames 301 a.y4m"); }
};

TEST_F(CaptureFiles, TheY4mHoldsTheIntrosFramesAndTheWavExactlyTheirSound) {
    ASSERT_EQ(y4m().status, 0) << y4m().err;
    EXPECT_EQ(y4m().err, "");
    const std::string video = read_file(dir + "/a.y4m");
    ASSERT_EQ(video.size(), y4m_header.size() + 301 * y4m_frame);
    EXPECT_EQ(video.substr(0, y4m_header.size()), y4m_header);
    for (size_t f = 0; f < 301; f++)
        ASSERT_EQ(video.substr(y4m_header.size() + f * y4m_frame, 6), "FRAME\n") << f;

    // The same frames composed here: they are the golden ones, and the file holds them.
    DataFolder folder;
    reset_intro_state();
    data_dir.folder[0] = 0;
    Capture c;
    cap_init(&c, 60, 1, golden_key_script);
    ASSERT_TRUE(cap_scene_start(&c, W, H));
    const struct {
        int frame;
        uint64_t hash;
    } golden[] = {{0, golden_frame_0}, {1, golden_frame_1}, {300, golden_frame_300}};
    int next = 0;
    for (int f = 0; f <= 300; f++) {
        cap_compose(&c, f);
        if (f != golden[next].frame) continue;
        EXPECT_EQ(fnv1a(c.frame), golden[next].hash) << "frame " << f;
        EXPECT_TRUE(video.compare(y4m_header.size() + size_t(f) * y4m_frame + 6, 3 * W * H,
                                  y4m_planes(c.frame->pixels)) == 0)
            << "frame " << f;
        next++;
    }
    cap_release(&c);
    reset_intro_state();

    const std::string wav = read_file(dir + "/a.wav");
    ASSERT_EQ(wav.size(), 44u + 301 * 800 * 4);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(u32_at(wav, 4), wav.size() - 8);
    EXPECT_EQ(u32_at(wav, 24), 48000u);
    EXPECT_EQ(u32_at(wav, 40), 301u * 800 * 4);
    int peak = 0;
    for (int16_t s : wav_samples(wav)) peak = std::max(peak, std::abs(int{s}));
    EXPECT_GT(peak, 1000);

    const Outcome &again = made("--frames 301 b.y4m");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(read_file(dir + "/b.wav") == wav) << "two runs give the same sound";
    EXPECT_TRUE(same_file(dir + "/b.y4m", dir + "/a.y4m")) << "two runs give the same frames";
}

TEST_F(CaptureFiles, TheMkvDecodesBackToTheSameFramesAndSound) {
    ASSERT_EQ(y4m().status, 0) << y4m().err;
    const Outcome &mkv = made("--frames 120 a.mkv");
    ASSERT_EQ(mkv.status, 0) << mkv.err;
    const std::string video = read_file(dir + "/a.y4m");
    const std::string pixels =
        command_output("ffmpeg -v error -i '" + dir + "/a.mkv' -f rawvideo -pix_fmt bgr0 -");
    const size_t frame_bytes = size_t{4} * W * H;
    ASSERT_EQ(pixels.size(), 120 * frame_bytes);
    for (size_t f = 0; f < 120; f++) {
        const std::string planes =
            y4m_planes(reinterpret_cast<const uint32_t *>(pixels.data() + f * frame_bytes));
        ASSERT_TRUE(video.compare(y4m_header.size() + f * y4m_frame + 6, 3 * W * H, planes) == 0)
            << "frame " << f;
    }
    const std::string probe = command_output(
        "ffprobe -v error -count_frames -show_entries "
        "stream=codec_name,width,height,r_frame_rate,pix_fmt,nb_read_frames -of compact '" +
        dir + "/a.mkv'");
    EXPECT_NE(probe.find("codec_name=ffv1|width=640|height=480|pix_fmt=bgr0|r_frame_rate=60/1"),
              std::string::npos)
        << probe;
    EXPECT_NE(probe.find("nb_read_frames=120"), std::string::npos) << probe;
    EXPECT_NE(probe.find("codec_name=flac"), std::string::npos) << probe;
    const std::string sound =
        command_output("ffmpeg -v error -i '" + dir + "/a.mkv' -map 0:a -f s16le -");
    const long samples = long(sound.size() / 4);
    EXPECT_LE(std::abs(samples - 120 * 800), 800) << samples << " sample frames";
    // The lossless sound is the .wav's own beginning.
    const std::string wav = read_file(dir + "/a.wav");
    EXPECT_EQ(sound.substr(0, 120 * 800 * 4), wav.substr(44, 120 * 800 * 4));
}

TEST_F(CaptureFiles, ThePngIsTheLastFrame) {
    ASSERT_EQ(y4m().status, 0) << y4m().err;
    const Outcome &r = made("--frames 120 last.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string shot =
        command_output("ffmpeg -v error -i '" + dir + "/last.png' -f rawvideo -pix_fmt bgr0 -");
    const std::string video = read_file(dir + "/a.y4m");
    ASSERT_EQ(shot.size(), size_t{4} * W * H);
    const std::string planes = y4m_planes(reinterpret_cast<const uint32_t *>(shot.data()));
    EXPECT_TRUE(video.compare(y4m_header.size() + 119 * y4m_frame + 6, 3 * W * H, planes) == 0);
    EXPECT_FALSE(video.compare(y4m_header.size() + 118 * y4m_frame + 6, 3 * W * H, planes) == 0);
}

TEST_F(CaptureFiles, TheMp4IsReadyToUploadAt1080p60) {
    const Outcome r = run(dir, capture("--frames 30 a.mp4"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string probe =
        command_output("ffprobe -v error -show_entries "
                       "stream=codec_name,profile,width,height,pix_fmt,r_frame_rate -of compact '" +
                       dir + "/a.mp4'");
    EXPECT_NE(probe.find("codec_name=h264|profile=High|width=1920|height=1080|pix_fmt=yuv420p|"
                         "r_frame_rate=60/1"),
              std::string::npos)
        << probe;
    EXPECT_NE(probe.find("codec_name=aac"), std::string::npos) << probe;
    // Nothing is left beside it.
    const std::vector<std::string> files = folder_files(dir);
    for (const std::string &f : files) EXPECT_EQ(f.find(".sound.wav"), std::string::npos) << f;
}

// A tune of eight rows, a little under a second, in a data folder of its own.
class CaptureTune : public testing::Test {
  protected:
    DataFolder folder;
    void SetUp() override { ASSERT_TRUE(write_file("vemlotra.xm", tiny_xm(8, 8))); }
    std::string capture_here(const std::string &args) {
        return "'" + program + "' --data '" + folder.path().string() + "' --quiet " + args;
    }
};

TEST_F(CaptureTune, WithoutALengthOnePlayOfTheTuneIsCapturedAndLongerOnesHoldTheRestart) {
    const std::string dir = folder.path().string();
    const Outcome one = run(dir, capture_here("--size 4x3 one.y4m"));
    ASSERT_EQ(one.status, 0) << one.err;
    const std::string video = read_file(dir + "/one.y4m");
    const std::string header = "YUV4MPEG2 W4 H3 F60:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n";
    ASSERT_EQ(video.substr(0, header.size()), header);
    const size_t frames = (video.size() - header.size()) / (6 + 36);
    EXPECT_EQ((video.size() - header.size()) % (6 + 36), 0u);
    // 8 rows of 0.12 s: the tune ends in frame 57.
    EXPECT_EQ(frames, 58u);
    const std::vector<int16_t> play = wav_samples(read_file(dir + "/one.wav"));
    EXPECT_EQ(play.size(), frames * 800 * 2);

    const Outcome longer = run(dir, capture_here("--size 4x3 --fps 60 --frames 150 long.y4m"));
    ASSERT_EQ(longer.status, 0) << longer.err;
    const std::vector<int16_t> all = wav_samples(read_file(dir + "/long.wav"));
    ASSERT_EQ(all.size(), size_t{150} * 800 * 2);
    EXPECT_TRUE(std::equal(play.begin(), play.end(), all.begin()));
    EXPECT_TRUE(std::equal(play.begin(), play.end() - 800 * 2, all.begin() + play.size()))
        << "the second play starts in the frame after the first one ended";

    const Outcome ntsc =
        run(dir, capture_here("--size 4x3 --fps 60000/1001 --frames 100 ntsc.y4m"));
    ASSERT_EQ(ntsc.status, 0) << ntsc.err;
    EXPECT_EQ(read_file(dir + "/ntsc.wav").size(), 44u + 80080 * 4); // 100 x 800.8
    EXPECT_EQ(read_file(dir + "/ntsc.y4m").substr(0, 27), "YUV4MPEG2 W4 H3 F60000:1001");
}

// A damaged tune never reaches the music library: one line names it, and the capture
// records silence for the frames asked for, or, given no length, has none to take.
TEST_F(CaptureTune, ADamagedTuneIsRefusedInOneLineAndRecordsSilence) {
    std::vector<uint8_t> tune = tiny_xm(8, 8);
    tune.pop_back();
    ASSERT_TRUE(write_file("vemlotra.xm", tune));
    const std::string dir = folder.path().string();
    const std::string refused =
        "Error loading: " + dir + "/vemlotra.xm: cut short in instrument 1's sample data\n";
    const Outcome r = run(dir, capture_here("--size 4x3 --frames 30 d.y4m"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, refused);
    const std::vector<int16_t> sound = wav_samples(read_file(dir + "/d.wav"));
    EXPECT_EQ(sound.size(), size_t{30} * 800 * 2);
    EXPECT_TRUE(std::all_of(sound.begin(), sound.end(), [](int16_t v) { return v == 0; }));

    const Outcome none = run(dir, capture_here("--size 4x3 e.y4m"));
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err.substr(0, refused.size()), refused);
    EXPECT_NE(none.err.find("give --frames or --seconds"), std::string::npos) << none.err;
}

// The refusals and failures: one line, status 1, and nothing left behind.
class CaptureFailure : public testing::Test {
  protected:
    std::string dir;
    void SetUp() override {
        char pattern[] = "/tmp/klov-capture-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override {
        chmod(dir.c_str(), 0700);
        fs::remove_all(dir);
    }
    void expect_one_line(const Outcome &r, const char *word) {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(word), std::string::npos) << r.err;
    }
};

TEST_F(CaptureFailure, WithoutFfmpegOnThePathNothingIsMade) {
    const Outcome r = run(dir, "PATH=/nonexistent " + capture("--frames 10 a.mkv"));
    expect_one_line(r, "ffmpeg");
    EXPECT_TRUE(folder_files(dir).empty());
}

TEST_F(CaptureFailure, AnFfmpegThatDiesHalfWayLeavesNoPartialFile) {
    fs::create_directory(dir + "/bin");
    const std::string fake = dir + "/bin/ffmpeg";
    std::ofstream(fake) << "#!/bin/sh\n"
                           "for a; do out=$a; done\n"
                           "head -c 3000000 >\"$out\"\n"
                           "echo 'disk on fire' >&2\n"
                           "exit 1\n";
    chmod(fake.c_str(), 0755);
    fs::create_directory(dir + "/out");
    const Outcome r =
        run(dir, "PATH='" + dir + "/bin':/usr/bin:/bin " + capture("--frames 60 out/a.mkv"));
    expect_one_line(r, "disk on fire");
    EXPECT_TRUE(folder_files(dir + "/out").empty());
}

TEST_F(CaptureFailure, AnExistingFileIsNeverTouchedWithoutForce) {
    for (const char *existing : {"a.mkv", "a.y4m", "a.wav", "a.png"}) {
        const std::string target = dir + "/" + existing;
        std::ofstream(target) << "keep";
        const std::string output =
            std::string(existing) == "a.wav" ? "a.y4m" : existing; // a .y4m's sound file too
        const Outcome r = run(dir, capture("--frames 5 " + output));
        expect_one_line(r, "--force");
        EXPECT_EQ(read_file(target), "keep") << existing;
        EXPECT_EQ(folder_files(dir).size(), 1u) << existing;
        fs::remove(target);
    }
    std::ofstream(dir + "/a.y4m") << "keep";
    const Outcome r = run(dir, capture("--frames 5 --size 4x3 --force a.y4m"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir + "/a.y4m").size(),
              std::string("YUV4MPEG2 W4 H3 F60:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n").size() +
                  5 * (6 + 36));
}

TEST_F(CaptureFailure, AFolderThatCannotBeWrittenIsRefusedBeforeAnyFrame) {
    // Root writes wherever the permission bits say no; /proc takes no new files from anyone.
    std::string locked = dir + "/locked";
    fs::create_directory(locked);
    chmod(locked.c_str(), 0555);
    if (geteuid() == 0) locked = "/proc";
    for (const std::string &out : {locked + "/a.y4m", locked + "/a.mkv", dir + "/missing/a.png"}) {
        const Outcome r = run(dir, capture("--frames 100000 '" + out + "'"));
        expect_one_line(r, "cannot write in the folder");
        EXPECT_FALSE(fs::exists(out)) << out;
    }
}

// Stopped from outside, during the sound and during the frames: the partial files go.
TEST_F(CaptureFailure, AStopSignalRemovesWhatWasMade) {
    const struct {
        const char *args;
        const char *signal;
        int status;
    } cases[] = {
        {"--frames 100000000 --size 4x3 a.y4m", "TERM", 128 + 15}, // still mixing
        {"--frames 100000 a.mkv", "INT", 128 + 2},                 // composing
    };
    for (const auto &c : cases) {
        const Outcome r = run(dir, capture(c.args) + " & pid=$!; sleep 1.5; kill -" + c.signal +
                                       " $pid; wait $pid; exit $?");
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("stopped"), std::string::npos) << r.err;
        EXPECT_TRUE(folder_files(dir).empty()) << c.args;
    }
}

} // namespace
