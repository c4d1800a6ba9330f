// Every module carries one of these in its static data; nothing reads it.
#pragma once

struct ModuleId {
    const char *name;
    const char *date; // YYYYMMDD of the module's last change
    const char *author;
};
