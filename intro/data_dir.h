// DATADIR: the folder the intro reads its data files from.
//
// Without a folder chosen on the command line the working folder comes first, as the files
// were always read from there; when it lacks them, the program's own folder, a data/ folder
// beside the program and ../share/klov beside it (the installed layout). The first folder
// that holds the font and every picture wins; the tune is optional.
#pragma once

#include <cstddef>

#include "image/module_id.h"

struct DataDir {
    char folder[4096]; // "" is the working folder: the files are opened by their bare names
    char tried[8192];  // the folders looked in, for the message when none holds the files
};

extern const ModuleId datadir_module;
extern DataDir data_dir; // where the scene and the music read their files

// 1 when the folder holds the font and all the pictures.
int datadir_holds(const char *folder);
// Chooses the folder: chosen (--data) alone when given, else the search above. exe is the
// program's path (null: read from /proc/self/exe). Returns 1, or 0 with d->tried filled.
int datadir_find(DataDir *d, const char *chosen, const char *exe);
// Prints the one-line message for a failed datadir_find on standard error.
void datadir_report(const DataDir *d, const char *program, const char *chosen);
// A buffer of this size holds the path of any data file.
constexpr size_t datadir_path_size = sizeof(DataDir::folder) + 64;
// The path of a data file: the bare name in the working folder, else folder/name; null when
// it does not fit in buf.
const char *datadir_path(const DataDir *d, const char *name, char *buf, size_t size);
