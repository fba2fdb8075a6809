// Following the shell when it restarts. The hook lives in the shell's process and goes with it;
// a new shell has a new desktop list view that nothing has hooked or arranged. The follower
// notices (it is asked on every tick of the launcher's window and when the shell announces
// itself), finds the new desktop, switches off its own arrangement styles, installs the hook on
// it and, once its icons have stopped arriving, arranges it once.
#pragma once

#include <cstdint>
#include <optional>

#include <windows.h>

#include "desktop_access/desktop_win32.h"
#include "tessora.h"
#include "vantle/hook_installer_win32.h"

namespace launcher {

class ShellFollower {
  public:
    // The desktop as the start-up found and hooked it; the hook and the component stay the
    // caller's (the component is released before the hook goes).
    ShellFollower(desktop_access::Desktop& desktop,
                  std::optional<desktop_hook::HookInstaller>& hook, ITessora* tessora);

    // Looks whether the hooked desktop still exists; if not, follows the new one as far as it
    // can now. Errors (no shell yet) leave the rest for the next call.
    void check();

  private:
    void follow();
    void arrangeOnceSettled();

    desktop_access::Desktop* desktop_;
    std::optional<desktop_hook::HookInstaller>& hook_;
    ITessora* tessora_;
    // A new desktop waiting for its arrangement: the item count at the last check.
    std::optional<LRESULT> settlingCount_;
    int settlingChecks_ = 0;
    int failedArrangements_ = 0;
};

} // namespace launcher
