// The Animate dialog: the step of n in the figure's mode, the frame rate and
// an optional last n.

#include "gui.h"

namespace {

// The frame rate is whole, yet shows "25.5" whole to refuse it as such.
constexpr int number_limit = field_limit(multiplier_chars), fps_limit = field_limit(4);
char step_text[edit_buffer_size(number_limit)], fps_text[edit_buffer_size(fps_limit)],
    last_text[edit_buffer_size(number_limit)];
constexpr int step_entry = 5, fps_entry = 7, last_entry = 9;

}

DIALOG animate_dialog[] = {
    /* proc            x    y    w    h    fg bg key flags   d1            d2 dp                         dp2      dp3 */
    { d_box_proc,      0,   0,   380, 190, 0, 0, 0,  0,      0,            0, nullptr,                   nullptr, nullptr },
    { d_textbox_proc,  0,   0,   380, 16,  0, 0, 0,  0,      0,            0, (void*)"Animation of n",   nullptr, nullptr },
    { d_button_proc,   70,  155, 100, 20,  0, 0, 13, D_EXIT, 0,            0, (void*)"OK",               nullptr, nullptr },
    { d_button_proc,   210, 155, 100, 20,  0, 0, 0,  D_EXIT, 0,            0, (void*)"Cancel",           nullptr, nullptr },
    { d_text_proc,     20,  40,  100, 16,  0, 0, 0,  0,      0,            0, (void*)"step of n =",      nullptr, nullptr },
    { d_edit_proc,     130, 40,  216, 16,  0, 0, 0,  0,      number_limit, 0, step_text,                 nullptr, nullptr },
    { d_text_proc,     20,  70,  100, 16,  0, 0, 0,  0,      0,            0, (void*)"frames/s =",       nullptr, nullptr },
    { d_edit_proc,     130, 70,  48,  16,  0, 0, 0,  0,      fps_limit,    0, fps_text,                  nullptr, nullptr },
    { d_text_proc,     20,  100, 100, 16,  0, 0, 0,  0,      0,            0, (void*)"last n =",         nullptr, nullptr },
    { d_edit_proc,     130, 100, 216, 16,  0, 0, 0,  0,      number_limit, 0, last_text,                 nullptr, nullptr },
    { d_text_proc,     130, 120, 140, 16,  0, 0, 0,  0,      0,            0, (void*)"(empty: no end)",  nullptr, nullptr },
    { d_yield_proc,    0,   0,   0,   0,   0, 0, 0,  0,      0,            0, nullptr,                   nullptr, nullptr },
    { nullptr,         0,   0,   0,   0,   0, 0, 0,  0,      0,            0, nullptr,                   nullptr, nullptr },
};

namespace {

// What the judges need beyond the text: the figure's mode and the n the
// animation starts from.
struct animate_context {
    bool from_root;
    double n;
};

verdict step_field(const char* text, const void* context)
{
    const verdict why = judge_multiplier(text, &static_cast<const animate_context*>(context)->from_root);
    double step;
    return why == verdict::taken && read_decimal_number(text, step) && step == 0 ? verdict::excluded : why;
}

verdict fps_field(const char* text, const void*)
{
    return judge_whole(text, 1, config::animation_fps_max);
}

// Empty, or ahead of n or at it in the direction of the step, which the
// step field (judged first) holds; n at its last n stops at once.
verdict last_field(const char* text, const void* context)
{
    static const bool any = false;
    const verdict why = *text ? judge_multiplier(text, &any) : verdict::taken;
    double last, step;
    if (!*text || why != verdict::taken || !read_decimal_number(step_text, step))
        return why;
    read_decimal_number(text, last);
    const double n = static_cast<const animate_context*>(context)->n;
    return (step > 0 && last < n) || (step < 0 && last > n) ? verdict::unreachable : verdict::taken;
}

const std::vector<number_field> animate_fields = {
    {step_entry, "step of n", step_field, "The step is from -2147483647 to 2147483647, not 0, whole from a root."},
    {fps_entry, "frames/s", fps_field, "The frames per second are a whole number from 1 to 60."},
    {last_entry, "last n", last_field, "The last n is from -2147483647 to 2147483647, on the step's way, or empty."},
};

}

int animate_settings()
{
    const animate_context context{(state.wanted.type & from_root) != 0, state.wanted.n};
    animation& a = state.anim;
    double& step = context.from_root ? a.step_from_root : a.step_complete;
    uszprintf(step_text, sizeof step_text, "%s", multiplier_text(step).c_str());
    uszprintf(fps_text, sizeof fps_text, "%d", a.fps);
    uszprintf(last_text, sizeof last_text, "%s", a.has_last ? multiplier_text(a.last).c_str() : "");
    if (run_number_dialog(animate_dialog, animate_fields, &context) == ok_entry) {
        read_decimal_number(step_text, step);
        a.fps = read_number(fps_text);
        a.has_last = read_decimal_number(last_text, a.last);
    }
    redraw_main();
    return D_O_K;
}
