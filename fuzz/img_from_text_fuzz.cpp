// The image text reader on arbitrary NUL-terminated texts.
#include <cstdlib>
#include <cstring>

#include "image/img.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy with its NUL, so that a read past the text is caught.
    char *text = static_cast<char *>(malloc(size + 1));
    if (!text) return 0;
    memcpy(text, data, size);
    text[size] = 0;
    Image *img = img_from_text(text);
    free(text);
    if (!img) return 0;
    if (!img_size_ok(img->width, img->height)) abort();
    // Written out and read again, an Image with plain words and pixels comes back equal.
    bool plain = int64_t{img->width} * img->height > 0;
    for (int64_t i = 0; plain && i < int64_t{img->width} * img->height; i++)
        plain = img->pixels[i] <= 0xFFFFFF;
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
