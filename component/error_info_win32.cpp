#include "component/error_info_win32.h"

#include <oleauto.h>
#include <wrl/client.h>

#include "tessora.h"
#include "winapi/handle_win32.h"

namespace component {

using Microsoft::WRL::ComPtr;

void setErrorDescription(const std::wstring& description) noexcept {
    ComPtr<ICreateErrorInfo> created;
    if (FAILED(CreateErrorInfo(&created)))
        return;
    created->SetGUID(IID_ITessora);
    created->SetSource(const_cast<LPOLESTR>(L"Tessora.Tessora"));
    created->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(created.As(&info)))
        SetErrorInfo(0, info.Get());
}

void setErrorDescription(const char* description) noexcept {
    try {
        // Messages of the system's errors are plain ASCII text.
        std::wstring wide;
        for (const char* c = description; *c != '\0'; ++c)
            wide.push_back(static_cast<unsigned char>(*c));
        setErrorDescription(wide);
    } catch (...) {
        setErrorDescription(std::wstring());
    }
}

void clearErrorDescription() noexcept {
    SetErrorInfo(0, nullptr);
}

HRESULT failInvocation(EXCEPINFO* exception, const std::wstring& description) noexcept {
    setErrorDescription(description);
    if (exception == nullptr)
        return E_FAIL;
    *exception = EXCEPINFO{};
    exception->bstrSource = SysAllocString(L"Tessora.Tessora");
    exception->bstrDescription = SysAllocString(description.c_str());
    exception->scode = E_FAIL;
    return DISP_E_EXCEPTION;
}

std::wstring takeErrorDescription() noexcept {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return {};
    BSTR description = nullptr;
    if (FAILED(info->GetDescription(&description)) || description == nullptr)
        return {};
    try {
        const winapi::Shared<BSTR> owned = winapi::own<SysFreeString>(description);
        return std::wstring(description, SysStringLen(description));
    } catch (...) {
        return {};
    }
}

} // namespace component
