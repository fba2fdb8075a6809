// Failures of ITessora in plain words. Every failing method leaves a description of what failed
// as the thread's error information (the object answers ISupportErrorInfo for ITessora), so
// automation clients show it with the error and Kelvara's own programs can tell the user; a
// method that succeeds clears it.
#pragma once

#include <string>

#include <windows.h>

#include <oaidl.h>

namespace component {

// An opening that IconActivated could not count (nothing was counted, and the arrangement did
// not run) has a description that starts with this; any other failure of IconActivated came
// after the count was taken (a store that could not be saved included: the process keeps the
// count and saves it with the next write). The hook's worker counts an opening again only on
// this one.
inline constexpr wchar_t notCountedPrefix[] = L"The opening was not counted: ";

// Sets the thread's error information for ITessora, source "Tessora.Tessora". Never throws.
void setErrorDescription(const std::wstring& description) noexcept;
void setErrorDescription(const char* description) noexcept;
void clearErrorDescription() noexcept;

// Fails an IDispatch::Invoke whose method itself succeeded, the way DispInvoke fails one whose
// method returned E_FAIL: sets the thread's error information, fills the exception (source,
// description, E_FAIL) and returns DISP_E_EXCEPTION; without an exception to fill, E_FAIL.
HRESULT failInvocation(EXCEPINFO* exception, const std::wstring& description) noexcept;

// The description of the thread's error information, taken (and so cleared); empty when there is
// none.
std::wstring takeErrorDescription() noexcept;

} // namespace component
