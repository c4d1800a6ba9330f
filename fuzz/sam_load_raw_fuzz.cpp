// sam_load of arbitrary bytes in a file whose name ends "raw". The first three bytes of
// the input are the caller's description (depth, order letter, sign letter) that the raw
// reader uses; the rest is the file.
#include "fuzz/sam_fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    fuzz_sam_load(data + 3, size - 3, "raw", static_cast<int8_t>(data[0]),
                  static_cast<char>(data[1]), static_cast<char>(data[2]));
    return 0;
}
