// A live snapshot as an arrangement reads it, for tests and benchmarks that need one outside an
// arrangement: read in a store session of its own, which has ended (its lock released, nothing
// written) by the time the snapshot is returned.
#pragma once

#include <filesystem>

#include "desktop_access/snapshot.h"
#include "desktop_access/store_session.h"

namespace test_support {

inline desktop_access::DesktopProxy liveSnapshot(desktop_access::Desktop& desktop,
                                                 const std::filesystem::path& store = {},
                                                 desktop_access::ShellNeeds needs = {}) {
    const desktop_access::StoreSession session(store);
    return desktop_access::readDesktop(desktop, session, needs);
}

} // namespace test_support
