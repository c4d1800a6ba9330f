#include "intro/data_dir.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

const ModuleId datadir_module = {"DATADIR", "20261211", "KV"};

DataDir data_dir;

namespace {

// The font and the pictures the scene cannot show without.
const char *const needed[] = {"font8x8.pbm",   "K.ppm",           "L.ppm",
                              "O.ppm",         "V.ppm",           "klov-tamblor.ppm",
                              "klov-2008.ppm", "klov-rainbow.ppm"};

std::string parent(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string join(const std::string &folder, const char *name) {
    return folder.empty() ? name : folder.back() == '/' ? folder + name : folder + "/" + name;
}

void note_tried(DataDir *d, const std::string &folder) {
    const size_t used = strlen(d->tried);
    snprintf(d->tried + used, sizeof d->tried - used, "%s%s", used ? ", " : "", folder.c_str());
}

int choose(DataDir *d, const std::string &folder) {
    if (folder.size() >= sizeof d->folder) return 0;
    snprintf(d->folder, sizeof d->folder, "%s", folder.c_str());
    return 1;
}

} // namespace

int datadir_holds(const char *folder) {
    if (!folder) return 0;
    for (const char *name : needed)
        if (access(join(folder, name).c_str(), R_OK) != 0) return 0;
    return 1;
}

int datadir_find(DataDir *d, const char *chosen, const char *exe) {
    if (!d) return 0;
    d->folder[0] = d->tried[0] = '\0';
    if (chosen) {
        note_tried(d, chosen);
        return datadir_holds(chosen) && choose(d, chosen);
    }
    char cwd[PATH_MAX];
    const char *here = getcwd(cwd, sizeof cwd);
    note_tried(d, here ? here : ".");
    if (datadir_holds(".")) return choose(d, "");

    char self[PATH_MAX];
    if (!exe) {
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) return 0;
        self[n] = '\0';
        exe = self;
    }
    const std::string bin = parent(exe);
    const std::string candidates[] = {bin, join(bin, "data"), join(parent(bin), "share/klov")};
    for (const std::string &folder : candidates) {
        if (here && folder == here) continue; // looked there already
        note_tried(d, folder);
        if (datadir_holds(folder.c_str())) return choose(d, folder);
    }
    return 0;
}

void datadir_report(const DataDir *d, const char *program, const char *chosen) {
    if (chosen)
        fprintf(stderr, "%s: the data files (font8x8.pbm and the pictures) are not in %s\n",
                program, chosen);
    else
        fprintf(stderr,
                "%s: cannot find the data files (font8x8.pbm and the pictures); looked in %s\n",
                program, d ? d->tried : "");
}

const char *datadir_path(const DataDir *d, const char *name, char *buf, size_t size) {
    if (!d || !d->folder[0]) return name;
    const std::string path = join(d->folder, name);
    if (path.size() >= size) return nullptr;
    memcpy(buf, path.c_str(), path.size() + 1);
    return buf;
}
