#include "intro/options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "intro/key_script.h"

const ModuleId opt_module = {"OPT", "20261211", "KV"};

#ifndef KLOV_VERSION
#define KLOV_VERSION "0"
#endif
const char klov_version[] = KLOV_VERSION;

namespace {

constexpr int64_t max_frames = int64_t{1} << 40;
constexpr int64_t max_seconds_milli = int64_t{7} * 24 * 3600 * 1000; // a week
constexpr int32_t max_side = 16384;

enum Which { INTRO = 1, CAPTURE = 2, BOTH = 3 };

struct Option {
    const char *name;
    int takes_value;
    int programs;
    const char *value_name;
    const char *help[2]; // for the intro programs, for the capture program (null: as the first)
};

const Option options[] = {
    {"fps",
     1,
     BOTH,
     "N",
     {"start frames on a schedule of N a second (1 to 1000)",
      "frames a second of the video, N or N/D (default 60)"}},
    {"frames",
     1,
     BOTH,
     "N",
     {"end by itself after N frames", "capture N frames (default: one play of the tune)"}},
    {"seconds", 1, CAPTURE, "S", {nullptr, "capture S seconds (such as 90 or 12.5)"}},
    {"size",
     1,
     CAPTURE,
     "WxH",
     {nullptr, "the video's size (640x480; .mp4: 1920x1080), 4:3 centred"}},
    {"keys",
     1,
     CAPTURE,
     "SCRIPT",
     {nullptr, "key presses by frame, such as 600:space,1800-1860:p"}},
    {"data", 1, BOTH, "DIR", {"read the data files from DIR", nullptr}},
    {"force", 0, CAPTURE, nullptr, {nullptr, "replace an existing output file"}},
    {"quiet", 0, CAPTURE, nullptr, {nullptr, "show no progress line"}},
    {"help", 0, BOTH, nullptr, {"show this help and end", nullptr}},
    {"version", 0, BOTH, nullptr, {"show the version and end", nullptr}},
};

int bit(OptProgram p) {
    return p == OPT_INTRO ? INTRO : CAPTURE;
}

OptResult bad(Options *o, const char *format, const char *a, const char *b = "") {
    snprintf(o->error, sizeof o->error, format, a, b);
    return OPT_BAD;
}

// A whole decimal number in lo .. hi; 0 when the text is anything else.
int read_int(const char *text, int64_t lo, int64_t hi, int64_t *out) {
    if (!isdigit(static_cast<unsigned char>(*text))) return 0;
    int64_t v = 0;
    for (; isdigit(static_cast<unsigned char>(*text)); text++) {
        v = v * 10 + (*text - '0');
        if (v > hi) return 0;
    }
    if (*text || v < lo) return 0;
    *out = v;
    return 1;
}

// Up to three decimals, in thousandths.
int read_milli(const char *text, int64_t *out) {
    const char *dot = strchr(text, '.');
    std::string whole(text, dot ? size_t(dot - text) : strlen(text));
    int64_t w = 0, frac = 0;
    if (!read_int(whole.c_str(), 0, max_seconds_milli / 1000, &w)) return 0;
    if (dot) {
        const char *f = dot + 1;
        const size_t n = strlen(f);
        if (n < 1 || n > 3 || !read_int(f, 0, 999, &frac)) return 0;
        for (size_t i = n; i < 3; i++) frac *= 10;
    }
    *out = w * 1000 + frac;
    return *out > 0 && *out <= max_seconds_milli;
}

OptResult take(Options *o, const Option &opt, const char *value) {
    const char *name = opt.name;
    int64_t a = 0, b = 0;
    if (!strcmp(name, "fps")) {
        const char *slash = o->program == OPT_CAPTURE ? strchr(value, '/') : nullptr;
        if (slash) {
            std::string num(value, size_t(slash - value));
            if (!read_int(num.c_str(), 1, 1000000, &a) || !read_int(slash + 1, 1, 1000000, &b) ||
                a < b || a > 1000 * b)
                return bad(o, "--fps: \"%s\" is not a rate N/D of 1 to 1000 frames a second",
                           value);
        } else {
            if (!read_int(value, 1, 1000, &a))
                return bad(o, "--fps: \"%s\" is not a whole number from 1 to 1000", value);
            b = 1;
        }
        o->fps_num = int32_t(a);
        o->fps_den = int32_t(b);
    } else if (!strcmp(name, "frames")) {
        if (!read_int(value, 1, max_frames, &a))
            return bad(o, "--frames: \"%s\" is not a whole number of 1 or more", value);
        o->frames = a;
    } else if (!strcmp(name, "seconds")) {
        if (!read_milli(value, &a))
            return bad(o, "--seconds: \"%s\" is not a time above 0 (such as 90 or 12.5)", value);
        o->seconds_milli = a;
    } else if (!strcmp(name, "size")) {
        const char *x = strpbrk(value, "xX");
        std::string w(value, x ? size_t(x - value) : 0);
        if (!x || !read_int(w.c_str(), 4, max_side, &a) || !read_int(x + 1, 3, max_side, &b))
            return bad(o, "--size: \"%s\" is not WIDTHxHEIGHT from 4x3 to 16384x16384", value);
        o->width = int32_t(a);
        o->height = int32_t(b);
    } else if (!strcmp(name, "keys")) {
        KeyScript script;
        char why[120];
        if (!keys_parse(&script, value, why, sizeof why)) return bad(o, "--keys: %s", why);
        o->keys = value;
    } else if (!strcmp(name, "data")) {
        if (!*value) return bad(o, "--data: the folder name is empty", "");
        o->data = value;
    } else if (!strcmp(name, "force")) {
        o->force = 1;
    } else if (!strcmp(name, "quiet")) {
        o->quiet = 1;
    } else if (!strcmp(name, "help")) {
        return OPT_HELP;
    } else if (!strcmp(name, "version")) {
        return OPT_VERSION;
    }
    return OPT_RUN;
}

const Option *find(OptProgram program, const char *name, size_t length) {
    for (const Option &opt : options)
        if ((opt.programs & bit(program)) && strlen(opt.name) == length &&
            !strncmp(opt.name, name, length))
            return &opt;
    return nullptr;
}

} // namespace

void opt_defaults(Options *o, OptProgram program) {
    *o = Options{};
    o->program = program;
    if (program == OPT_CAPTURE) {
        o->fps_num = 60;
        o->fps_den = 1;
    }
}

OptResult opt_parse(Options *o, OptProgram program, int argc, char *const *argv) {
    opt_defaults(o, program);
    bool options_end = false;
    OptResult early = OPT_RUN; // --help or --version, once the whole line has been read
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (options_end || arg[0] != '-' || !strcmp(arg, "-")) {
            if (program != OPT_CAPTURE) return bad(o, "unexpected argument \"%s\"", arg);
            if (o->output) return bad(o, "one output file only, not also \"%s\"", arg);
            o->output = arg;
            continue;
        }
        if (!strcmp(arg, "--")) {
            options_end = true;
            continue;
        }
        if (!strcmp(arg, "-h")) arg = "--help";
        if (arg[1] != '-') return bad(o, "unknown option \"%s\"", arg);
        const char *name = arg + 2;
        const char *eq = strchr(name, '=');
        const Option *opt = find(program, name, eq ? size_t(eq - name) : strlen(name));
        if (!opt) return bad(o, "unknown option \"%s\"", arg);
        const char *value = nullptr;
        if (opt->takes_value) {
            if (eq)
                value = eq + 1;
            else if (i + 1 < argc)
                value = argv[++i];
            else
                return bad(o, "--%s needs a value (%s)", opt->name, opt->value_name);
        } else if (eq) {
            return bad(o, "--%s takes no value", opt->name);
        }
        const OptResult r = take(o, *opt, value);
        if (r == OPT_BAD) return r;
        if (r != OPT_RUN && early == OPT_RUN) early = r;
    }
    if (early != OPT_RUN) return early;
    if (o->frames && o->seconds_milli)
        return bad(o, "--frames and --seconds do not go together", "");
    if (program == OPT_CAPTURE && !o->output) return bad(o, "no output file given", "");
    return OPT_RUN;
}

int opt_status(OptResult r) {
    return r == OPT_BAD ? 2 : 0;
}

void opt_usage(OptProgram program, const char *name, FILE *out) {
    if (program == OPT_CAPTURE)
        fprintf(out,
                "Usage: %s [OPTION]... FILE\n"
                "Renders the intro frame by frame into FILE, with its music: .y4m (and a .wav\n"
                "of the same name), .mkv (lossless), .mp4 (for sharing) or .png (the last\n"
                "frame).\n",
                name);
    else
        fprintf(out,
                "Usage: %s [OPTION]...\n"
                "Shows the intro. Keys: Space shows the letters, O and P change the scroll\n"
                "speed, Escape or Q ends.\n",
                name);
    fprintf(out, "\nOptions:\n");
    for (const Option &opt : options) {
        if (!(opt.programs & bit(program))) continue;
        const char *help = program == OPT_CAPTURE && opt.help[1] ? opt.help[1] : opt.help[0];
        if (!help) help = opt.help[1];
        std::string left = std::string("  --") + opt.name;
        if (opt.takes_value) left = left + " " + opt.value_name;
        fprintf(out, "%-18s %s\n", left.c_str(), help);
    }
}

const char *opt_program_name(int argc, char *const *argv, const char *fallback) {
    if (argc < 1 || !argv || !argv[0] || !*argv[0]) return fallback;
    const char *slash = strrchr(argv[0], '/');
    return slash ? slash + 1 : argv[0];
}

int opt_handle(Options *o, OptProgram program, int argc, char *const *argv, int *status) {
    const OptResult r = opt_parse(o, program, argc, argv);
    if (r == OPT_RUN) return 1;
    const char *name =
        opt_program_name(argc, argv, program == OPT_CAPTURE ? "klov-capture" : "klov");
    if (r == OPT_HELP) opt_usage(program, name, stdout);
    if (r == OPT_VERSION) printf("%s %s\n", name, klov_version);
    if (r == OPT_BAD) {
        fprintf(stderr, "%s: %s\n", name, o->error);
        opt_usage(program, name, stderr);
    }
    *status = opt_status(r);
    return 0;
}

char *opt_to_text(const Options *o) {
    if (!o) return nullptr;
    char buf[1024];
    snprintf(buf, sizeof buf,
             "fps=%d/%d\nframes=%lld\nseconds_milli=%lld\ndata=%s\nsize=%dx%d\nkeys=%s\n"
             "output=%s\nforce=%d\nquiet=%d\n",
             int(o->fps_num), int(o->fps_den), static_cast<long long>(o->frames),
             static_cast<long long>(o->seconds_milli), o->data ? o->data : "", int(o->width),
             int(o->height), o->keys ? o->keys : "", o->output ? o->output : "", o->force,
             o->quiet);
    return strdup(buf);
}
