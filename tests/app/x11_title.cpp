// Reads a window property straight from the X server named by DISPLAY.
#include "app/x11_title.h"

#include <X11/Xlib.h>

namespace ivo::testing {

std::string x11WindowTitle(unsigned long window) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return {};
    std::string title;
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, static_cast<Window>(window), name, 0, 1024, False, utf8, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    XCloseDisplay(display);
    return title;
}

}  // namespace ivo::testing
