#include "component/client_win32.h"

#include <cstdio>

#include <wrl/client.h>

#include "component/error_info_win32.h"
#include "winapi/error.h"
#include "winapi/text_win32.h"

namespace component {

HRESULT arrangeFor(ITessora* tessora, ArrangeTrigger trigger) {
    Microsoft::WRL::ComPtr<ITessora2> tessora2;
    if (FAILED(tessora->QueryInterface(IID_ITessora2, &tessora2)))
        return tessora->Refresh();
    return tessora2->Arrange(trigger);
}

Settings readSettings(ITessora* tessora) {
    ::SortMethod sortMethod{};
    ::ArrangeMethod arrangeMethod{};
    LONG locked = 0;
    tessora->GetSortMethod(&sortMethod);
    tessora->GetArrangeMethod(&arrangeMethod);
    tessora->IsLocked(&locked);
    LONG monitors = 0;
    Microsoft::WRL::ComPtr<ITessora2> tessora2;
    if (SUCCEEDED(tessora->QueryInterface(IID_PPV_ARGS(&tessora2))))
        tessora2->get_Monitors(&monitors);
    return {static_cast<std::int32_t>(sortMethod), static_cast<std::int32_t>(arrangeMethod),
            static_cast<std::int32_t>(locked), static_cast<std::int32_t>(monitors)};
}

CallFailure failureOf(ITessora* tessora, HRESULT result) {
    Microsoft::WRL::ComPtr<ISupportErrorInfo> support;
    if (SUCCEEDED(tessora->QueryInterface(IID_PPV_ARGS(&support))) &&
        support->InterfaceSupportsErrorInfo(IID_ITessora) == S_OK) {
        const ErrorDescription taken = takeErrorDescription();
        if (!taken.description.empty())
            return {taken.kind, winapi::fromWide(taken.description)};
        if (taken.kind != FailureKind::other)
            return {taken.kind, resultText(result)};
    }
    return {FailureKind::other, resultText(result)};
}

std::u16string resultText(HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    const std::string words = winapi::systemMessage(static_cast<std::uint32_t>(result));
    return widen(words.empty() ? std::string("error ") + code : words + " (" + code + ")");
}

} // namespace component
