#include "component/error_info_win32.h"

#include <oleauto.h>
#include <wrl/client.h>

#include "component/phrases_win32.h"
#include "tessora.h"
#include "winapi/handle_win32.h"
#include "winapi/text_win32.h"

namespace component {

using Microsoft::WRL::ComPtr;

namespace {

// The description in the user's language; the English one when memory runs out.
std::wstring told(const std::wstring& english) noexcept {
    try {
        return winapi::toWide(ownPhraseBook()(winapi::fromWide(english)));
    } catch (...) {
    }
    try {
        return english;
    } catch (...) {
        return {};
    }
}

void setDescription(const std::wstring& description, FailureKind kind) noexcept {
    ComPtr<ICreateErrorInfo> created;
    if (FAILED(CreateErrorInfo(&created)))
        return;
    created->SetGUID(IID_ITessora);
    created->SetHelpContext(static_cast<DWORD>(kind));
    created->SetSource(const_cast<LPOLESTR>(L"Tessora.Tessora"));
    created->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(created.As(&info)))
        SetErrorInfo(0, info.Get());
}

} // namespace

void setErrorDescription(const std::wstring& description, FailureKind kind) noexcept {
    setDescription(told(description), kind);
}

void setErrorDescription(const char* description, FailureKind kind) noexcept {
    try {
        setErrorDescription(winapi::toWide(widen(description)), kind);
    } catch (...) {
        setErrorDescription(std::wstring(), kind);
    }
}

void clearErrorDescription() noexcept {
    SetErrorInfo(0, nullptr);
}

HRESULT failInvocation(EXCEPINFO* exception, const std::wstring& english) noexcept {
    const std::wstring description = told(english);
    setDescription(description, FailureKind::other);
    if (exception == nullptr)
        return E_FAIL;
    *exception = EXCEPINFO{};
    exception->bstrSource = SysAllocString(L"Tessora.Tessora");
    exception->bstrDescription = SysAllocString(description.c_str());
    exception->scode = E_FAIL;
    return DISP_E_EXCEPTION;
}

ErrorDescription takeErrorDescription() noexcept {
    ErrorDescription taken;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return taken;
    DWORD context = 0;
    if (SUCCEEDED(info->GetHelpContext(&context)) &&
        (context == DWORD(FailureKind::notCounted) || context == DWORD(FailureKind::notSaved)))
        taken.kind = static_cast<FailureKind>(context);
    BSTR description = nullptr;
    if (FAILED(info->GetDescription(&description)) || description == nullptr)
        return taken;
    try {
        const winapi::Shared<BSTR> owned = winapi::own<SysFreeString>(description);
        taken.description.assign(description, SysStringLen(description));
    } catch (...) {
    }
    return taken;
}

} // namespace component
