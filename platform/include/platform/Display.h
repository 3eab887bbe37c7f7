// Whether the desktop the environment names (DISPLAY, WAYLAND_DISPLAY) can be reached.
#pragma once

#include <string>

namespace platform {

// True when a display is named at all.
bool displayNamed();
// True when the display server the environment names takes a connection; `why` says
// otherwise which one could not be reached. A window toolkit given an unreachable
// display ends the process, so this is asked first.
bool displayReachable(std::string& why);

}  // namespace platform
