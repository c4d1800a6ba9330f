#include "intro/capture.h"

int main(int argc, char **argv) {
    return cap_main(argc, argv);
}
