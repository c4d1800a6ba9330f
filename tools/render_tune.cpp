// render_tune <module.xm> <out.wav>: plays a module to its end through the music library's
// WAV disk writer, with the settings the intro uses (software mixing, 44100 Hz, 4 voices).
#include <cstdio>
#include <string>

#include <mikmod.h>

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: render_tune <module.xm> <out.wav>\n");
        return 2;
    }
    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
    md_device = UWORD(MikMod_DriverFromAlias("wav"));
    md_mode |= DMODE_SOFT_MUSIC;
    std::string params = std::string("file=") + argv[2];
    if (md_device == 0 || MikMod_Init(params.c_str()) != 0) {
        // Loading after a failed initialisation crashes the library: stop here.
        fprintf(stderr, "render_tune: no WAV writer: %s\n", MikMod_strerror(MikMod_errno));
        return 1;
    }
    MODULE *module = Player_Load(argv[1], 4, 0);
    if (!module) {
        fprintf(stderr, "render_tune: %s: %s\n", argv[1], MikMod_strerror(MikMod_errno));
        MikMod_Exit();
        return 1;
    }
    Player_Start(module);
    long updates = 0;
    // Each update mixes a fixed block; a song that never ends is cut after about 10 minutes.
    while (Player_Active() && updates < 4000) {
        MikMod_Update();
        updates++;
    }
    bool ended = !Player_Active();
    double seconds = module->sngtime / 1024.0;
    int channels = module->numchn, orders = module->numpos;
    Player_Stop();
    Player_Free(module);
    MikMod_Exit();
    printf("%s: %d channels, %d orders, %.2f s%s -> %s\n", argv[1], channels, orders, seconds,
           ended ? "" : " (did not end)", argv[2]);
    return ended ? 0 : 1;
}
