// smp_from_text of arbitrary text; whatever it accepts must come back the same through
// smp_to_text and smp_from_text.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sound/smp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char *text = static_cast<char *>(malloc(size + 1));
    if (!text) return 0;
    memcpy(text, data, size);
    text[size] = 0;
    SampleBuffer *b = smp_from_text(text);
    free(text);
    if (!b) return 0;
    if (b->length < 0 || b->length > b->capacity) abort();
    char *again = smp_to_text(b);
    if (!again) abort();
    SampleBuffer *back = smp_from_text(again);
    if (!back || back->length != b->length ||
        (b->length && memcmp(back->samples, b->samples, sizeof(int32_t) * b->length)))
        abort();
    free(again);
    smp_free(&back);
    smp_free(&b);
    return 0;
}
