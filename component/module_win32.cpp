// The module file of the Tessora library: its class table, its class factory, its registration
// and the four exports. There is one class; the library never agrees to be unloaded, so the
// desktop record, the configuration record and any icon-moving thread outlive every object.
#include "component/module_win32.h"

#include <array>
#include <vector>

#include <olectl.h>

#include "component/tessora_win32.h"

namespace component {
namespace {

// What the registration writes below HKEY_CLASSES_ROOT, in order; every value is a string.
// The class key is removed with everything below it before it is written again, so stale
// entries never survive a second registration.
constexpr wchar_t classKey[] = L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}";
constexpr wchar_t progId[] = L"Tessora.Tessora.1";
constexpr wchar_t versionIndependentProgId[] = L"Tessora.Tessora";

struct RegistryEntry {
    const wchar_t* key;
    const wchar_t* valueName; // null: the key's default value
    const wchar_t* data;      // null: the library's path; "" with a null value name: an empty key
};

constexpr wchar_t classId[] = L"{110412F3-5894-4C12-9E7B-D688903AC288}";
constexpr wchar_t libraryId[] = L"{F0023CC8-2112-47C6-91BE-FFB097DD269B}";
constexpr wchar_t description[] = L"Tessora Object";

const std::array<RegistryEntry, 11> registryEntries{{
    {L"Tessora.Tessora.1", nullptr, description},
    {L"Tessora.Tessora.1\\CLSID", nullptr, classId},
    {L"Tessora.Tessora", nullptr, description},
    {L"Tessora.Tessora\\CLSID", nullptr, classId},
    {L"Tessora.Tessora\\CurVer", nullptr, progId},
    {classKey, nullptr, description},
    {L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}\\ProgID", nullptr, progId},
    {L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}\\VersionIndependentProgID", nullptr, versionIndependentProgId},
    {L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}\\Programmable", nullptr, L""},
    {L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}\\InprocServer32", nullptr, nullptr},
    {L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}\\TypeLib", nullptr, libraryId},
}};
constexpr RegistryEntry threadingModel{L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}\\InprocServer32",
                                       L"ThreadingModel", L"apartment"};

HRESULT fromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

HRESULT writeEntry(const RegistryEntry& entry, const std::wstring& library) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return fromStatus(status);
    const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)> owned(key, &RegCloseKey);
    const std::wstring data = entry.data ? entry.data : library;
    if (entry.valueName == nullptr && entry.data != nullptr && *entry.data == L'\0')
        return S_OK; // a key without a value
    status = RegSetValueExW(key, entry.valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    return fromStatus(status);
}

// Removes a key with everything below it; a key that is not there is already removed.
HRESULT removeTree(const wchar_t* key) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
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

HRESULT libraryPath(std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(thisModule(), buffer, MAX_PATH);
    if (length == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    if (length >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, length);
    return S_OK;
}

HRESULT registerServer() {
    std::wstring library;
    HRESULT result = libraryPath(library);
    if (FAILED(result))
        return result;
    if (FAILED(result = removeTree(classKey)))
        return result;
    for (const RegistryEntry& entry : registryEntries)
        if (FAILED(result = writeEntry(entry, library)))
            return result;
    if (FAILED(result = writeEntry(threadingModel, library)))
        return result;
    Microsoft::WRL::ComPtr<ITypeLib> typeLibrary;
    if (FAILED(result = LoadTypeLibEx(library.c_str(), REGKIND_NONE, &typeLibrary)))
        return result;
    return RegisterTypeLib(typeLibrary.Get(), library.data(), nullptr);
}

HRESULT unregisterServer() {
    HRESULT result = S_OK;
    for (const wchar_t* key : {progId, versionIndependentProgId, classKey}) {
        const HRESULT removed = removeTree(key);
        if (SUCCEEDED(result))
            result = removed;
    }
    std::wstring library;
    Microsoft::WRL::ComPtr<ITypeLib> typeLibrary;
    TLIBATTR* attributes = nullptr;
    HRESULT typeResult = libraryPath(library);
    if (SUCCEEDED(typeResult))
        typeResult = LoadTypeLibEx(library.c_str(), REGKIND_NONE, &typeLibrary);
    if (SUCCEEDED(typeResult))
        typeResult = typeLibrary->GetLibAttr(&attributes);
    if (SUCCEEDED(typeResult)) {
        typeResult = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                       attributes->lcid, attributes->syskind);
        typeLibrary->ReleaseTLibAttr(attributes);
        // Unregistering what is not registered leaves the registry as asked.
        if (typeResult == TYPE_E_REGISTRYACCESS)
            typeResult = S_OK;
    }
    return SUCCEEDED(result) ? typeResult : result;
}

class ClassFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
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
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        return Tessora::create(outer, riid, object);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; } // the library stays loaded anyway

  private:
    LONG references_ = 1;
};

} // namespace

HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

std::wstring modulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(thisModule(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace component

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_Tessora)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) component::ClassFactory();
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT result = factory->QueryInterface(riid, object);
    factory->Release();
    return result;
}

HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

HRESULT WINAPI DllRegisterServer() {
    const component::SystemLocale locale;
    return component::registerServer();
}

HRESULT WINAPI DllUnregisterServer() {
    const component::SystemLocale locale;
    return component::unregisterServer();
}

} // extern "C"
