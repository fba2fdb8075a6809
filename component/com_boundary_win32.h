// The one shape of every COM method and every export of the library: nothing escapes. Work that
// throws becomes the method's result: E_OUTOFMEMORY when memory ran out, E_FAIL otherwise.
#pragma once

#include <exception>
#include <new>

#include <oleauto.h>
#include <windows.h>

#include "component/client_text.h"
#include "component/error_info_win32.h"
#include "desktop_access/errors.h"
#include "winapi/error.h"

namespace component {

template <typename Work> HRESULT guarded(Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// The same for the methods of ITessora, which also say what failed: the message of the escaping
// error becomes the thread's error information, with the kind its type says, and a success
// clears it.
template <typename Work> HRESULT reported(Work&& work) noexcept {
    try {
        const HRESULT result = work();
        if (SUCCEEDED(result))
            clearErrorDescription();
        return result;
    } catch (const std::bad_alloc&) {
        setErrorDescription("Kelvara ran out of memory.");
        return E_OUTOFMEMORY;
    } catch (const desktop_access::NotSavedError& error) {
        setErrorDescription(error.what(), FailureKind::notSaved);
        return E_FAIL;
    } catch (const NotCountedError& error) {
        setErrorDescription(error.what(), FailureKind::notCounted);
        return E_FAIL;
    } catch (const std::exception& error) {
        setErrorDescription(error.what());
        return E_FAIL;
    } catch (...) {
        setErrorDescription("Kelvara failed for a reason it cannot name.");
        return E_FAIL;
    }
}

// For the methods that hand a script a text: the text work makes, as a BSTR the caller frees,
// never null on success; null on any failure, so the caller has nothing to free. A null
// out-pointer is E_POINTER and leaves no error information behind.
template <typename Work> HRESULT reportedText(BSTR* out, Work&& work) noexcept {
    if (out == nullptr) {
        clearErrorDescription();
        return E_POINTER;
    }
    *out = nullptr;
    return reported([&] {
        const auto text = work();
        *out = SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()), UINT(text.size()));
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    });
}

// For the getters: the value work reads, or the fallback when it throws; always S_OK. A null
// out-pointer is E_POINTER.
template <typename Value, typename Work>
HRESULT guardedGet(Value* out, Value fallback, Work&& work) noexcept {
    if (out == nullptr)
        return E_POINTER;
    try {
        *out = work();
    } catch (...) {
        *out = fallback;
    }
    return S_OK;
}

} // namespace component
