// What a window manager does when the user clicks a window's close button:
//   send_close_request WINDOW_ID
#include <cstdlib>

#include <X11/Xlib.h>

int main(int argc, char** argv)
{
    Display* display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
    if (!display)
        return 2;
    const Window target = std::strtoul(argv[1], nullptr, 0);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, target, False, NoEventMask, &event);
    XCloseDisplay(display);
    return 0;
}
