#include "cmdline/component_client_win32.h"

#include <cstdio>

#include <oleauto.h>

#include "component/client_win32.h"
#include "winapi/bstr_win32.h"
#include "winapi/error.h"
#include "winapi/text_win32.h"

namespace cmdline {
namespace {

using Microsoft::WRL::ComPtr;

void succeed(ITessora* tessora, HRESULT result, const char16_t* what) {
    if (FAILED(result))
        throw Failure(toldFailure(what, component::failureOf(tessora, result).reason));
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
        throw Failure(toldFailure(u"Kelvara's component (Tessora.dll) cannot be started",
                                  result == REGDB_E_CLASSNOTREG
                                      ? u"it is not registered (install.cmd registers it)"
                                      : component::resultText(result)));
    tessora_.As(&tessora2_); // the same library always has it
    if (!tessora2_)
        throw Failure(toldFailure(u"Kelvara's component (Tessora.dll) cannot be started",
                                  u"it is an older one, without undo and layouts"));
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

void ComponentClient::setMonitors(std::int32_t monitors) {
    succeed(tessora_.Get(), tessora2_->put_Monitors(monitors),
            u"Kelvara could not store the monitors setting");
}

void ComponentClient::arrange() {
    invokeArranging(DispidArrange, Told::trigger, nullptr,
                    u"Kelvara could not arrange the desktop");
}

void ComponentClient::invokeArranging(DISPID member, Told told, const VARIANT* argument,
                                      const char16_t* what) {
    // Automation takes the arguments last first: the trigger, then the method's own argument.
    VARIANT arguments[2];
    UINT count = 0;
    if (told == Told::trigger) {
        VariantInit(&arguments[count]);
        arguments[count].vt = VT_I4;
        arguments[count++].lVal = TriggerCommandLine;
    }
    if (argument != nullptr)
        arguments[count++] = *argument; // read only: the caller keeps what it holds
    DISPPARAMS params{arguments, nullptr, count, 0};
    EXCEPINFO exception{};
    const HRESULT result = tessora2_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                             &params, nullptr, &exception, nullptr);
    const std::u16string description = takeDescription(exception);
    const HRESULT code =
        result == DISP_E_EXCEPTION && FAILED(exception.scode) ? exception.scode : result;
    if (SUCCEEDED(result))
        return;
    throw Failure(toldFailure(what, description.empty()
                                        ? component::failureOf(tessora_.Get(), code).reason
                                        : description));
}

void ComponentClient::undo() {
    invokeArranging(DispidUndo, Told::nothing, nullptr, u"Kelvara could not undo");
}

void ComponentClient::redo() {
    invokeArranging(DispidRedo, Told::nothing, nullptr, u"Kelvara could not redo");
}

std::u16string ComponentClient::history() {
    winapi::Bstr lines;
    succeed(tessora_.Get(), tessora2_->get_History(lines.out()),
            u"Kelvara could not read its history");
    return winapi::fromWide(std::wstring(lines.view()));
}

void ComponentClient::restorePoint(std::int32_t number) {
    VARIANT point;
    VariantInit(&point);
    point.vt = VT_I4;
    point.lVal = number;
    invokeArranging(DispidRestorePoint, Told::trigger, &point,
                    u"Kelvara could not restore the arrangement");
}

void ComponentClient::restoreLayout(const std::u16string& name) {
    winapi::Bstr text(winapi::toWide(name));
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = text.get();
    invokeArranging(DispidRestoreLayout, Told::trigger, &argument,
                    u"Kelvara could not restore the layout");
}

void ComponentClient::saveLayout(const std::u16string& name) {
    succeed(tessora_.Get(), tessora2_->SaveLayout(winapi::Bstr(winapi::toWide(name)).get()),
            u"Kelvara could not save the layout");
}

std::u16string ComponentClient::layouts() {
    winapi::Bstr names;
    succeed(tessora_.Get(), tessora2_->get_Layouts(names.out()),
            u"Kelvara could not read its layouts");
    return winapi::fromWide(std::wstring(names.view()));
}

void ComponentClient::forgetLayout(const std::u16string& name) {
    succeed(tessora_.Get(), tessora2_->ForgetLayout(winapi::Bstr(winapi::toWide(name)).get()),
            u"Kelvara could not forget the layout");
}

namespace {

// An optional name as the component takes it: a BSTR the caller's Bstr holds.
VARIANT optionalName(const winapi::Bstr& name) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = name.get();
    return argument;
}

} // namespace

void ComponentClient::exportLayout(const std::u16string& file, const std::u16string& name) {
    const winapi::Bstr text(winapi::toWide(name));
    succeed(tessora_.Get(),
            tessora2_->ExportLayout(winapi::Bstr(winapi::toWide(file)).get(), optionalName(text)),
            u"Kelvara could not export the layout");
}

std::u16string ComponentClient::importLayout(const std::u16string& file,
                                             const std::u16string& name) {
    const winapi::Bstr text(winapi::toWide(name));
    winapi::Bstr imported;
    succeed(tessora_.Get(),
            tessora2_->ImportLayout(winapi::Bstr(winapi::toWide(file)).get(), optionalName(text),
                                    imported.out()),
            u"Kelvara could not import the layout");
    return winapi::fromWide(std::wstring(imported.view()));
}

void ComponentClient::showIcons(bool shown) {
    succeed(tessora_.Get(), tessora2_->put_IconsShown(shown ? VARIANT_TRUE : VARIANT_FALSE),
            shown ? u"Kelvara could not show the desktop icons"
                  : u"Kelvara could not hide the desktop icons");
}

} // namespace cmdline
