// Preloaded into the program (LD_PRELOAD): every screen mode is refused, as
// on a display that has no 640x480 mode at all.
extern "C" int set_gfx_mode(int, int, int, int, int)
{
    return -1;
}
