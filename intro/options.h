// OPT: the command line of the programs, in the usual GNU form ("--fps 60" or "--fps=60").
//
// The intro programs and the capture program share one parser; each accepts its own set
// of options. Parsing never opens anything: a caller that gets OPT_RUN starts its work,
// any other result means the program ends with the status opt_status gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image/module_id.h"

enum OptProgram { OPT_INTRO, OPT_CAPTURE };
enum OptResult { OPT_RUN, OPT_HELP, OPT_VERSION, OPT_BAD };

struct Options {
    OptProgram program;
    int32_t fps_num; // frames a second as fps_num / fps_den; 0: unpaced (the intro's default)
    int32_t fps_den;
    int64_t frames;        // end after this many frames; 0: no limit (the capture: one play)
    int64_t seconds_milli; // the capture's --seconds, in thousandths; 0: not given
    const char *data;      // --data DIR, or null to look for the files
    int32_t width;         // the capture's --size; 0 x 0: its default
    int32_t height;
    const char *keys;   // the capture's key script, or null
    const char *output; // the capture's output file
    int force;          // replace an existing output file
    int quiet;          // no progress line
    char error[160];    // what was wrong, after OPT_BAD
};

extern const ModuleId opt_module;
extern const char klov_version[];

void opt_defaults(Options *o, OptProgram program);
// Reads argv[1 .. argc - 1]; the texts it keeps point into argv.
OptResult opt_parse(Options *o, OptProgram program, int argc, char *const *argv);
int opt_status(OptResult r);
// The program's name for messages: argv[0] without its folder, or fallback without one.
const char *
opt_program_name(int argc, char *const *argv,
                 const char *fallback); // the exit status for a result other than OPT_RUN: 0 or 2
void opt_usage(OptProgram program, const char *name, FILE *out);
// Parses, and for anything but OPT_RUN prints what it must (usage or version on standard
// output, the problem and the usage on standard error). Returns 1 when the program is to
// run, else 0 with *status set.
int opt_handle(Options *o, OptProgram program, int argc, char *const *argv, int *status);
// The options in effect, one "name=value" a line, for tests and diagnostics. Release
// with free().
char *opt_to_text(const Options *o);
