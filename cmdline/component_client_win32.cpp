#include "cmdline/component_client_win32.h"

#include <cstdio>

#include <oleauto.h>

#include "component/client_win32.h"
#include "winapi/error.h"
#include "winapi/text_win32.h"

namespace cmdline {
namespace {

using Microsoft::WRL::ComPtr;

void succeed(ITessora* tessora, HRESULT result, const char16_t* what) {
    if (FAILED(result))
        throw Failure(failureLine(what, component::failureOf(tessora, result).reason));
}

// The description an automation call left in its exception record (filled in first when the
// record was left to be filled later); the record's strings are then released.
std::u16string takeDescription(EXCEPINFO& exception) {
    if (exception.pfnDeferredFillIn != nullptr)
        exception.pfnDeferredFillIn(&exception);
    std::u16string description;
    if (exception.bstrDescription != nullptr)
        description =
            winapi::fromWide(exception.bstrDescription, SysStringLen(exception.bstrDescription));
    for (BSTR* text :
         {&exception.bstrSource, &exception.bstrDescription, &exception.bstrHelpFile}) {
        SysFreeString(*text);
        *text = nullptr;
    }
    return description;
}

} // namespace

ComponentClient::ComponentClient() {
    const HRESULT result =
        CoCreateInstance(CLSID_Tessora, nullptr, CLSCTX_INPROC_SERVER, IID_ITessora, &tessora_);
    if (FAILED(result))
        throw Failure(failureLine(u"Kelvara's component (Tessora.dll) cannot be started",
                                  result == REGDB_E_CLASSNOTREG
                                      ? u"it is not registered (install.cmd registers it)"
                                      : component::resultText(result)));
}

Settings ComponentClient::settings() const {
    return component::readSettings(tessora_.Get());
}

void ComponentClient::setSortMethod(std::int32_t sortMethod) {
    succeed(tessora_.Get(), tessora_->SetSortMethod(static_cast<::SortMethod>(sortMethod)),
            u"Kelvara could not store the sort method");
}

void ComponentClient::setArrangeMethod(std::int32_t arrangeMethod) {
    succeed(tessora_.Get(), tessora_->SetArrangeMethod(static_cast<::ArrangeMethod>(arrangeMethod)),
            u"Kelvara could not store the arrange method");
}

void ComponentClient::setLocked(bool locked) {
    if ((settings().locked != 0) != locked)
        succeed(tessora_.Get(), tessora_->ToggleLock(), u"Kelvara could not change the lock");
}

void ComponentClient::arrange() {
    constexpr char16_t what[] = u"Kelvara could not arrange the desktop";
    OLECHAR name[] = L"Refresh";
    LPOLESTR names[] = {name};
    DISPID refresh = 0;
    succeed(tessora_.Get(),
            tessora_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &refresh), what);
    DISPPARAMS none{};
    EXCEPINFO exception{};
    const HRESULT result = tessora_->Invoke(refresh, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                            &none, nullptr, &exception, nullptr);
    const std::u16string description = takeDescription(exception);
    const HRESULT code =
        result == DISP_E_EXCEPTION && FAILED(exception.scode) ? exception.scode : result;
    if (SUCCEEDED(result))
        return;
    throw Failure(failureLine(what, description.empty()
                                        ? component::failureOf(tessora_.Get(), code).reason
                                        : description));
}

} // namespace cmdline
