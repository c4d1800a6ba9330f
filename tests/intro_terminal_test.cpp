// The windowed program in a terminal of its own (a pseudo-terminal), ended in every way it
// can end. On SDL's text-mode driver (caca, where this SDL has it) the intro draws into the
// terminal, switches it to raw input and to its second screen; every way out must give SDL
// back, so that the terminal has its modes and its main screen again. A signal ends the
// program as that signal, once SDL is shut down.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/intro_fixture.h"

namespace {

const std::string program = KLOV_BINARY_DIR "/klov4402";
const std::string data = KLOV_SOURCE_DIR "/data";
const char *const alternate_screen_on = "\x1b[?1049h";
const char *const alternate_screen_off = "\x1b[?1049l";

struct Ending {
    const char *what;
    std::vector<std::string> options; // besides --data
    const char *key;                  // typed once the program runs, or null
    int signal;                       // sent once the program runs, or 0
    int exit_status;                  // when no signal ends it
};

struct TerminalRun {
    int wait_status = -1;
    std::string out; // everything written to the terminal
    termios before{}, after{};
};

int count(const std::string &text, const char *what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// Whether the process catches SIGTERM (its start-up has begun).
bool catches_sigterm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// Runs the program on the driver in a new terminal; once it catches signals and (on a
// text-mode driver) has taken the terminal over, types the key or sends the signal.
TerminalRun run_in_terminal(const char *driver, const std::string &folder, const Ending &e) {
    TerminalRun r;
    int master = -1, slave = -1;
    winsize size{};
    size.ws_row = 30;
    size.ws_col = 100;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) return r;
    tcgetattr(slave, &r.before);
    std::vector<std::string> args = {program, "--data", folder};
    args.insert(args.end(), e.options.begin(), e.options.end());
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        for (int fd = 0; fd < 3; fd++) dup2(slave, fd);
        close(master);
        close(slave);
        setenv("SDL_VIDEODRIVER", driver, 1);
        setenv("TERM", "xterm", 1);
        unsetenv("DISPLAY"); // the text-mode library would open a window there instead
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    fcntl(master, F_SETFL, O_NONBLOCK);
    auto drain = [&](int ms) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return;
        char buf[65536];
        ssize_t n;
        while ((n = read(master, buf, sizeof buf)) > 0) r.out.append(buf, size_t(n));
    };
    const bool takes_terminal = strcmp(driver, "dummy") != 0;
    const auto start = std::chrono::steady_clock::now();
    auto waited = [&] { return std::chrono::steady_clock::now() - start; };
    bool acted = !e.key && !e.signal;
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 && waited() < std::chrono::seconds(60)) {
        drain(20);
        if (!acted && catches_sigterm(pid) &&
            (!takes_terminal || r.out.find(alternate_screen_on) != std::string::npos)) {
            // A few frames into the cycle.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            drain(0);
            if (e.key) write(master, e.key, strlen(e.key));
            if (e.signal) kill(pid, e.signal);
            acted = true;
        }
    }
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        r.out += "\n[still running after 60 s]";
    } else {
        r.wait_status = status;
    }
    drain(50);
    tcgetattr(slave, &r.after);
    close(master);
    close(slave);
    return r;
}

std::string how_it_ended(int wait_status) {
    if (wait_status == -1) return "did not end";
    if (WIFEXITED(wait_status)) return "status " + std::to_string(WEXITSTATUS(wait_status));
    if (WIFSIGNALED(wait_status)) return "signal " + std::to_string(WTERMSIG(wait_status));
    return "?";
}

bool same_modes(const termios &a, const termios &b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

const Ending endings[] = {
    {"Q", {}, "q", 0, 0},
    {"--frames", {"--frames", "20"}, nullptr, 0, 0},
    {"SIGINT", {}, nullptr, SIGINT, 0},
    {"SIGTERM", {}, nullptr, SIGTERM, 0},
    {"SIGHUP", {}, nullptr, SIGHUP, 0},
};

std::string expected_end(const Ending &e) {
    return e.signal ? "signal " + std::to_string(e.signal)
                    : "status " + std::to_string(e.exit_status);
}

TEST(IntroInATerminal, EveryWayOutOfTheTextModeDriverGivesTheTerminalBack) {
    for (const Ending &e : endings) {
        const TerminalRun r = run_in_terminal("caca", data, e);
        if (r.out.find("cannot open a 640 x 480 screen") != std::string::npos)
            GTEST_SKIP() << "this SDL has no caca driver";
        EXPECT_EQ(how_it_ended(r.wait_status), expected_end(e))
            << e.what << "; the terminal showed " << r.out.size() << " bytes, ending "
            << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0);
        EXPECT_TRUE(same_modes(r.before, r.after)) << e.what << ": the terminal modes changed";
        EXPECT_EQ(count(r.out, alternate_screen_on), 1) << e.what;
        EXPECT_EQ(count(r.out, alternate_screen_off), 1)
            << e.what << ": still on the second screen";
        EXPECT_GT(r.out.rfind(alternate_screen_off), r.out.rfind(alternate_screen_on)) << e.what;
    }
}

// Start-up stops after SDL took the terminal: SDL gives it back too.
TEST(IntroInATerminal, AStartThatFailsAfterSDLCameUpGivesTheTerminalBack) {
    DataFolder folder;
    std::ofstream("klov-2008.ppm").close(); // there, but empty
    const TerminalRun r =
        run_in_terminal("caca", folder.path().string(), {"no picture", {}, nullptr, 0, 1});
    if (r.out.find("cannot open a 640 x 480 screen") != std::string::npos)
        GTEST_SKIP() << "this SDL has no caca driver";
    EXPECT_EQ(how_it_ended(r.wait_status), "status 1");
    EXPECT_NE(r.out.find("Could not read picture: klov-2008.ppm"), std::string::npos) << r.out;
    EXPECT_TRUE(same_modes(r.before, r.after));
    EXPECT_EQ(count(r.out, alternate_screen_on), count(r.out, alternate_screen_off));
}

// On any driver a signal ends the program as that signal (the parent sees how it ended),
// and a normal end is status 0.
TEST(IntroInATerminal, OnTheDummyDriverASignalEndsItAsThatSignal) {
    for (const Ending &e : endings) {
        if (e.key) continue; // this driver reads no keys
        const TerminalRun r = run_in_terminal("dummy", data, e);
        EXPECT_EQ(how_it_ended(r.wait_status), expected_end(e)) << e.what << ": " << r.out;
    }
}

} // namespace
