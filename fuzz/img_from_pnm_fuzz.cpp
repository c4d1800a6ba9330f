// The Netpbm buffer parser on a bounded buffer: it must never read at or past its end.
#include <cstdlib>
#include <cstring>

#include "image/img.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Image *img = img_from_pnm_n(data, size);
    if (!img) return 0;
    if (img->width <= 0 || img->height <= 0 || !img_size_ok(img->width, img->height)) abort();
    // What parses goes through the text form and back unchanged where the words allow it.
    bool plain = true;
    for (int64_t i = 0; i < int64_t{img->width} * img->height; i++)
        plain = plain && img->pixels[i] <= 0xFFFFFF;
    if (plain) {
        char *text = img_to_text(img);
        Image *back = text ? img_from_text(text) : nullptr;
        if (!back || !img_equal(img, back)) abort();
        img_free(&back);
        free(text);
    }
    img_free(&img);
    return 0;
}
