// Points the user's folders (home, data, preferences, runtime) at a temporary folder, so that
// a test or benchmark of the application never reads or writes the user's own session,
// preferences or recent files. Call before the application object exists.
#pragma once

#include <cstdlib>

#include "support/temp_dir.h"

namespace ivo::testing {

inline void usePrivateHome(const TempDir& home) {
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_DATA_HOME", home.file("data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", home.file("cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", home.path().c_str(), 1);
}

}  // namespace ivo::testing
