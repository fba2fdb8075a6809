// Failures of ITessora in plain words and by kind. Every failing method leaves a description of
// what failed as the thread's error information (the object answers ISupportErrorInfo for
// ITessora), so automation clients show it with the error and Kelvara's own programs can tell
// the user; its help context carries the FailureKind (component/client_text.h), so those
// programs can tell what the failure means for them without reading the words. A method that
// succeeds clears it.
#pragma once

#include <string>

#include <windows.h>

#include <oaidl.h>

#include "component/client_text.h"

namespace component {

// Sets the thread's error information for ITessora, source "Tessora.Tessora", the description
// in the user's language (the module's phrase book, phrases_win32.h). Never throws.
void setErrorDescription(const std::wstring& description,
                         FailureKind kind = FailureKind::other) noexcept;
void setErrorDescription(const char* description, FailureKind kind = FailureKind::other) noexcept;
void clearErrorDescription() noexcept;

// Fails an IDispatch::Invoke whose method itself succeeded, the way DispInvoke fails one whose
// method returned E_FAIL: sets the thread's error information, fills the exception (source,
// description in the user's language, E_FAIL) and returns DISP_E_EXCEPTION; without an exception to
// fill, E_FAIL.
HRESULT failInvocation(EXCEPINFO* exception, const std::wstring& description) noexcept;

// The thread's error information, taken (and so cleared): its description (empty when there is
// none) and its kind.
struct ErrorDescription {
    std::wstring description;
    FailureKind kind = FailureKind::other;
};
ErrorDescription takeErrorDescription() noexcept;

} // namespace component
