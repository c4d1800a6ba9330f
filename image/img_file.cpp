#include <cstdio>

#include "image/img.h"

int img_save(const Image *img, const char *path) {
    if (!img || !img->pixels || !path || img->width == 0 || img->height == 0) {
        img_error();
        return 0;
    }
    FILE *f = fopen(path, "w");
    if (!f) {
        img_error();
        return 0;
    }
    fprintf(f, "P6\n%d %d\n255\n", img->width, img->height);
    const int64_t n = int64_t{img->width} * img->height;
    for (int64_t i = 0; i < n; i++) {
        const uint32_t p = img->pixels[i];
        putc((p >> 16) & 0xFF, f);
        putc((p >> 8) & 0xFF, f);
        putc(p & 0xFF, f);
    }
    fclose(f);
    return 1;
}
