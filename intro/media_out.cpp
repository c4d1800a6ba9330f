#include "intro/media_out.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

extern char **environ;

const ModuleId media_module = {"MEDIA", "20261211", "KV"};

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the sound is written in memory order, and the pixel words go to ffmpeg as bgr0");

namespace {

int fail(MediaOut *m, const char *format, const char *a = "", const char *b = "") {
    snprintf(m->error, sizeof m->error, format, a, b);
    return 0;
}

bool ends_with(const char *s, const char *tail) {
    const size_t n = strlen(s), t = strlen(tail);
    return n > t && !strcasecmp(s + n - t, tail);
}

std::string folder_of(const char *path) {
    const char *slash = strrchr(path, '/');
    if (!slash) return ".";
    if (slash == path) return "/";
    return std::string(path, size_t(slash - path));
}

bool exists(const char *path) {
    struct stat st;
    return lstat(path, &st) == 0;
}

void put_u32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
}

void put_be32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (24 - 8 * i));
}

// The 44-byte header of 16-bit stereo PCM; data_bytes is patched in at the end.
void wav_header(uint8_t h[44], uint32_t data_bytes) {
    memcpy(h, "RIFF\0\0\0\0WAVEfmt ", 16);
    put_u32(h + 4, 36 + data_bytes);
    put_u32(h + 16, 16);
    h[20] = 1; // PCM
    h[21] = 0;
    h[22] = 2; // channels
    h[23] = 0;
    put_u32(h + 24, uint32_t(media_rate));
    put_u32(h + 28, uint32_t(media_rate) * 4);
    h[32] = 4; // bytes a sample frame
    h[33] = 0;
    h[34] = 16;
    h[35] = 0;
    memcpy(h + 36, "data", 4);
    put_u32(h + 40, data_bytes);
}

// The last line ffmpeg wrote on its standard error, for the one-line report.
std::string last_log_line(const char *path) {
    std::string text;
    if (FILE *f = fopen(path, "rb")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
            text.append(buf, n);
            if (text.size() > 65536) text.erase(0, text.size() - 4096);
        }
        fclose(f);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    const size_t nl = text.find_last_of("\r\n");
    if (nl != std::string::npos) text.erase(0, nl + 1);
    if (text.size() > 300) text.resize(300);
    return text;
}

int wait_ffmpeg(MediaOut *m, const char *when) {
    int status = 0;
    pid_t r;
    do r = waitpid(m->ffmpeg, &status, 0);
    while (r < 0 && errno == EINTR);
    m->ffmpeg = 0;
    if (r > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) return 1;
    char how[64];
    if (r > 0 && WIFEXITED(status))
        snprintf(how, sizeof how, "exit status %d", WEXITSTATUS(status));
    else if (r > 0 && WIFSIGNALED(status))
        snprintf(how, sizeof how, "signal %d", WTERMSIG(status));
    else
        snprintf(how, sizeof how, "lost");
    const std::string said = last_log_line(m->ffmpeg_log);
    char detail[400];
    snprintf(detail, sizeof detail, "%s%s%s", how, said.empty() ? "" : ": ", said.c_str());
    return fail(m, "ffmpeg failed %s (%s)", when, detail);
}

int write_png(MediaOut *m, const Image *frame) {
    const size_t stride = 1 + size_t(m->width) * 3;
    std::vector<uint8_t> raw(stride * size_t(m->height));
    for (int32_t y = 0; y < m->height; y++) {
        uint8_t *r = raw.data() + stride * size_t(y);
        *r++ = 0; // no filter
        const uint32_t *p = frame->pixels + size_t(y) * size_t(m->width);
        for (int32_t x = 0; x < m->width; x++) {
            *r++ = uint8_t(p[x] >> 16);
            *r++ = uint8_t(p[x] >> 8);
            *r++ = uint8_t(p[x]);
        }
    }
    uLongf packed_size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), uLong(raw.size()), 6) != Z_OK)
        return fail(m, "cannot compress the picture");
    FILE *f = fopen(m->path, "wb");
    if (!f) return fail(m, "cannot write \"%s\" (%s)", m->path, strerror(errno));
    m->made_output = 1;
    bool ok = fwrite("\x89PNG\r\n\x1a\n", 1, 8, f) == 8;
    auto chunk = [&](const char *type, const uint8_t *data, size_t size) {
        uint8_t head[8], tail[4];
        put_be32(head, uint32_t(size));
        memcpy(head + 4, type, 4);
        uLong crc = crc32(0, head + 4, 4);
        if (size) crc = crc32(crc, data, uInt(size));
        put_be32(tail, uint32_t(crc));
        ok = ok && fwrite(head, 1, 8, f) == 8 && (!size || fwrite(data, 1, size, f) == size) &&
             fwrite(tail, 1, 4, f) == 4;
    };
    uint8_t ihdr[13];
    put_be32(ihdr, uint32_t(m->width));
    put_be32(ihdr + 4, uint32_t(m->height));
    ihdr[8] = 8; // bits a channel
    ihdr[9] = 2; // RGB
    ihdr[10] = ihdr[11] = ihdr[12] = 0;
    chunk("IHDR", ihdr, sizeof ihdr);
    chunk("IDAT", packed.data(), packed_size);
    chunk("IEND", nullptr, 0);
    ok = (fclose(f) == 0) && ok;
    return ok ? 1 : fail(m, "cannot write \"%s\" (%s)", m->path, strerror(errno));
}

int no_ffmpeg(MediaOut *m) {
    return fail(m, "ffmpeg was not found; it makes .mkv and .mp4 files (install it, or capture "
                   "to .y4m)");
}

int start_ffmpeg(MediaOut *m) {
    char program[4200];
    if (!media_find_program("ffmpeg", program, sizeof program)) return no_ffmpeg(m);
    char size[32], rate[32];
    snprintf(size, sizeof size, "%dx%d", int(m->width), int(m->height));
    snprintf(rate, sizeof rate, "%d/%d", int(m->fps_num), int(m->fps_den));
    std::vector<const char *> args = {
        program,    "-hide_banner", "-nostats",    "-loglevel", "error",      "-f",   "rawvideo",
        "-pix_fmt", "bgr0",         "-video_size", size,        "-framerate", rate,   "-i",
        "pipe:0",   "-i",           m->wav_path,   "-map",      "0:v:0",      "-map", "1:a:0"};
    if (m->kind == MEDIA_MKV) {
        for (const char *a : {"-c:v", "ffv1", "-level", "3", "-pix_fmt", "bgr0", "-c:a", "flac"})
            args.push_back(a);
    } else {
        for (const char *a : {"-c:v",
                              "libx264",
                              "-profile:v",
                              "high",
                              "-preset",
                              "medium",
                              "-crf",
                              "18",
                              "-vf",
                              "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
                              "-color_primaries",
                              "bt709",
                              "-color_trc",
                              "bt709",
                              "-colorspace",
                              "bt709",
                              "-c:a",
                              "aac",
                              "-b:a",
                              "192k",
                              "-movflags",
                              "+faststart"})
            args.push_back(a);
    }
    args.push_back(m->force ? "-y" : "-n");
    args.push_back(m->path);
    args.push_back(nullptr);

    char log_name[] = "/tmp/klov-capture-ffmpeg-XXXXXX";
    const int log = mkstemp(log_name);
    if (log < 0) return fail(m, "cannot make a temporary file (%s)", strerror(errno));
    snprintf(m->ffmpeg_log, sizeof m->ffmpeg_log, "%s", log_name);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        close(log);
        return fail(m, "cannot make a pipe (%s)", strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, log, 2);
    pid_t pid = 0;
    const int r =
        posix_spawn(&pid, program, &actions, nullptr, const_cast<char **>(args.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    close(log);
    if (r != 0) {
        close(fds[1]);
        return fail(m, "cannot start ffmpeg (%s)", strerror(r));
    }
    m->ffmpeg = pid;
    m->made_output = 1;
    m->video = fdopen(fds[1], "wb");
    if (!m->video) {
        close(fds[1]);
        return fail(m, "cannot write to ffmpeg (%s)", strerror(errno));
    }
    return 1;
}

} // namespace

MediaKind media_kind(const char *path) {
    if (!path) return MEDIA_NONE;
    const char *slash = strrchr(path, '/');
    const char *base = slash ? slash + 1 : path;
    const struct {
        const char *tail;
        MediaKind kind;
    } kinds[] = {
        {".y4m", MEDIA_Y4M}, {".mkv", MEDIA_MKV}, {".mp4", MEDIA_MP4}, {".png", MEDIA_PNG}};
    for (auto k : kinds)
        if (ends_with(base, k.tail)) return k.kind;
    return MEDIA_NONE;
}

int media_needs_even_size(MediaKind kind) {
    return kind == MEDIA_MP4; // 4:2:0 halves both sides
}

const char *media_find_program(const char *name, char *buf, size_t size) {
    const char *path = getenv("PATH");
    if (!path) return nullptr;
    for (const char *p = path;;) {
        const char *end = strchr(p, ':');
        const size_t n = end ? size_t(end - p) : strlen(p);
        std::string dir = n ? std::string(p, n) : ".";
        const std::string full = dir + "/" + name;
        struct stat st;
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(full.c_str(), X_OK) == 0 && full.size() < size) {
            memcpy(buf, full.c_str(), full.size() + 1);
            return buf;
        }
        if (!end) return nullptr;
        p = end + 1;
    }
}

int media_check(MediaOut *m, const char *path, int32_t width, int32_t height, int32_t fps_num,
                int32_t fps_den, int force) {
    *m = MediaOut{};
    m->path = path;
    m->width = width;
    m->height = height;
    m->fps_num = fps_num;
    m->fps_den = fps_den;
    m->force = force;
    m->kind = media_kind(path);
    if (m->kind == MEDIA_NONE)
        return fail(m, "cannot tell what to make of \"%s\": name a .y4m, .mkv, .mp4 or .png file",
                    path);
    if (strlen(path) > 4000) return fail(m, "the output file name is too long");
    if (media_needs_even_size(m->kind) && (width % 2 || height % 2))
        return fail(m, "a .mp4 needs an even width and height");
    const std::string folder = folder_of(path);
    if (m->kind == MEDIA_Y4M) {
        snprintf(m->wav_path, sizeof m->wav_path, "%.*s.wav", int(strlen(path) - 4), path);
    } else if (m->kind != MEDIA_PNG) {
        const char *slash = strrchr(path, '/');
        snprintf(m->wav_path, sizeof m->wav_path, "%s/.%s.%d.sound.wav", folder.c_str(),
                 slash ? slash + 1 : path, int(getpid()));
    }
    if (!force && exists(path))
        return fail(m, "\"%s\" already exists; give --force to replace it", path);
    if (!force && m->kind == MEDIA_Y4M && exists(m->wav_path))
        return fail(m, "\"%s\" already exists; give --force to replace it", m->wav_path);
    // The folder's permission bits do not tell everything (a read-only file system, or
    // root): a file made and removed does.
    char probe[4200];
    snprintf(probe, sizeof probe, "%s/.klov-capture-probe-%d", folder.c_str(), int(getpid()));
    const int fd = open(probe, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return fail(m, "cannot write in the folder \"%s\" (%s)", folder.c_str(), strerror(errno));
    close(fd);
    unlink(probe);
    char program[4200];
    if ((m->kind == MEDIA_MKV || m->kind == MEDIA_MP4) &&
        !media_find_program("ffmpeg", program, sizeof program))
        return no_ffmpeg(m);
    return 1;
}

int media_audio_open(MediaOut *m) {
    if (m->kind == MEDIA_PNG) return 1;
    const int fd =
        open(m->wav_path, O_WRONLY | O_CREAT | O_TRUNC | (m->kind == MEDIA_Y4M ? 0 : O_EXCL), 0644);
    if (fd >= 0) m->wav = fdopen(fd, "wb");
    if (!m->wav) {
        if (fd >= 0) close(fd);
        return fail(m, "cannot write \"%s\" (%s)", m->wav_path, strerror(errno));
    }
    m->made_output = 1;
    uint8_t h[44];
    wav_header(h, 0);
    if (fwrite(h, 1, 44, m->wav) != 44)
        return fail(m, "cannot write \"%s\" (%s)", m->wav_path, strerror(errno));
    return 1;
}

int media_audio(MediaOut *m, const int16_t *samples, int32_t count) {
    if (m->kind == MEDIA_PNG || count <= 0) return 1;
    if (!m->wav) return fail(m, "the sound file is not open");
    // A RIFF file counts its bytes in 32 bits.
    if ((m->wav_frames + count) * 4 > int64_t{0xFFFFFFFF} - 36)
        return fail(m, "the sound is too long for a WAV file");
    if (fwrite(samples, 4, size_t(count), m->wav) != size_t(count))
        return fail(m, "cannot write \"%s\" (%s)", m->wav_path, strerror(errno));
    m->wav_frames += count;
    return 1;
}

int media_audio_close(MediaOut *m) {
    if (!m->wav) return 1;
    uint8_t h[44];
    wav_header(h, uint32_t(m->wav_frames * 4));
    const bool ok = fseek(m->wav, 0, SEEK_SET) == 0 && fwrite(h, 1, 44, m->wav) == 44;
    const bool closed = fclose(m->wav) == 0;
    m->wav = nullptr;
    return ok && closed ? 1 : fail(m, "cannot write \"%s\" (%s)", m->wav_path, strerror(errno));
}

int media_video_open(MediaOut *m) {
    if (m->kind == MEDIA_PNG) return 1;
    if (m->kind != MEDIA_Y4M) return start_ffmpeg(m);
    m->yuv = static_cast<uint8_t *>(malloc(size_t(m->width) * size_t(m->height) * 3));
    if (!m->yuv) return fail(m, "out of memory for a video frame");
    m->video = fopen(m->path, "wb");
    if (!m->video) return fail(m, "cannot write \"%s\" (%s)", m->path, strerror(errno));
    m->made_output = 1;
    if (fprintf(m->video, "YUV4MPEG2 W%d H%d F%d:%d Ip A1:1 C444 XCOLORRANGE=LIMITED\n",
                int(m->width), int(m->height), int(m->fps_num), int(m->fps_den)) < 0)
        return fail(m, "cannot write \"%s\" (%s)", m->path, strerror(errno));
    return 1;
}

void media_yuv(uint32_t rgb, uint8_t *y, uint8_t *cb, uint8_t *cr) {
    const int32_t r = int32_t(rgb >> 16 & 0xFF), g = int32_t(rgb >> 8 & 0xFF),
                  b = int32_t(rgb & 0xFF);
    *y = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
    *cb = uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
    *cr = uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

int media_frame(MediaOut *m, const Image *frame) {
    if (!frame || frame->width != m->width || frame->height != m->height)
        return fail(m, "a frame of the wrong size");
    if (m->kind == MEDIA_PNG) return write_png(m, frame);
    if (!m->video) return fail(m, "the video is not open");
    const size_t n = size_t(m->width) * size_t(m->height);
    if (m->kind == MEDIA_Y4M) {
        uint8_t *y = m->yuv, *cb = m->yuv + n, *cr = m->yuv + 2 * n;
        for (size_t i = 0; i < n; i++) media_yuv(frame->pixels[i], y + i, cb + i, cr + i);
        if (fwrite("FRAME\n", 1, 6, m->video) != 6 || fwrite(m->yuv, 1, 3 * n, m->video) != 3 * n)
            return fail(m, "cannot write \"%s\" (%s)", m->path, strerror(errno));
        return 1;
    }
    if (fwrite(frame->pixels, 4, n, m->video) == n) return 1;
    fclose(m->video);
    m->video = nullptr;
    return wait_ffmpeg(m, "before the end") ? fail(m, "ffmpeg stopped reading before the end") : 0;
}

int media_finish(MediaOut *m) {
    if (!media_audio_close(m)) return 0;
    int ok = 1;
    if (m->video) {
        ok = fclose(m->video) == 0;
        m->video = nullptr;
        if (!ok && !m->ffmpeg) fail(m, "cannot write \"%s\" (%s)", m->path, strerror(errno));
    }
    if (m->ffmpeg) ok = wait_ffmpeg(m, "at the end");
    if (m->kind == MEDIA_MKV || m->kind == MEDIA_MP4) unlink(m->wav_path);
    if (m->ffmpeg_log[0]) unlink(m->ffmpeg_log);
    free(m->yuv);
    m->yuv = nullptr;
    if (ok) m->made_output = 0;
    return ok;
}

void media_abort(MediaOut *m) {
    if (m->wav) fclose(m->wav);
    m->wav = nullptr;
    if (m->ffmpeg) kill(m->ffmpeg, SIGTERM);
    if (m->video) fclose(m->video);
    m->video = nullptr;
    if (m->ffmpeg) {
        int status;
        while (waitpid(m->ffmpeg, &status, 0) < 0 && errno == EINTR) {
        }
        m->ffmpeg = 0;
    }
    if (m->made_output) {
        unlink(m->path);
        if (m->wav_path[0]) unlink(m->wav_path);
    }
    if (m->kind == MEDIA_MKV || m->kind == MEDIA_MP4) unlink(m->wav_path);
    if (m->ffmpeg_log[0]) unlink(m->ffmpeg_log);
    m->ffmpeg_log[0] = 0;
    free(m->yuv);
    m->yuv = nullptr;
    m->made_output = 0;
}
