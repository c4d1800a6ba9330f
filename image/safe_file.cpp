#include "image/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Clears O_NONBLOCK again, so that reads and writes after the open behave as usual.
bool make_blocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

FILE *stream_of(int fd, const char *mode) {
    FILE *f = fdopen(fd, mode);
    if (!f) close(fd);
    return f;
}

// A new file beside `target`, created exclusively with the usual permissions (or the
// target's own when it exists); the name is stored in *temp.
int create_beside(const std::string &target, const struct stat *old, char **temp) {
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    // A short hidden name: a long target name can't push it past the name limit.
    for (unsigned attempt = 0; attempt < 100; attempt++) {
        const std::string name =
            dir + ".klov-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        if (old && fchmod(fd, old->st_mode & 07777) != 0) {
            close(fd);
            unlink(name.c_str());
            return -1;
        }
        *temp = strdup(name.c_str());
        if (!*temp) {
            close(fd);
            unlink(name.c_str());
            return -1;
        }
        return fd;
    }
    return -1;
}

} // namespace

FILE *file_open_regular(const char *path) {
    if (!path) return nullptr;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !make_blocking(fd)) {
        close(fd);
        return nullptr;
    }
    return stream_of(fd, "rb");
}

bool file_replace_open(FileReplace *out, const char *path) {
    *out = FileReplace{};
    if (!path || !*path) return false;
    struct stat st;
    const bool exists = stat(path, &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a pipe: written in place, without waiting for a reader.
        const int fd = open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        if (!make_blocking(fd)) {
            close(fd);
            return false;
        }
        out->file = stream_of(fd, "wb");
        return out->file != nullptr;
    }
    // A file that could not be opened for writing is not replaced either.
    if (exists && access(path, W_OK) != 0) return false;
    // Through a link the file it names is replaced, and the link stays.
    char *target = exists ? realpath(path, nullptr) : strdup(path);
    if (!target) return false;
    const int fd = create_beside(target, exists ? &st : nullptr, &out->temp);
    if (fd < 0) {
        free(target);
        return false;
    }
    out->target = target;
    out->file = stream_of(fd, "wb");
    if (!out->file) {
        unlink(out->temp);
        free(out->temp);
        free(out->target);
        *out = FileReplace{};
        return false;
    }
    return true;
}

bool file_replace_close(FileReplace *out, bool ok) {
    if (!out->file) return false;
    ok = ok && fflush(out->file) == 0 && ferror(out->file) == 0;
    // The bytes reach the disk before the name moves, so a crash leaves the old file or
    // the whole new one.
    if (ok && out->temp) ok = fsync(fileno(out->file)) == 0;
    ok = fclose(out->file) == 0 && ok;
    if (out->temp) {
        if (ok) ok = rename(out->temp, out->target) == 0;
        if (!ok) unlink(out->temp);
    }
    free(out->temp);
    free(out->target);
    *out = FileReplace{};
    return ok;
}
