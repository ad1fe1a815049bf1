// The title of a top-level window as the X server holds it for the window manager, kept apart
// from the toolkit's headers (Xlib's macros clash with them).
#pragma once

#include <string>

namespace ivo::testing {

// The window's _NET_WM_NAME (UTF-8), or an empty text when it has none.
std::string x11WindowTitle(unsigned long window);

}  // namespace ivo::testing
