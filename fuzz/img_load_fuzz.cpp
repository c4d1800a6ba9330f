// img_load on arbitrary file contents, written to one temporary file per process.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_temp.h"
#include "fuzz/img_fuzz_check.h"

namespace {

std::string temp_dir, temp_path, saved_path;

void remove_temps() {
    unlink(temp_path.c_str());
    unlink(saved_path.c_str());
    rmdir(temp_dir.c_str());
}

const char *path() {
    if (temp_path.empty()) {
        temp_dir = fuzz_make_temp_dir();
        if (temp_dir.empty()) abort();
        temp_path = temp_dir + "/input.pnm";
        saved_path = temp_dir + "/saved.ppm";
        atexit(remove_temps);
    }
    return temp_path.c_str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *f = fopen(path(), "wb");
    if (!f) abort();
    if (size && fwrite(data, 1, size, f) != size) abort();
    fclose(f);
    Image *img = img_load(path());
    if (!img) return 0;
    // A Netpbm reader never returns an Image without pixels.
    if (img->width <= 0 || img->height <= 0) abort();
    const bool plain = fuzz_img_words_are_plain(img);
    if (plain) {
        if (!img_save(img, saved_path.c_str())) abort();
        Image *back = img_load(saved_path.c_str());
        if (!back || !img_equal(img, back)) abort();
        img_free(&back);
    }
    img_free(&img);
    return 0;
}
