// The command line of the intro and capture programs, and the capture's key script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "intro/key_script.h"
#include "intro/options.h"

namespace {

struct Parsed {
    OptResult result;
    std::string text;  // opt_to_text after OPT_RUN
    std::string error; // after OPT_BAD
};

Parsed parse(OptProgram program, std::vector<std::string> args) {
    args.insert(args.begin(), "klov");
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Options o;
    Parsed p{opt_parse(&o, program, int(args.size()), argv.data()), "", ""};
    if (p.result == OPT_RUN) {
        char *t = opt_to_text(&o);
        p.text = t;
        free(t);
    }
    if (p.result == OPT_BAD) p.error = o.error;
    return p;
}

// One line of opt_to_text, such as "fps".
std::string field(const std::string &text, const std::string &name) {
    const size_t at = text.find(name + "=");
    if (at == std::string::npos) return "<none>";
    const size_t start = at + name.size() + 1;
    return text.substr(start, text.find('\n', start) - start);
}

// A command line that runs, and one value it must give.
struct Good {
    std::vector<std::string> args;
    const char *name;
    const char *value;
};

void expect_good(OptProgram program, const std::vector<Good> &cases) {
    for (const Good &c : cases) {
        const Parsed p = parse(program, c.args);
        std::string line;
        for (const std::string &a : c.args) line += a + " ";
        ASSERT_EQ(p.result, OPT_RUN) << line << p.error;
        EXPECT_EQ(field(p.text, c.name), c.value) << line;
    }
}

TEST(Options, GoodCommandLinesOfTheIntro) {
    expect_good(OPT_INTRO,
                {
                    {{}, "fps", "0/0"}, // no pacing, as without options
                    {{}, "frames", "0"},
                    {{}, "data", ""},
                    {{"--fps", "60"}, "fps", "60/1"},
                    {{"--fps=60"}, "fps", "60/1"},
                    {{"--fps=1"}, "fps", "1/1"},
                    {{"--fps", "1000"}, "fps", "1000/1"},
                    {{"--frames", "120"}, "frames", "120"},
                    {{"--data", "/usr/share/klov"}, "data", "/usr/share/klov"},
                    {{"--data=a=b"}, "data", "a=b"},                 // only the first = splits
                    {{"--fps", "30", "--fps", "50"}, "fps", "50/1"}, // the last one counts
                    {{"--"}, "fps", "0/0"},
                });
}

TEST(Options, GoodCommandLinesOfTheCapture) {
    expect_good(OPT_CAPTURE,
                {
                    {{"out.y4m"}, "fps", "60/1"},
                    {{"out.y4m"}, "output", "out.y4m"},
                    {{"--fps", "60000/1001", "out.mp4"}, "fps", "60000/1001"},
                    {{"--fps=25", "out.mp4"}, "fps", "25/1"},
                    {{"--seconds", "12.5", "a.mkv"}, "seconds_milli", "12500"},
                    {{"--seconds=90", "a.mkv"}, "seconds_milli", "90000"},
                    {{"--seconds=0.001", "a.mkv"}, "seconds_milli", "1"},
                    {{"--size", "1920x1080", "a.mkv"}, "size", "1920x1080"},
                    {{"--keys", "600:space,1800-1860:p", "a.y4m"}, "keys", "600:space,1800-1860:p"},
                    {{"--force", "--quiet", "a.png"}, "force", "1"},
                    {{"--force", "--quiet", "a.png"}, "quiet", "1"},
                    {{"--", "--odd-name.y4m"}, "output", "--odd-name.y4m"},
                });
}

TEST(Options, BadCommandLinesNameTheProblem) {
    const struct {
        OptProgram program;
        std::vector<std::string> args;
        const char *says; // a part of the one-line message
    } cases[] = {
        {OPT_INTRO, {"--fast"}, "unknown option \"--fast\""},
        {OPT_INTRO, {"-x"}, "unknown option \"-x\""},
        {OPT_INTRO, {"--fps"}, "--fps needs a value"},
        {OPT_INTRO, {"--fps", "0"}, "\"0\""},
        {OPT_INTRO, {"--fps", "1001"}, "\"1001\""},
        {OPT_INTRO, {"--fps", "60/1"}, "\"60/1\""}, // a ratio is the capture's
        {OPT_INTRO, {"--fps=-5"}, "\"-5\""},
        {OPT_INTRO, {"--fps", "6O"}, "\"6O\""},
        {OPT_INTRO, {"--fps="}, "\"\""},
        {OPT_INTRO, {"--fps", "99999999999999999999"}, "--fps"},
        {OPT_INTRO, {"--frames", "0"}, "--frames"},
        {OPT_INTRO, {"--data"}, "--data needs a value"},
        {OPT_INTRO, {"--data="}, "empty"},
        {OPT_INTRO, {"--help=yes"}, "--help takes no value"},
        {OPT_INTRO, {"picture.ppm"}, "unexpected argument \"picture.ppm\""},
        {OPT_INTRO, {"--size", "640x480"}, "unknown option \"--size\""}, // the capture's only
        {OPT_INTRO, {"--keys=1:p"}, "unknown option"},
        {OPT_CAPTURE, {}, "no output file"},
        {OPT_CAPTURE, {"a.y4m", "b.y4m"}, "one output file only"},
        {OPT_CAPTURE, {"--fps", "1/2", "a.y4m"}, "\"1/2\""},
        {OPT_CAPTURE, {"--fps", "60/0", "a.y4m"}, "\"60/0\""},
        {OPT_CAPTURE, {"--fps", "1001/1", "a.y4m"}, "\"1001/1\""},
        {OPT_CAPTURE, {"--seconds", "0", "a.y4m"}, "--seconds"},
        {OPT_CAPTURE, {"--seconds", "1.2345", "a.y4m"}, "--seconds"},
        {OPT_CAPTURE, {"--seconds", "1.", "a.y4m"}, "--seconds"},
        {OPT_CAPTURE, {"--frames", "10", "--seconds", "1", "a.y4m"}, "do not go together"},
        {OPT_CAPTURE, {"--size", "1920", "a.mp4"}, "--size"},
        {OPT_CAPTURE, {"--size", "2x2", "a.mp4"}, "--size"},
        {OPT_CAPTURE, {"--size", "99999x99999", "a.mp4"}, "--size"},
        {OPT_CAPTURE, {"--keys", "600space", "a.y4m"}, "--keys"},
        {OPT_CAPTURE, {"--keys", "600:shift", "a.y4m"}, "unknown key"},
        {OPT_CAPTURE, {"--keys", "20-10:p", "a.y4m"}, "ends before it starts"},
    };
    for (const auto &c : cases) {
        const Parsed p = parse(c.program, c.args);
        std::string line;
        for (const std::string &a : c.args) line += a + " ";
        ASSERT_EQ(p.result, OPT_BAD) << line;
        EXPECT_NE(p.error.find(c.says), std::string::npos) << line << "gave: " << p.error;
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line: " << p.error;
        EXPECT_EQ(opt_status(p.result), 2);
    }
}

TEST(Options, HelpAndVersionWinOverTheRestOfTheLine) {
    EXPECT_EQ(parse(OPT_INTRO, {"--help"}).result, OPT_HELP);
    EXPECT_EQ(parse(OPT_INTRO, {"-h"}).result, OPT_HELP);
    EXPECT_EQ(parse(OPT_INTRO, {"--fps", "60", "--version"}).result, OPT_VERSION);
    EXPECT_EQ(parse(OPT_CAPTURE, {"--help"}).result, OPT_HELP); // no output file needed
    EXPECT_EQ(opt_status(OPT_HELP), 0);
    EXPECT_EQ(opt_status(OPT_VERSION), 0);
    // A problem before or after them is still a problem.
    EXPECT_EQ(parse(OPT_INTRO, {"--help", "--fps", "0"}).result, OPT_BAD);
}

TEST(Options, HandlePrintsUsageWhereItBelongs) {
    std::vector<std::string> args = {"/opt/klov/klov4402", "--fps", "0"};
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    Options o;
    int status = -1;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(opt_handle(&o, OPT_INTRO, int(argv.size()), argv.data(), &status), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err.rfind("klov4402: --fps: \"0\"", 0), 0u) << err;
    EXPECT_NE(err.find("Usage: klov4402 [OPTION]..."), std::string::npos);
    EXPECT_NE(err.find("--frames N"), std::string::npos);
    EXPECT_EQ(err.find("--size"), std::string::npos); // the capture's options are not listed

    args = {"klov-capture", "--version"};
    argv.clear();
    for (std::string &a : args) argv.push_back(a.data());
    testing::internal::CaptureStdout();
    EXPECT_EQ(opt_handle(&o, OPT_CAPTURE, int(argv.size()), argv.data(), &status), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("klov-capture ") + klov_version + "\n");
    EXPECT_EQ(status, 0);
}

TEST(KeyScript, HoldsByFrameAndTheLastEntryWins) {
    KeyScript s;
    char error[120];
    ASSERT_TRUE(keys_parse(&s, "600:space,1800-1860:p,1850:O,5:esc,7:3", error, sizeof error))
        << error;
    const struct {
        int64_t frame;
        int8_t code;
    } cases[] = {{0, 0},      {599, 0},    {600, ' '},  {601, 0},    {1799, 0},
                 {1800, 'p'}, {1849, 'p'}, {1850, 'o'}, {1851, 'p'}, {1860, 'p'},
                 {1861, 0},   {5, 27},     {7, '3'}};
    for (const auto &c : cases) EXPECT_EQ(keys_code_at(&s, c.frame), c.code) << c.frame;
}

TEST(KeyScript, RefusesWhatItCannotRead) {
    const char *bad[] = {
        "",     ",",     "600:",         ":space", "600:space,", "a:space",
        "1-:p", "5-4:p", "600:spacebar", "600:?",  "600-700",    "99999999999999999:p"};
    for (const char *text : bad) {
        KeyScript s;
        char error[120] = "";
        EXPECT_EQ(keys_parse(&s, text, error, sizeof error), 0) << text;
        EXPECT_NE(error[0], '\0') << text;
    }
    std::string many;
    for (int i = 0; i < 65; i++) many += std::to_string(i) + ":p,";
    many.pop_back();
    KeyScript s;
    char error[120];
    EXPECT_EQ(keys_parse(&s, many.c_str(), error, sizeof error), 0);
}

} // namespace
