// The display's two build settings, chosen per program by KLOV_DISPLAY_SETTINGS.
#include "sdl/sdldpy.h"

#if KLOV_DISPLAY_SETTINGS == 4400
// SDL_HWSURFACE | SDL_ASYNCBLIT | SDL_ANYFORMAT | SDL_FULLSCREEN
const char dpy_caption[] = "KLOV4400";
const uint32_t dpy_video_flags = 0x90000005;
#elif KLOV_DISPLAY_SETTINGS == 4402
// SDL_HWSURFACE | SDL_ASYNCBLIT | SDL_ANYFORMAT: a window
const char dpy_caption[] = "KLOV4402";
const uint32_t dpy_video_flags = 0x10000005;
#else
#error "KLOV_DISPLAY_SETTINGS must be 4400 (full screen) or 4402 (window)"
#endif
