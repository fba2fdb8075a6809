// Ending a running Kelvara from another process, as its menu's Quit does: its hidden window
// takes WM_CLOSE for that, and Kelvara then takes its hook out of the shell before it ends.
// KelvaraCmd's "quit" and the installer (before it replaces or removes the files) use it.
#pragma once

#include <windows.h>

namespace cmdline {

enum class Ending { notRunning, ended, stillRunning };

// Asks every Kelvara of this session to end and waits until each has, at most patienceMs in
// all.
Ending endKelvara(DWORD patienceMs);

} // namespace cmdline
