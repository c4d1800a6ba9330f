// Hostile inputs shared by the file reader and writer tests: paths that are not regular
// files, a child process that a hang can't take down with it, and a disk that fills up.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Runs `action` in a child process that is stopped after `seconds`: its exit status, or -1
// when it did not end by itself in time (a hang) or died of a signal.
inline int in_child(unsigned seconds, const std::function<int()> &action) {
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(seconds);
        _exit(action());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `action` in a child process whose files can't grow past `bytes`, as on a disk that
// fills up: a write beyond that fails.
inline int on_full_disk(size_t bytes, const std::function<int()> &action) {
    return in_child(30, [&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {bytes, bytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 99;
        return action();
    });
}

struct HostilePath {
    std::string what;
    std::string path;
};

// Paths that are not regular files, made in `dir`: a link to /dev/zero (endless zero bytes),
// a named pipe without a writer (an open that would block), a folder; and /dev/zero.
inline std::vector<HostilePath> hostile_paths(const std::filesystem::path &dir) {
    const std::filesystem::path link = dir / "zero.ppm", pipe = dir / "pipe.ppm",
                                folder = dir / "folder.ppm";
    std::filesystem::create_symlink("/dev/zero", link);
    if (mkfifo(pipe.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    std::filesystem::create_directory(folder);
    return {{"link to /dev/zero", link},
            {"named pipe", pipe},
            {"folder", folder},
            {"/dev/zero", "/dev/zero"}};
}

// The names in `dir`, sorted.
inline std::vector<std::string> names_in(const std::filesystem::path &dir) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
