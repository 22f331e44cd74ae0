// Every default of both programs, in one place: the first figure, its
// colours, the picture's size, the steps of the keys and of the animation.
// Change a value here and both programs follow.
#pragma once

namespace config {

// The first figure of the New chryzode dialog and of quorvane-render.
constexpr double n = 2;
constexpr int m = 1499;
constexpr int r = 1;
constexpr int zoom = 1;
constexpr int zoom_ratio = 2;   // Zoom In and Zoom Out multiply or divide by it

// Colours as red, green and blue from 0 to 255.
constexpr int fg1[3] = {255, 0, 0};     // a pixel one crossing falls on
constexpr int fg2[3] = {255, 255, 0};   // toward this as the crossings grow
constexpr int bg[3] = {0, 0, 0};

// The window's size at start-up and quorvane-render's picture size.
constexpr int width = 640, height = 480;

// The keys that step the figure: n by 1 (Shift: by 0.01 in complete mode),
// m by 1 (Shift: by 100).
constexpr double n_step = 1, n_fine_step = 0.01;
constexpr int m_step = 1, m_coarse_step = 100;

// The animation of n: a step a frame, at most this many frames a second.
constexpr double animation_step_complete = 0.01, animation_step_from_root = 1;
constexpr int animation_fps = 25, animation_fps_max = 60;

// The status line's longest text, the terminator included: the from-root
// form with four numbers of up to 11 characters each, and the view.
constexpr int status_size = 104;

}
