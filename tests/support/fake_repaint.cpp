// The list view's repaint: recorded on the fake desktop with the number of moves made by then.
#include "desktop_access/desktop_seam.h"
#include "desktop_access/errors.h"
#include "tests/support/fake_desktop.h"
#include "winapi/error.h"

namespace desktop_access {

void repaintIcons(Desktop& desktop) {
    if (desktop.failRequest == "repaint")
        throw DesktopAccessError("fake failure of repaint");
    desktop.repaints.push_back(desktop.moves.size());
}

} // namespace desktop_access
