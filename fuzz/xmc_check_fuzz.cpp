// xmc_check on the exact input buffer, so that a read past its end is caught. An accepted
// tune must stay accepted when bytes are added after it (the player never reads them), and
// the check must give the same answer twice.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sound/xmc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char why[160];
    const int accepted = xmc_check(data, size, why, sizeof why);
    if (accepted && why[0]) abort();
    if (!accepted && !why[0]) abort();
    if (accepted) {
        std::vector<unsigned char> longer(data, data + size);
        longer.push_back(0x55);
        if (!xmc_check(longer.data(), longer.size(), why, sizeof why)) abort();
    }
    if (xmc_check(data, size, nullptr, 0) != accepted) abort();
    return 0;
}
