// The start-up check for a shell extension known to conflict with Kelvara: the desktop
// context-menu handler of the NVIDIA Control Panel. With the user's consent its registration is
// removed; the start goes on only when it is not (or no longer) registered.
#pragma once

namespace launcher {

// True when the handler's key exists and its default value is a non-empty string. Registry
// errors count as "not present".
bool nvidiaMenuPresent();

// True when the start may go on. Asks the user and runs the elevated removal when the handler
// is present.
bool checkCompatibility();

} // namespace launcher
