// Makes Allegro refuse screen modes and bitmaps on demand, so that the
// program's answer to a refusal can be tried on a display that grants
// everything. Linked into a test program, or preloaded into the real one
// (LD_PRELOAD). What is refused is read from the environment at each call:
//   QUORVANE_REFUSE_GFX=fullscreen   full-screen mode requests
//   QUORVANE_REFUSE_GFX=after-first  every mode request but the first
//   QUORVANE_REFUSE_BITMAP=WxH       bitmaps of that size
// A refused mode request does what a real one does: the mode in force is
// gone, and -1 is returned.
#include <cstdio>
#include <cstring>
#include <cstdlib>

#include <dlfcn.h>

#include <allegro.h>

namespace {

template <typename F>
F real(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool refused(const char* variable, const char* value)
{
    const char* setting = std::getenv(variable);
    return setting && std::strcmp(setting, value) == 0;
}

}

int set_gfx_mode(int card, int w, int h, int v_w, int v_h)
{
    using set_gfx_mode_fn = int (*)(int, int, int, int, int);
    static const auto set = real<set_gfx_mode_fn>("set_gfx_mode");
    static int requests = 0;
    ++requests;
    if ((card == GFX_AUTODETECT_FULLSCREEN && refused("QUORVANE_REFUSE_GFX", "fullscreen")) ||
        (requests > 1 && refused("QUORVANE_REFUSE_GFX", "after-first"))) {
        set(GFX_TEXT, 0, 0, 0, 0);
        ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE, "refused by the test");
        return -1;
    }
    return set(card, w, h, v_w, v_h);
}

BITMAP* create_bitmap(int width, int height)
{
    using create_bitmap_fn = BITMAP* (*)(int, int);
    static const auto create = real<create_bitmap_fn>("create_bitmap");
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", width, height);
    return refused("QUORVANE_REFUSE_BITMAP", size) ? nullptr : create(width, height);
}
