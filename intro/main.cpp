#include "intro/intro.h"

int main(int argc, char **argv) {
    return intro_main(argc, argv);
}
