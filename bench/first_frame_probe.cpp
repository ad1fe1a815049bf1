// Loaded into the application (LD_PRELOAD) by startup_bench: at the first buffer swap of the
// process, that is when the window's first frame goes to the screen, it writes the monotonic
// clock in nanoseconds to the file named by IVORANE_FIRST_FRAME_FILE and ends the process at
// once. It needs nothing from the application, so any build of it can be timed the same way.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>

namespace {

void reportAndExit() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    if (const char* path = std::getenv("IVORANE_FIRST_FRAME_FILE")) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, ns).ptr;
        const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            (void)!::write(fd, text, static_cast<size_t>(end - text));
            ::close(fd);
        }
    }
    _exit(0);
}

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

void glXSwapBuffers(void* display, unsigned long drawable) {
    static const auto real = next<void (*)(void*, unsigned long)>("glXSwapBuffers");
    if (real) real(display, drawable);
    reportAndExit();
}

unsigned eglSwapBuffers(void* display, void* surface) {
    static const auto real = next<unsigned (*)(void*, void*)>("eglSwapBuffers");
    if (real) real(display, surface);
    reportAndExit();
    return 1;
}
}
