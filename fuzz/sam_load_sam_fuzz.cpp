// sam_load of arbitrary bytes in a file whose name ends "sam".
#include "fuzz/sam_fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_sam_load(data, size, "sam");
    return 0;
}
