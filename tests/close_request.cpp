// Sends a window the window manager's close request (WM_DELETE_WINDOW), as a window
// manager does when the user clicks the close button. Used by the end-to-end tests, which
// run without a window manager.
//
// Usage: close_request WINDOW_ID. Exit status 0 when sent; 2 when the window does not take
// close requests, 1 on any other failure.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: close_request WINDOW_ID\n");
        return 1;
    }
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        fprintf(stderr, "close_request: cannot open the X display\n");
        return 1;
    }
    Window win = strtoul(argv[1], nullptr, 0);
    Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    Atom delete_window = XInternAtom(dpy, "WM_DELETE_WINDOW", False);

    Atom *taken = nullptr;
    int count = 0;
    bool takes_close = false;
    if (XGetWMProtocols(dpy, win, &taken, &count)) {
        for (int i = 0; i < count; i++) takes_close |= taken[i] == delete_window;
        XFree(taken);
    }
    if (!takes_close) {
        fprintf(stderr, "close_request: window %s does not take WM_DELETE_WINDOW\n", argv[1]);
        XCloseDisplay(dpy);
        return 2;
    }

    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = win;
    ev.xclient.message_type = protocols;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(delete_window);
    ev.xclient.data.l[1] = CurrentTime;
    // With an empty event mask the event goes to the client that made the window.
    Status sent = XSendEvent(dpy, win, False, NoEventMask, &ev);
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return sent ? 0 : 1;
}
