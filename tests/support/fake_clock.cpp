// The clock of the seam: whatever fake::now says.
#include "desktop_access/desktop_seam.h"
#include "tests/support/fakes.h"

namespace desktop_access {

std::uint64_t currentFileTime() {
    return fake::now;
}

} // namespace desktop_access
