#include "intro/intro.h"

int main() {
    if (!intro_init()) return 1;
    intro_run();
    intro_shutdown();
    return 0;
}
