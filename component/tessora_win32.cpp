#include "component/tessora_win32.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "component/arrangement.h"
#include "component/com_boundary_win32.h"
#include "component/configuration_win32.h"
#include "component/module_win32.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/errors.h"
#include "desktop_access/icon_moving.h"
#include "winapi/error.h"

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

HRESULT storeSetting(const wchar_t* name, std::uint32_t value) {
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
    else if (riid == IID_ITessora || riid == IID_IDispatch)
        *object = static_cast<ITessora*>(&owner);
    else if (riid == IID_IProvideClassInfo)
        *object = static_cast<IProvideClassInfo*>(&owner);
    else if (riid == IID_ISupportErrorInfo)
        *object = static_cast<ISupportErrorInfo*>(&owner);
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
        if (guid == IID_ITessora && interfaceInfo_)
            return interfaceInfo_.CopyTo(typeInfo);
        Microsoft::WRL::ComPtr<ITypeLib> library;
        HRESULT result = LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, &library);
        if (FAILED(result))
            return result;
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        result = library->GetTypeInfoOfGuid(guid, &info);
        if (FAILED(result))
            return result;
        if (guid == IID_ITessora)
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
    return typeInfoOf(IID_ITessora, typeInfo);
}

STDMETHODIMP Tessora::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                    DISPID* ids) noexcept {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    return guarded([&] {
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT result = typeInfoOf(IID_ITessora, &info);
        return FAILED(result) ? result : DispGetIDsOfNames(info.Get(), names, count, ids);
    });
}

STDMETHODIMP Tessora::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    return guarded([&] {
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT loaded = typeInfoOf(IID_ITessora, &info);
        if (FAILED(loaded))
            return loaded;
        const HRESULT invoked = DispInvoke(static_cast<ITessora*>(this), info.Get(), member, flags,
                                           params, result, exception, argumentError);
        if (member != DispidRefresh && member != DispidIconActivated)
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
    return riid == IID_ITessora ? S_OK : S_FALSE;
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
    ::ArrangeMethod arrangeMethod;
    ::SortMethod sortMethod;
    if (FAILED(GetArrangeMethod(&arrangeMethod)) || FAILED(GetSortMethod(&sortMethod)))
        return E_FAIL;
    return reported([&] {
        desktop_access::Desktop& desktop = desktop_access::getDesktop();
        const bool arranged =
            arrange(storePath, desktop, bitsOf(sortMethod), bitsOf(arrangeMethod), [this] {
                LONG locked = 0;
                IsLocked(&locked);
                return locked != 0;
            });
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
    return FAILED(counted) ? counted : Refresh();
}

} // namespace component
