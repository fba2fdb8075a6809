// The module file of the Tessora library: its class table, its class factory, its registration
// (for all users or for the current user) and the exports. There is one class; the library never
// agrees to be unloaded, so the desktop record, the configuration record and any icon-moving thread
// outlive every object.
#include "component/module_win32.h"

#include <cwchar>

#include <olectl.h>

#include "component/com_boundary_win32.h"
#include "component/tessora_win32.h"
#include "winapi/handle_win32.h"
#include "winapi/module_win32.h"

// Not declared by MinGW's headers; oleaut32 exports them (Windows Vista and later).
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path,
                                                 OLECHAR* helpFolder);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD major, WORD minor,
                                                   LCID locale, SYSKIND system);

namespace component {
namespace {

// Where a registration goes: below HKEY_CLASSES_ROOT for every user of the machine (which takes
// an administrator on Windows), or below HKEY_CURRENT_USER\Software\Classes for the current user
// only, which the system merges into HKEY_CLASSES_ROOT for that user.
struct Scope {
    HKEY root;
    const wchar_t* prefix;
    bool perUser;
};
const Scope allUsers{HKEY_CLASSES_ROOT, L"", false};
const Scope currentUser{HKEY_CURRENT_USER, L"Software\\Classes\\", true};

#define TESSORA_CLASS_KEY L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}"
constexpr wchar_t classKey[] = TESSORA_CLASS_KEY;
constexpr wchar_t progId[] = L"Tessora.Tessora.1";
constexpr wchar_t versionIndependentProgId[] = L"Tessora.Tessora";
constexpr wchar_t classId[] = L"{110412F3-5894-4C12-9E7B-D688903AC288}";
constexpr wchar_t libraryId[] = L"{F0023CC8-2112-47C6-91BE-FFB097DD269B}";
constexpr wchar_t description[] = L"Tessora Object";

struct RegistryEntry {
    const wchar_t* key;       // below the scope's root and prefix
    const wchar_t* valueName; // null: the key's default value
    const wchar_t* data;      // null: the library's path; "" with a null value name: an empty key
};

// What the registration writes, in order; every value is a string. The class key is removed
// with everything below it before it is written again, so stale entries never survive a second
// registration.
constexpr RegistryEntry registryEntries[] = {
    {progId, nullptr, description},
    {L"Tessora.Tessora.1\\CLSID", nullptr, classId},
    {versionIndependentProgId, nullptr, description},
    {L"Tessora.Tessora\\CLSID", nullptr, classId},
    {L"Tessora.Tessora\\CurVer", nullptr, progId},
    {classKey, nullptr, description},
    {TESSORA_CLASS_KEY L"\\ProgID", nullptr, progId},
    {TESSORA_CLASS_KEY L"\\VersionIndependentProgID", nullptr, versionIndependentProgId},
    {TESSORA_CLASS_KEY L"\\Programmable", nullptr, L""},
    {TESSORA_CLASS_KEY L"\\InprocServer32", nullptr, nullptr},
    {TESSORA_CLASS_KEY L"\\InprocServer32", L"ThreadingModel", L"apartment"},
    {TESSORA_CLASS_KEY L"\\TypeLib", nullptr, libraryId},
};
#undef TESSORA_CLASS_KEY

HRESULT fromStatus(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT writeEntry(const Scope& scope, const RegistryEntry& entry, const std::wstring& library) {
    const std::wstring path = std::wstring(scope.prefix) + entry.key;
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(scope.root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return fromStatus(status);
    const winapi::SharedKey owned = winapi::ownKey(key);
    if (entry.valueName == nullptr && entry.data != nullptr && *entry.data == L'\0')
        return S_OK; // a key without a value
    const std::wstring data = entry.data ? entry.data : library;
    status =
        RegSetValueExW(key, entry.valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    return fromStatus(status);
}

// Removes a key with everything below it; a key that is not there is already removed.
HRESULT removeTree(const Scope& scope, const wchar_t* key) {
    const std::wstring path = std::wstring(scope.prefix) + key;
    const LSTATUS status = RegDeleteTreeW(scope.root, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : fromStatus(status);
}

// Registration runs with the system's default locale, as the registry's type-library entries
// are keyed by locale; the caller's locale is put back afterwards.
class SystemLocale {
  public:
    SystemLocale() : saved_(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~SystemLocale() { SetThreadLocale(saved_); }

  private:
    LCID saved_;
};

// The library's file as the system reports it; the registry's entries take at most MAX_PATH - 1
// characters.
HRESULT libraryPath(std::wstring& path) {
    path = modulePath();
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    if (path.size() >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

HRESULT registerServer(const Scope& scope) {
    std::wstring library;
    HRESULT result = libraryPath(library);
    if (FAILED(result))
        return result;
    if (FAILED(result = removeTree(scope, classKey)))
        return result;
    for (const RegistryEntry& entry : registryEntries)
        if (FAILED(result = writeEntry(scope, entry, library)))
            return result;
    Microsoft::WRL::ComPtr<ITypeLib> typeLibrary;
    if (FAILED(result = LoadTypeLibEx(library.c_str(), REGKIND_NONE, &typeLibrary)))
        return result;
    return scope.perUser ? RegisterTypeLibForUser(typeLibrary.Get(), library.data(), nullptr)
                         : RegisterTypeLib(typeLibrary.Get(), library.data(), nullptr);
}

HRESULT unregisterTypeLibrary(const Scope& scope) {
    std::wstring library;
    HRESULT result = libraryPath(library);
    Microsoft::WRL::ComPtr<ITypeLib> typeLibrary;
    if (SUCCEEDED(result))
        result = LoadTypeLibEx(library.c_str(), REGKIND_NONE, &typeLibrary);
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(result))
        result = typeLibrary->GetLibAttr(&attributes);
    if (FAILED(result))
        return result;
    const TLIBATTR registered = *attributes;
    typeLibrary->ReleaseTLibAttr(attributes);
    // A type library that is not registered is unregistered already (the systems disagree on
    // how they report it otherwise).
    BSTR registeredPath = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(registered.guid, registered.wMajorVerNum,
                                     registered.wMinorVerNum, registered.lcid, &registeredPath)))
        return S_OK;
    SysFreeString(registeredPath);
    result =
        scope.perUser
            ? UnRegisterTypeLibForUser(registered.guid, registered.wMajorVerNum,
                                       registered.wMinorVerNum, registered.lcid, registered.syskind)
            : UnRegisterTypeLib(registered.guid, registered.wMajorVerNum, registered.wMinorVerNum,
                                registered.lcid, registered.syskind);
    return result == TYPE_E_REGISTRYACCESS ? S_OK : result;
}

HRESULT unregisterServer(const Scope& scope) {
    HRESULT result = S_OK;
    for (const wchar_t* key : {progId, versionIndependentProgId, classKey}) {
        const HRESULT removed = removeTree(scope, key);
        if (SUCCEEDED(result))
            result = removed;
    }
    const HRESULT typeResult = unregisterTypeLibrary(scope);
    return SUCCEEDED(result) ? typeResult : result;
}

class ClassFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override {
        if (object == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override {
        return Tessora::create(outer, riid, object);
    }
    // The library stays loaded anyway.
    STDMETHODIMP LockServer(BOOL) noexcept override { return S_OK; }

  private:
    LONG references_ = 1;
};

} // namespace

HMODULE thisModule() {
    return winapi::moduleContaining(reinterpret_cast<const void*>(&thisModule));
}

std::wstring modulePath() {
    return winapi::moduleFileName(thisModule());
}

} // namespace component

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_Tessora)
        return CLASS_E_CLASSNOTAVAILABLE;
    return component::guarded([&] {
        auto* factory = new component::ClassFactory();
        const HRESULT result = factory->QueryInterface(riid, object);
        factory->Release();
        return result;
    });
}

HRESULT WINAPI DllCanUnloadNow() noexcept {
    return S_FALSE;
}

HRESULT WINAPI DllRegisterServer() noexcept {
    return component::guarded([] {
        const component::SystemLocale locale;
        return component::registerServer(component::allUsers);
    });
}

HRESULT WINAPI DllUnregisterServer() noexcept {
    return component::guarded([] {
        const component::SystemLocale locale;
        return component::unregisterServer(component::allUsers);
    });
}

// regsvr32 /n /i:user registers for the current user only (no administrator needed), and
// regsvr32 /u /n /i:user undoes that; without a command line it is the same as
// DllRegisterServer and DllUnregisterServer.
HRESULT WINAPI DllInstall(BOOL install, PCWSTR commandLine) noexcept {
    const component::Scope* scope = nullptr;
    if (commandLine == nullptr || *commandLine == L'\0')
        scope = &component::allUsers;
    else if (_wcsicmp(commandLine, L"user") == 0)
        scope = &component::currentUser;
    else
        return E_INVALIDARG;
    return component::guarded([&] {
        const component::SystemLocale locale;
        return install ? component::registerServer(*scope) : component::unregisterServer(*scope);
    });
}

} // extern "C"
