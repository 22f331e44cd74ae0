// Refusals on demand, read from the environment at each call; linked into a
// test program or preloaded into the real one. QUORVANE_REFUSE_GFX=fullscreen|
// after-first|all: those mode requests, which leave no mode as a real refusal
// does; QUORVANE_REFUSE_BITMAP=WxH: bitmaps of that size; QUORVANE_SLOW_WRITES=1:
// a second before every write to a regular file.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <allegro.h>

static bool refused(const char* variable, const std::string& value)
{
    const char* setting = std::getenv(variable);
    return setting && setting == value;
}

int set_gfx_mode(int card, int w, int h, int v_w, int v_h)
{
    static const auto set = reinterpret_cast<int (*)(int, int, int, int, int)>(dlsym(RTLD_NEXT, "set_gfx_mode"));
    static int requests = 0;
    if (refused("QUORVANE_REFUSE_GFX", "all") || (++requests > 1 && refused("QUORVANE_REFUSE_GFX", "after-first")) ||
        (card == GFX_AUTODETECT_FULLSCREEN && refused("QUORVANE_REFUSE_GFX", "fullscreen"))) {
        set(GFX_TEXT, 0, 0, 0, 0);
        ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE, "refused by the test");
        return -1;
    }
    return set(card, w, h, v_w, v_h);
}

BITMAP* create_bitmap(int w, int h)
{
    static const auto create = reinterpret_cast<BITMAP* (*)(int, int)>(dlsym(RTLD_NEXT, "create_bitmap"));
    return refused("QUORVANE_REFUSE_BITMAP", std::to_string(w) + "x" + std::to_string(h)) ? nullptr : create(w, h);
}

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, const void*, size_t)>(dlsym(RTLD_NEXT, "write"));
    struct stat st;
    if (std::getenv("QUORVANE_SLOW_WRITES") && fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        sleep(1);
    return real(fd, data, size);
}
