// Beside the interface, for Kelvara's own programs that call it (the launcher, the hook,
// KelvaraCmd): the three settings read in one call, and why a call failed, in the component's words
// and by kind.
#pragma once

#include <string>

#include <windows.h>

#include "component/client_text.h"
#include "tessora.h"

namespace component {

// The getters never fail: a setting that cannot be read gives its default.
Settings readSettings(ITessora* tessora);

// Arranges the desktop, telling the component what started it (through ITessora2; a component
// without it just arranges).
HRESULT arrangeFor(ITessora* tessora, ArrangeTrigger trigger);

struct CallFailure {
    FailureKind kind = FailureKind::other;
    std::u16string reason; // the component's own description, else the system's words
};
// Why the last call of tessora, which returned result, failed; takes the thread's error
// information.
CallFailure failureOf(ITessora* tessora, HRESULT result);

// The system's words for a result code, with the code in hexadecimal.
std::u16string resultText(HRESULT result);

} // namespace component
