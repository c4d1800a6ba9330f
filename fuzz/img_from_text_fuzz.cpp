// The image text reader on arbitrary NUL-terminated texts.
#include <cstdlib>
#include <cstring>

#include "fuzz/img_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy with its NUL, so that a read past the text is caught.
    char *text = static_cast<char *>(malloc(size + 1));
    if (!text) return 0;
    memcpy(text, data, size);
    text[size] = 0;
    Image *img = img_from_text(text);
    free(text);
    if (!img) return 0;
    // Written out and read again, an Image with plain words and pixels comes back equal.
    const bool plain = fuzz_img_words_are_plain(img) && int64_t{img->width} * img->height > 0;
    if (plain) {
        char *again = img_to_text(img);
        Image *back = again ? img_from_text(again) : nullptr;
        if (!back || !img_equal(img, back)) abort();
        img_free(&back);
        free(again);
    }
    img_free(&img);
    return 0;
}
