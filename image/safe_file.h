// Opening data files safely, shared by the picture and sample file modules.
//
// Readers take only regular files: a named pipe, a device such as /dev/zero or a folder
// is refused at once instead of blocking the open or streaming bytes for ever.
// Writers never truncate a good file before the new one is complete: they write a
// temporary file beside it and rename it over the old one only when every byte, the
// flush to disk and the close succeeded.
#pragma once

#include <cstdio>

// A regular file opened for reading, or null (no file, not regular, not readable). The open
// never blocks.
FILE *file_open_regular(const char *path);

// One replacement of a file in progress.
struct FileReplace {
    FILE *file;   // where the bytes go
    char *temp;   // the temporary file beside the target; null when writing in place
    char *target; // the file that the temporary replaces
};

// Starts writing `path`. An existing target that is not a regular file (a device) is
// written in place, since it can't be renamed over; a link to a regular file stays a link.
// False when nothing could be opened; `out` is then empty.
bool file_replace_open(FileReplace *out, const char *path);
// Ends the replacement: with `ok` and no write, flush or close error the new file takes the
// target's place; otherwise the temporary file is removed and the target is untouched.
// True when the target now holds every byte.
bool file_replace_close(FileReplace *out, bool ok);
