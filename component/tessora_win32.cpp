#include "component/tessora_win32.h"

#include <cstdint>
#include <cstring>
#include <new>

#include <shlobj.h>

#include "component/arrangement.h"
#include "component/configuration_win32.h"
#include "component/module_win32.h"
#include "desktop_access/desktop_win32.h"

namespace component {
namespace {

// Enumeration values cross the interface as 32-bit integers and are stored unchecked, so they
// are copied as bits: a value outside the enumeration is a valid input here.
static_assert(sizeof(::SortMethod) == sizeof(std::int32_t) &&
              sizeof(::ArrangeMethod) == sizeof(std::int32_t));

// The dispatch identifiers the type library gives the two methods that move icons.
constexpr DISPID iconActivatedId = 0x60020006;
constexpr DISPID refreshId = 0x60020007;

template <typename Enum> std::int32_t bitsOf(Enum value) {
    std::int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

template <typename Enum> void storeBits(Enum* target, std::uint32_t bits) {
    std::memcpy(target, &bits, sizeof bits);
}

// A getter's value: the stored setting, or its default when it cannot be read.
std::uint32_t settingOr(const wchar_t* name, std::uint32_t fallback) {
    try {
        return readSetting(name);
    } catch (...) {
        return fallback;
    }
}

HRESULT storeSetting(const wchar_t* name, std::uint32_t value) {
    try {
        writeSetting(name, value);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace

std::filesystem::path defaultStorePath(const std::wstring& productId) {
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE))
        return {};
    return std::filesystem::path(std::wstring(folder) + L"\\" + productId + L".store");
}

Tessora::Tessora(IUnknown* outer)
    : storePath(defaultStorePath(configuration().productId)), inner_(*this),
      outer_(outer ? outer : &inner_) {}

// An arrangement's icons glide on threads of their own. A client that ends right after Refresh
// (a script, say) would end them halfway, leaving the icons short of the places the store now
// records: the last reference waits for them, a few seconds at most.
Tessora::~Tessora() {
    desktop_access::waitForDetachedThreads(5000);
}

HRESULT Tessora::create(IUnknown* outer, REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    Tessora* created = nullptr;
    try {
        // Finding the store's folder allocates: nothing may throw past the class factory.
        created = new Tessora(outer);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
    const HRESULT result = created->inner_.QueryInterface(riid, object);
    created->inner_.Release();
    return result;
}

// --- IUnknown ---

STDMETHODIMP Tessora::Inner::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown)
        *object = static_cast<IUnknown*>(this);
    else if (riid == IID_ITessora || riid == IID_IDispatch)
        *object = static_cast<ITessora*>(&owner);
    else if (riid == IID_IProvideClassInfo)
        *object = static_cast<IProvideClassInfo*>(&owner);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Tessora::Inner::AddRef() {
    return ++owner.references_;
}

STDMETHODIMP_(ULONG) Tessora::Inner::Release() {
    const ULONG left = --owner.references_;
    if (left == 0)
        delete &owner;
    return left;
}

STDMETHODIMP Tessora::QueryInterface(REFIID riid, void** object) {
    return outer_->QueryInterface(riid, object);
}
STDMETHODIMP_(ULONG) Tessora::AddRef() {
    return outer_->AddRef();
}
STDMETHODIMP_(ULONG) Tessora::Release() {
    return outer_->Release();
}

// --- IDispatch and IProvideClassInfo ---

HRESULT Tessora::typeInfoOf(REFGUID guid, ITypeInfo** typeInfo) {
    if (typeInfo == nullptr)
        return E_POINTER;
    *typeInfo = nullptr;
    if (guid == IID_ITessora && interfaceInfo_) {
        interfaceInfo_.CopyTo(typeInfo);
        return S_OK;
    }
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
}

STDMETHODIMP Tessora::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP Tessora::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) {
    if (index != 0)
        return DISP_E_BADINDEX;
    return typeInfoOf(IID_ITessora, typeInfo);
}

STDMETHODIMP Tessora::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    const HRESULT result = typeInfoOf(IID_ITessora, &info);
    return FAILED(result) ? result : DispGetIDsOfNames(info.Get(), names, count, ids);
}

STDMETHODIMP Tessora::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    const HRESULT loaded = typeInfoOf(IID_ITessora, &info);
    if (FAILED(loaded))
        return loaded;
    const HRESULT invoked = DispInvoke(static_cast<ITessora*>(this), info.Get(), member, flags,
                                       params, result, exception, argumentError);
    // Script hosts end their process as soon as the script is done, often without releasing the
    // object: through automation an arrangement returns only once its icons have arrived.
    if (member == refreshId || member == iconActivatedId)
        desktop_access::waitForDetachedThreads(5000);
    return invoked;
}

STDMETHODIMP Tessora::GetClassInfo(ITypeInfo** typeInfo) {
    return typeInfoOf(CLSID_Tessora, typeInfo);
}

// --- ITessora: settings ---

STDMETHODIMP Tessora::GetSortMethod(::SortMethod* method) {
    if (method == nullptr)
        return E_POINTER;
    storeBits(method, settingOr(sortSetting, component::SortUsage));
    return S_OK;
}

STDMETHODIMP Tessora::SetSortMethod(::SortMethod method) {
    return storeSetting(sortSetting, static_cast<std::uint32_t>(bitsOf(method)));
}

STDMETHODIMP Tessora::GetArrangeMethod(::ArrangeMethod* method) {
    if (method == nullptr)
        return E_POINTER;
    storeBits(method, settingOr(arrangeSetting, component::ArrangeAuto));
    return S_OK;
}

STDMETHODIMP Tessora::SetArrangeMethod(::ArrangeMethod method) {
    return storeSetting(arrangeSetting, static_cast<std::uint32_t>(bitsOf(method)));
}

STDMETHODIMP Tessora::IsLocked(LONG* locked) {
    if (locked == nullptr)
        return E_POINTER;
    *locked = static_cast<LONG>(settingOr(lockedSetting, 0));
    return S_OK;
}

STDMETHODIMP Tessora::ToggleLock() {
    LONG locked = 0;
    const HRESULT result = IsLocked(&locked);
    if (FAILED(result))
        return result;
    return storeSetting(lockedSetting, locked == 0 ? 1 : 0);
}

// --- ITessora: arranging ---

STDMETHODIMP Tessora::Refresh() {
    try {
        ::ArrangeMethod arrangeMethod;
        ::SortMethod sortMethod;
        if (FAILED(GetArrangeMethod(&arrangeMethod)) || FAILED(GetSortMethod(&sortMethod)))
            return E_FAIL;
        desktop_access::Desktop& desktop = desktop_access::getDesktop();
        const bool arranged =
            arrange(storePath, desktop, bitsOf(sortMethod), bitsOf(arrangeMethod), [this] {
                LONG locked = 0;
                IsLocked(&locked);
                return locked != 0;
            });
        return arranged ? S_OK : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP Tessora::IconActivated(int index) {
    try {
        countActivation(storePath, desktop_access::getDesktop(), index);
    } catch (...) {
        return E_FAIL;
    }
    return Refresh();
}

} // namespace component
