// The Netpbm buffer parser on a bounded buffer: it must never read at or past its end.
#include <cstdlib>
#include <cstring>

#include "fuzz/img_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Image *img = img_from_pnm_n(data, size);
    if (!img) return 0;
    // A Netpbm reader never returns an Image without pixels.
    if (img->width <= 0 || img->height <= 0) abort();
    const bool plain = fuzz_img_words_are_plain(img);
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
