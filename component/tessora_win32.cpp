#include "component/tessora_win32.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "component/arrangement.h"
#include "component/com_boundary_win32.h"
#include "component/configuration_win32.h"
#include "component/history_text.h"
#include "component/module_win32.h"
#include "component/restoring.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/errors.h"
#include "desktop_access/icon_moving.h"
#include "desktop_access/store_session.h"
#include "winapi/error.h"
#include "winapi/text_win32.h"

namespace component {
namespace {

// Enumeration values cross the interface as 32-bit integers and are stored unchecked, so they
// are copied as bits: a value outside the enumeration is a valid input here.
static_assert(sizeof(::SortMethod) == sizeof(std::int32_t) &&
              sizeof(::ArrangeMethod) == sizeof(std::int32_t));

// Through automation an arrangement returns once its icons have arrived: within a second or two
// normally, and within one request's bound more when the shell stops answering, which ends the
// animation. Icons still moving after that are on a desktop that answers, but slowly; whether
// they will take their places is not known.
constexpr std::uint32_t arrivalWaitMs = 5000 + desktop_access::answerTimeoutMs;
constexpr wchar_t stillMoving[] =
    L"The icons are still on their way: the desktop answers too slowly";

template <typename Enum> std::int32_t bitsOf(Enum value) {
    std::int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

template <typename Enum> Enum fromBits(std::uint32_t bits) {
    Enum value;
    std::memcpy(&value, &bits, sizeof bits);
    return value;
}

std::wstring wideOf(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::u16string textOf(BSTR text) {
    return text == nullptr ? std::u16string() : winapi::fromWide(text, SysStringLen(text));
}

// An optional name: nothing when missing, empty or null; any other value as text.
std::u16string textOf(const VARIANT& name) {
    if (name.vt == VT_BSTR)
        return textOf(name.bstrVal);
    if (name.vt == VT_ERROR || name.vt == VT_EMPTY || name.vt == VT_NULL)
        return {};
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&name), 0, VT_BSTR)))
        throw component::RestoreError("The layout's name is not text.");
    std::u16string converted = textOf(text.bstrVal);
    VariantClear(&text);
    return converted;
}

std::filesystem::path pathOf(BSTR file) {
    const std::u16string path = textOf(file);
    if (path.empty())
        throw component::RestoreError("No file was named.");
    return std::filesystem::path(std::wstring(path.begin(), path.end()));
}

// A FILETIME count in the user's time zone, as the history tells it.
std::uint64_t localTimeOf(std::uint64_t time) {
    const FILETIME utc{DWORD(time), DWORD(time >> 32)};
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local))
        return time;
    return std::uint64_t{local.dwHighDateTime} << 32 | local.dwLowDateTime;
}

// The step undo or redo would take, "sort by name (14:02)", or nothing.
std::wstring describedStep(const std::optional<desktop_access::RestorePoint>& point) {
    return point ? wideOf(component::stepDescription(*point, localTimeOf(point->time)))
                 : std::wstring();
}

desktop_access::Trigger triggerOf(::ArrangeTrigger trigger) {
    const std::int32_t bits = bitsOf(trigger);
    return bits > 0 && bits <= TriggerOpening ? static_cast<desktop_access::Trigger>(bits)
                                              : desktop_access::Trigger::other;
}

// An optional trigger: a script's when missing.
desktop_access::Trigger triggerOf(const VARIANT& trigger) {
    VARIANT number;
    VariantInit(&number);
    if (trigger.vt == VT_ERROR || trigger.vt == VT_EMPTY ||
        FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&trigger), 0, VT_I4)))
        return desktop_access::Trigger::script;
    return triggerOf(fromBits<::ArrangeTrigger>(static_cast<std::uint32_t>(number.lVal)));
}

// Members that arrange return through automation once their icons have arrived.
bool arranges(DISPID member) {
    switch (member) {
    case DispidRefresh:
    case DispidIconActivated:
    case DispidArrange:
    case DispidUndo:
    case DispidRedo:
    case DispidRestorePoint:
    case DispidRestoreLayout:
    case DispidIconsShown: // showing them again arranges
        return true;
    default:
        return false;
    }
}

// What a setting is called in the message that refuses to change it.
std::string settingWords(const wchar_t* name) {
    const std::wstring_view setting = name;
    return setting == sortSetting       ? "The sort method"
           : setting == arrangeSetting  ? "The arrange method"
           : setting == lockedSetting   ? "The lock"
           : setting == monitorsSetting ? "The monitors setting"
                                        : "This setting";
}

HRESULT storeSetting(const wchar_t* name, std::uint32_t value) {
    if (policyOf(name)) {
        setErrorDescription((settingWords(name) +
                             " is fixed by a policy of this computer or of your account; Kelvara "
                             "cannot change it.")
                                .c_str());
        return E_ACCESSDENIED;
    }
    return reported([&] {
        try {
            writeSetting(name, value);
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string("Kelvara's settings cannot be written: ") +
                                     error.what());
        }
        return S_OK;
    });
}

} // namespace

Tessora::Tessora(IUnknown* outer)
    : storePath(defaultStorePath(configuration().productId)), inner_(*this),
      outer_(outer ? outer : &inner_) {}

// An arrangement's icons glide on threads of their own. A client that ends right after Refresh
// (a script, say) would end them halfway, leaving the icons short of the places the store now
// records: the last reference waits for them, a few seconds at most.
Tessora::~Tessora() {
    try {
        desktop_access::waitForGlides(5000);
    } catch (...) {
        // Not waiting is the worst that can happen here.
    }
}

HRESULT Tessora::create(IUnknown* outer, REFIID riid, void** object) noexcept {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    return guarded([&] {
        Tessora* created = new Tessora(outer); // finding the store's folder allocates
        const HRESULT result = created->inner_.QueryInterface(riid, object);
        created->inner_.Release();
        return result;
    });
}

// --- IUnknown ---

STDMETHODIMP Tessora::Inner::QueryInterface(REFIID riid, void** object) noexcept {
    if (object == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown)
        *object = static_cast<IUnknown*>(this);
    else if (riid == IID_ITessora || riid == IID_ITessora2 || riid == IID_IDispatch)
        *object = static_cast<ITessora2*>(&owner);
    else if (riid == IID_IProvideClassInfo)
        *object = static_cast<IProvideClassInfo*>(&owner);
    else if (riid == IID_ISupportErrorInfo)
        *object = static_cast<ISupportErrorInfo*>(&owner);
    else if (riid == __uuidof(ITessoraRenames))
        *object = static_cast<ITessoraRenames*>(&owner);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Tessora::Inner::AddRef() noexcept {
    return ++owner.references_;
}

STDMETHODIMP_(ULONG) Tessora::Inner::Release() noexcept {
    const ULONG left = --owner.references_;
    if (left == 0)
        delete &owner;
    return left;
}

STDMETHODIMP Tessora::QueryInterface(REFIID riid, void** object) noexcept {
    return outer_->QueryInterface(riid, object);
}
STDMETHODIMP_(ULONG) Tessora::AddRef() noexcept {
    return outer_->AddRef();
}
STDMETHODIMP_(ULONG) Tessora::Release() noexcept {
    return outer_->Release();
}

// --- IDispatch and IProvideClassInfo ---

HRESULT Tessora::typeInfoOf(REFGUID guid, ITypeInfo** typeInfo) noexcept {
    if (typeInfo == nullptr)
        return E_POINTER;
    *typeInfo = nullptr;
    return guarded([&] {
        if (guid == IID_ITessora2 && interfaceInfo_)
            return interfaceInfo_.CopyTo(typeInfo);
        Microsoft::WRL::ComPtr<ITypeLib> library;
        HRESULT result = LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, &library);
        if (FAILED(result))
            return result;
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        result = library->GetTypeInfoOfGuid(guid, &info);
        if (FAILED(result))
            return result;
        if (guid == IID_ITessora2)
            interfaceInfo_ = info;
        *typeInfo = info.Detach();
        return S_OK;
    });
}

STDMETHODIMP Tessora::GetTypeInfoCount(UINT* count) noexcept {
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP Tessora::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) noexcept {
    if (index != 0)
        return DISP_E_BADINDEX;
    return typeInfoOf(IID_ITessora2, typeInfo);
}

STDMETHODIMP Tessora::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                    DISPID* ids) noexcept {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    return guarded([&] {
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT result = typeInfoOf(IID_ITessora2, &info);
        return FAILED(result) ? result : DispGetIDsOfNames(info.Get(), names, count, ids);
    });
}

STDMETHODIMP Tessora::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    return guarded([&] {
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT loaded = typeInfoOf(IID_ITessora2, &info);
        if (FAILED(loaded))
            return loaded;
        const HRESULT invoked = DispInvoke(static_cast<ITessora2*>(this), info.Get(), member, flags,
                                           params, result, exception, argumentError);
        if (!arranges(member))
            return invoked;
        // Script hosts end their process as soon as the script is done, often without releasing
        // the object: through automation an arrangement returns only once its icons have arrived,
        // and fails when some of them did not take their places.
        const bool arrived = desktop_access::waitForGlides(arrivalWaitMs);
        if (FAILED(invoked))
            return invoked;
        if (!arrived)
            return failInvocation(exception, stillMoving);
        const std::uint32_t notTaken = desktop_access::iconsNotTaken();
        if (notTaken == 0)
            return invoked;
        const std::string description = notTakenDescription(notTaken);
        return failInvocation(exception, std::wstring(description.begin(), description.end()));
    });
}

STDMETHODIMP Tessora::GetClassInfo(ITypeInfo** typeInfo) noexcept {
    return typeInfoOf(CLSID_Tessora, typeInfo);
}

STDMETHODIMP Tessora::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
    return riid == IID_ITessora || riid == IID_ITessora2 || riid == __uuidof(ITessoraRenames)
               ? S_OK
               : S_FALSE;
}

// --- ITessora: settings ---

STDMETHODIMP Tessora::GetSortMethod(::SortMethod* method) noexcept {
    return guardedGet(method, fromBits<::SortMethod>(component::SortUsage),
                      [] { return fromBits<::SortMethod>(readSetting(sortSetting)); });
}

STDMETHODIMP Tessora::SetSortMethod(::SortMethod method) noexcept {
    return storeSetting(sortSetting, static_cast<std::uint32_t>(bitsOf(method)));
}

STDMETHODIMP Tessora::GetArrangeMethod(::ArrangeMethod* method) noexcept {
    return guardedGet(method, fromBits<::ArrangeMethod>(component::ArrangeAuto),
                      [] { return fromBits<::ArrangeMethod>(readSetting(arrangeSetting)); });
}

STDMETHODIMP Tessora::SetArrangeMethod(::ArrangeMethod method) noexcept {
    return storeSetting(arrangeSetting, static_cast<std::uint32_t>(bitsOf(method)));
}

STDMETHODIMP Tessora::IsLocked(LONG* locked) noexcept {
    return guardedGet(locked, LONG{0},
                      [] { return static_cast<LONG>(readSetting(lockedSetting)); });
}

STDMETHODIMP Tessora::ToggleLock() noexcept {
    LONG locked = 0;
    const HRESULT result = IsLocked(&locked);
    if (FAILED(result))
        return result;
    return storeSetting(lockedSetting, locked == 0 ? 1 : 0);
}

// --- ITessora: arranging ---

STDMETHODIMP Tessora::Refresh() noexcept {
    return arrangeFor(desktop_access::Trigger::script);
}

HRESULT Tessora::arrangeFor(desktop_access::Trigger trigger) noexcept {
    ::ArrangeMethod arrangeMethod;
    ::SortMethod sortMethod;
    LONG monitors = 0;
    if (FAILED(GetArrangeMethod(&arrangeMethod)) || FAILED(GetSortMethod(&sortMethod)) ||
        FAILED(get_Monitors(&monitors)))
        return E_FAIL;
    return reported([&] {
        desktop_access::Desktop& desktop = desktop_access::getDesktop();
        const bool arranged = arrange(
            storePath, desktop, bitsOf(sortMethod), bitsOf(arrangeMethod),
            [this] {
                LONG locked = 0;
                IsLocked(&locked);
                return locked != 0;
            },
            trigger, monitors);
        if (!arranged && organizers::knowsMethods(bitsOf(sortMethod), bitsOf(arrangeMethod)))
            throw std::runtime_error("The stored monitors setting is not one Kelvara knows ("
                                     "monitors " +
                                     std::to_string(monitors) + ").");
        if (!arranged)
            throw std::runtime_error("The stored sort or arrange method is not one Kelvara knows ("
                                     "sort " +
                                     std::to_string(bitsOf(sortMethod)) + ", arrange " +
                                     std::to_string(bitsOf(arrangeMethod)) + ").");
        return S_OK;
    });
}

STDMETHODIMP Tessora::IconActivated(int index) noexcept {
    const HRESULT counted = reported([&] {
        try {
            countActivation(storePath, desktop_access::getDesktop(), index);
        } catch (const desktop_access::NotSavedError&) {
            throw; // counted, and kept by the process: counting it again would count it twice
        } catch (const std::exception& error) {
            throw NotCountedError(std::string("The opening was not counted: ") + error.what());
        }
        return S_OK;
    });
    return FAILED(counted) ? counted : arrangeFor(desktop_access::Trigger::opening);
}

// --- ITessoraRenames ---

STDMETHODIMP Tessora::IconRenamed(const wchar_t* from, const wchar_t* to) noexcept {
    if (from == nullptr || to == nullptr)
        return E_POINTER;
    return reported([&] {
        desktop_access::StoreSession(storePath).rename(winapi::fromWide(from, wcslen(from)),
                                                       winapi::fromWide(to, wcslen(to)));
        return S_OK;
    });
}

// --- ITessora2: undo, restore points, named layouts, showing the icons ---

STDMETHODIMP Tessora::Arrange(::ArrangeTrigger trigger) noexcept {
    return arrangeFor(triggerOf(trigger));
}

STDMETHODIMP Tessora::Undo() noexcept {
    return reported([&] {
        stepHistory(storePath, desktop_access::getDesktop(), Step::undo);
        return S_OK;
    });
}

STDMETHODIMP Tessora::Redo() noexcept {
    return reported([&] {
        stepHistory(storePath, desktop_access::getDesktop(), Step::redo);
        return S_OK;
    });
}

STDMETHODIMP Tessora::get_UndoDescription(BSTR* text) noexcept {
    return reportedText(text, [&] {
        const std::vector<desktop_access::RestorePoint> points = restorePoints(storePath);
        return describedStep(points.empty() ? std::nullopt : std::optional(points.front()));
    });
}

STDMETHODIMP Tessora::get_RedoDescription(BSTR* text) noexcept {
    return reportedText(text, [&] { return describedStep(nextRedo(storePath)); });
}

STDMETHODIMP Tessora::get_History(BSTR* lines) noexcept {
    return reportedText(lines, [&] {
        const std::vector<desktop_access::RestorePoint> points = restorePoints(storePath);
        std::string text;
        for (std::size_t index = 0; index < points.size(); ++index)
            text += historyLine(index + 1, points[index], localTimeOf(points[index].time)) + "\n";
        return wideOf(text);
    });
}

STDMETHODIMP Tessora::RestorePoint(LONG number, VARIANT trigger) noexcept {
    return reported([&] {
        restorePoint(storePath, desktop_access::getDesktop(),
                     number < 0 ? 0 : static_cast<std::size_t>(number), triggerOf(trigger));
        return S_OK;
    });
}

STDMETHODIMP Tessora::SaveLayout(BSTR name) noexcept {
    return reported([&] {
        saveLayout(storePath, desktop_access::getDesktop(), textOf(name));
        return S_OK;
    });
}

STDMETHODIMP Tessora::RestoreLayout(BSTR name, VARIANT trigger) noexcept {
    return reported([&] {
        restoreLayout(storePath, desktop_access::getDesktop(), textOf(name), triggerOf(trigger));
        return S_OK;
    });
}

STDMETHODIMP Tessora::ForgetLayout(BSTR name) noexcept {
    return reported([&] {
        forgetLayout(storePath, textOf(name));
        return S_OK;
    });
}

STDMETHODIMP Tessora::get_Layouts(BSTR* names) noexcept {
    return reportedText(names, [&] {
        std::u16string text;
        for (const std::u16string& name : layoutNames(storePath))
            text += name + u"\n";
        return text;
    });
}

STDMETHODIMP Tessora::ExportLayout(BSTR file, VARIANT name) noexcept {
    return reported([&] {
        exportLayout(storePath, desktop_access::getDesktop(), pathOf(file), textOf(name));
        return S_OK;
    });
}

STDMETHODIMP Tessora::ImportLayout(BSTR file, VARIANT name, BSTR* imported) noexcept {
    return reportedText(imported,
                        [&] { return importLayout(storePath, pathOf(file), textOf(name)); });
}

STDMETHODIMP Tessora::get_IconsShown(VARIANT_BOOL* shown) noexcept {
    return guardedGet(shown, VARIANT_BOOL(VARIANT_TRUE), [] {
        return desktop_access::iconsShown(desktop_access::getDesktop()) ? VARIANT_TRUE
                                                                        : VARIANT_FALSE;
    });
}

STDMETHODIMP Tessora::put_IconsShown(VARIANT_BOOL shown) noexcept {
    bool shownAgain = false;
    const HRESULT result = reported([&] {
        desktop_access::Desktop& desktop = desktop_access::getDesktop();
        shownAgain = shown != VARIANT_FALSE && !desktop_access::iconsShown(desktop);
        desktop_access::showIcons(desktop, shown != VARIANT_FALSE);
        return S_OK;
    });
    // Nothing was arranged while they were hidden: icons that came meanwhile are placed now.
    return FAILED(result) || !shownAgain ? result
                                         : arrangeFor(desktop_access::Trigger::iconsChanged);
}

STDMETHODIMP Tessora::get_Monitors(LONG* monitors) noexcept {
    return guardedGet(monitors, LONG{organizers::MonitorsAll},
                      [] { return static_cast<LONG>(readSetting(monitorsSetting)); });
}

STDMETHODIMP Tessora::put_Monitors(LONG monitors) noexcept {
    if (!organizers::knowsMonitors(monitors)) {
        setErrorDescription("Monitors takes 0 (all monitors as one), 1 (the primary monitor) or 2 "
                            "(each monitor on its own).");
        return E_INVALIDARG;
    }
    return storeSetting(monitorsSetting, static_cast<std::uint32_t>(monitors));
}

} // namespace component
