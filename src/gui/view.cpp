// Moving about the figure: magnifying about a point and panning, with the
// wheel, drags and keys, and going back through the views seen.
#include <algorithm>
#include <cmath>

#include "gui.h"

namespace {

constexpr double wheel_factor = 1.25, key_factor = 2;
constexpr std::size_t history_size = 128;

const BITMAP* view_bitmap() { return static_cast<const BITMAP*>(main_dialog[view_entry].dp); }

// Crossing coordinates per pixel of the figure asked for: the view spans
// h / (2 zoom) pixels per unit of the circle's radius times the magnification.
double unit_per_pixel(const figure_settings& f)
{
    return 2.0 * f.zoom / (double(view_bitmap()->h) * f.magnify);
}

// The centre rounded to a power of two finer than an eighth of a pixel: no
// picture changes, and the status line prints it short and exact.
double snapped(double x, const figure_settings& f)
{
    const double grain = std::exp2(std::floor(std::log2(std::fabs(unit_per_pixel(f)) / 8)));
    return std::round(x / grain) * grain;
}

// The figure asked for in another view, the one before kept for Backspace.
void go_to(figure_settings f)
{
    view_state& v = state.view;
    const figure_settings& now = state.wanted;
    if (f.magnify == now.magnify && f.cx == now.cx && f.cy == now.cy)
        return;
    if (v.history.size() == history_size)
        v.history.erase(v.history.begin());
    v.history.push_back({now.magnify, now.cx, now.cy});
    f.cx = snapped(f.cx, f);
    f.cy = snapped(f.cy, f);
    ask_for_figure(f);
}

// The magnification by factor about the pixel (px, py), which stays where
// it is, within the range the view takes.
figure_settings magnified(double factor, int px, int py)
{
    figure_settings f = state.wanted;
    const BITMAP* bmp = view_bitmap();
    const double x = f.cx + (px - bmp->w / 2) * unit_per_pixel(f), y = f.cy + (py - bmp->h / 2) * unit_per_pixel(f);
    const double magnify = std::clamp(f.magnify * factor, 1.0, max_magnify);
    if (f.magnify * factor > max_magnify)
        state.view.notice = "x" + multiplier_text(max_magnify) + " is the largest magnification: past it the "
                            "crossings' coordinates are coarser than a pixel";
    f.magnify = magnify;
    f.cx = x - (px - bmp->w / 2) * unit_per_pixel(f);
    f.cy = y - (py - bmp->h / 2) * unit_per_pixel(f);
    return f;
}

figure_settings panned(double dx_pixels, double dy_pixels)
{
    figure_settings f = state.wanted;
    f.cx -= dx_pixels * unit_per_pixel(f);
    f.cy -= dy_pixels * unit_per_pixel(f);
    return f;
}

// The view's picture shifted on screen, the bars over it.
void show_shifted(int dx, int dy)
{
    BITMAP* bmp = static_cast<BITMAP*>(main_dialog[view_entry].dp);
    scare_mouse();
    acquire_screen();
    const int bg = makecol(state.shown.bg.r, state.shown.bg.g, state.shown.bg.b);
    set_clip_rect(screen, 0, 0, bmp->w - 1, bmp->h - 1);
    rectfill(screen, 0, 0, bmp->w - 1, bmp->h - 1, bg);
    blit(bmp, screen, 0, 0, dx, dy, bmp->w, bmp->h);
    release_screen();
    for (int entry : {menu_bar_entry, status_bar_entry})
        if (!(main_dialog[entry].flags & D_HIDDEN))
            object_message(&main_dialog[entry], MSG_DRAW, 0);
    unscare_mouse();
}

// The figure follows the pointer while the left button is held; the exact
// figure at the new centre is asked for on release.
void drag(int x0, int y0)
{
    int dx = 0, dy = 0;
    while (gui_mouse_b() & 1) {
        if (gui_mouse_x() - x0 != dx || gui_mouse_y() - y0 != dy) {
            dx = gui_mouse_x() - x0;
            dy = gui_mouse_y() - y0;
            show_shifted(dx, dy);
        }
        poll_figure_work();
        rest(5);
    }
    if (dx == 0 && dy == 0)
        return;
    // The picture keeps its shifted place until the exact one comes.
    BITMAP* bmp = static_cast<BITMAP*>(main_dialog[view_entry].dp);
    BITMAP* copy = create_view_bitmap(bmp->w, bmp->h);
    if (copy) {
        clear_to_color(copy, makecol_depth(32, state.shown.bg.r, state.shown.bg.g, state.shown.bg.b));
        blit(bmp, copy, 0, 0, dx, dy, bmp->w, bmp->h);
        blit(copy, bmp, 0, 0, 0, 0, bmp->w, bmp->h);
        destroy_bitmap(copy);
    }
    go_to(panned(dx, dy));
}

// Ctrl + drag: a rectangle whose contents fill the view on release.
void frame(int x0, int y0)
{
    int x1 = x0, y1 = y0;
    while (gui_mouse_b() & 1) {
        if (gui_mouse_x() != x1 || gui_mouse_y() != y1) {
            x1 = gui_mouse_x();
            y1 = gui_mouse_y();
            show_shifted(0, 0);
            scare_mouse();
            rect(screen, x0, y0, x1, y1, makecol(255, 255, 255));
            unscare_mouse();
        }
        poll_figure_work();
        rest(5);
    }
    draw_view();
    const int w = std::abs(x1 - x0), h = std::abs(y1 - y0);
    if (w < 4 || h < 4)
        return;   // a click, not a rectangle
    const BITMAP* bmp = view_bitmap();
    const double factor = std::min(double(bmp->w) / w, double(bmp->h) / h);
    figure_settings f = panned(bmp->w / 2.0 - (x0 + x1) / 2.0, bmp->h / 2.0 - (y0 + y1) / 2.0);
    const double x = f.cx, y = f.cy;
    f.magnify = std::clamp(f.magnify * factor, 1.0, max_magnify);
    f.cx = x;
    f.cy = y;
    go_to(f);
}

// The view before the last move.
void go_back()
{
    std::vector<view_place>& history = state.view.history;
    if (history.empty())
        return;
    figure_settings f = state.wanted;
    f.magnify = history.back().magnify;
    f.cx = history.back().cx;
    f.cy = history.back().cy;
    history.pop_back();
    ask_for_figure(f);
}

figure_settings whole_view(figure_settings f)
{
    f.magnify = 1;
    f.cx = f.cy = 0;
    return f;
}

}

bool view_key(int c, int shifts)
{
    if (!state.drawn)
        return false;
    const BITMAP* bmp = view_bitmap();
    const int scancode = c >> 8, ascii = c & 0xff;
    const bool ctrl = shifts & KB_CTRL_FLAG;
    if (ascii == '+' || scancode == KEY_PLUS_PAD)
        go_to(magnified(key_factor, bmp->w / 2, bmp->h / 2));
    else if (ascii == '-' || scancode == KEY_MINUS_PAD)
        go_to(magnified(1 / key_factor, bmp->w / 2, bmp->h / 2));
    else if (ctrl && (scancode == KEY_LEFT || scancode == KEY_RIGHT))
        go_to(panned((scancode == KEY_LEFT ? 1 : -1) * bmp->w / 4.0, 0));
    else if (ctrl && (scancode == KEY_UP || scancode == KEY_DOWN))
        go_to(panned(0, (scancode == KEY_UP ? 1 : -1) * bmp->h / 4.0));
    else if (scancode == KEY_HOME)
        go_to(whole_view(state.wanted));
    else if (scancode == KEY_BACKSPACE)
        go_back();
    else
        return false;
    return true;
}

void view_wheel(int notches, int px, int py)
{
    go_to(magnified(std::pow(wheel_factor, notches), px, py));
}

int view_click(int x, int y)
{
    if (!state.drawn)
        return D_O_K;
    if (key_shifts & KB_CTRL_FLAG)
        frame(x, y);
    else
        drag(x, y);
    return D_O_K;
}
