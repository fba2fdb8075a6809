// The launcher: one instance per logon session, the compatibility check, up to five start-up
// attempts (find the desktop, switch off the shell's own arrangement, install the hook, create
// the component and arrange once), the welcome program on the first start, and then the message
// loop that keeps the hook, the component and the notification-area icon with its menu alive
// until a quit message arrives (or the menu's Quit, which ends the loop the same way).
#pragma once

#include <windows.h>

namespace launcher {

// The whole run; the result is the process exit code.
int run();

// Clears the list view's auto-arrange style and the extended styles that would re-arrange or
// snap icons behind the component's back (snap-to-grid always; from Windows 6 on also justified
// columns, automatic auto-arrange and auto-sized columns). Throws DesktopAccessError "The
// desktop does not answer" when the list view does not answer within answerTimeoutMs.
void disableAutoArrange(HWND listView);

// True on the first start of the product for this user; the marker "Started" is then already
// stored. Throws winapi::Error when the marker cannot be written.
bool isFirstStart();

// Starts "Orvinta.exe" from the launcher's own folder, without waiting; failures are ignored.
void launchWelcome();

} // namespace launcher
