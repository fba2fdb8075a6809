// Registration of Tessora.dll with regsvr32, creation through COM, and what the object offers
// besides ITessora: its type library, its class information and aggregation.
#include <algorithm>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include <ocidl.h>

#include "tests/windows/component_support.h"
#include "tests/windows/test_support.h"

namespace {

using Microsoft::WRL::ComPtr;
using test_support::componentPath;
using test_support::runCommand;

constexpr wchar_t classKey[] = L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}";
constexpr wchar_t typeLibraryKey[] = L"TypeLib\\{F0023CC8-2112-47C6-91BE-FFB097DD269B}";
constexpr wchar_t interfaceKey[] = L"Interface\\{51B5A026-6F9A-4268-A892-8EFE27EAEFF2}";

bool keyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A string value below HKEY_CLASSES_ROOT; "<missing>" when there is none.
std::wstring stringOf(const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_ANY, &type, data, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return type == REG_SZ ? std::wstring(data) : L"<not REG_SZ>";
}

DWORD regsvr32(const std::wstring& switches) {
    return runCommand(L"regsvr32.exe " + switches + L" \"" + componentPath() + L"\"");
}

class RegistrationTest : public ::testing::Test {
  protected:
    // Every other test expects the component registered: it is, whatever this one did.
    void TearDown() override { test_support::registerComponent(); }
    test_support::Apartment apartment;
};

TEST_F(RegistrationTest, RegisteringWritesTheClassTheProgIdsAndTheTypeLibrary) {
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    const std::wstring clsid = L"{110412F3-5894-4C12-9E7B-D688903AC288}";
    for (const wchar_t* progId : {L"Tessora.Tessora", L"Tessora.Tessora.1"}) {
        EXPECT_EQ(stringOf(progId), L"Tessora Object");
        EXPECT_EQ(stringOf(std::wstring(progId) + L"\\CLSID"), clsid);
    }
    EXPECT_EQ(stringOf(L"Tessora.Tessora\\CurVer"), L"Tessora.Tessora.1");
    const std::wstring key = classKey;
    EXPECT_EQ(stringOf(key), L"Tessora Object");
    EXPECT_EQ(stringOf(key + L"\\ProgID"), L"Tessora.Tessora.1");
    EXPECT_EQ(stringOf(key + L"\\VersionIndependentProgID"), L"Tessora.Tessora");
    EXPECT_EQ(stringOf(key + L"\\InprocServer32"), componentPath());
    EXPECT_EQ(stringOf(key + L"\\InprocServer32", L"ThreadingModel"), L"apartment");
    EXPECT_EQ(stringOf(key + L"\\TypeLib"), L"{F0023CC8-2112-47C6-91BE-FFB097DD269B}");
    EXPECT_TRUE(keyExists(key + L"\\Programmable"));

    // The type library and its interface, with the automation marshaller.
    EXPECT_EQ(stringOf(std::wstring(typeLibraryKey) + L"\\1.0\\409\\win64"), componentPath());
    EXPECT_EQ(stringOf(std::wstring(interfaceKey)), L"ITessora");
    EXPECT_EQ(stringOf(std::wstring(interfaceKey) + L"\\ProxyStubClsid32"),
              L"{00020424-0000-0000-C000-000000000046}");
}

TEST_F(RegistrationTest, RegisteringAgainLeavesOneSetAndNoStaleEntries) {
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    HKEY stale = nullptr;
    const std::wstring staleKey = std::wstring(classKey) + L"\\InprocServer32\\Stale";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, staleKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &stale, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(stale, L"Old", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    RegCloseKey(stale);
    const std::wstring localServer = std::wstring(classKey) + L"\\LocalServer32";
    RegCreateKeyExW(HKEY_CLASSES_ROOT, localServer.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &stale, nullptr);
    RegCloseKey(stale);

    ASSERT_EQ(regsvr32(L"/s"), 0u);
    EXPECT_EQ(test_support::subKeysOf(HKEY_CLASSES_ROOT, classKey),
              (std::set<std::wstring>{L"InprocServer32", L"ProgID", L"Programmable", L"TypeLib",
                                      L"VersionIndependentProgID"}));
    EXPECT_TRUE(
        test_support::subKeysOf(HKEY_CLASSES_ROOT, std::wstring(classKey) + L"\\InprocServer32")
            .empty());
    EXPECT_EQ(test_support::subKeysOf(HKEY_CLASSES_ROOT, L"Tessora.Tessora"),
              (std::set<std::wstring>{L"CLSID", L"CurVer"}));
    EXPECT_EQ(test_support::subKeysOf(HKEY_CLASSES_ROOT, L"Tessora.Tessora.1"),
              (std::set<std::wstring>{L"CLSID"}));
    EXPECT_EQ(test_support::subKeysOf(HKEY_CLASSES_ROOT, typeLibraryKey),
              (std::set<std::wstring>{L"1.0"}));
}

TEST_F(RegistrationTest, UnregisteringRemovesEverythingButTheClassesKey) {
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    ASSERT_EQ(regsvr32(L"/u /s"), 0u);
    EXPECT_TRUE(keyExists(L"CLSID"));
    for (const std::wstring gone :
         {classKey, L"Tessora.Tessora", L"Tessora.Tessora.1", typeLibraryKey, interfaceKey})
        EXPECT_FALSE(keyExists(gone)) << std::string(gone.begin(), gone.end());
    CLSID found{};
    EXPECT_TRUE(FAILED(CLSIDFromProgID(L"Tessora.Tessora", &found)));
    ComPtr<ITessora> tessora;
    EXPECT_EQ(
        CoCreateInstance(CLSID_Tessora, nullptr, CLSCTX_INPROC_SERVER, IID_ITessora, &tessora),
        REGDB_E_CLASSNOTREG);

    // Unregistering what is not registered is no failure.
    EXPECT_EQ(regsvr32(L"/u /s"), 0u);
    EXPECT_TRUE(keyExists(L"CLSID"));
}

TEST_F(RegistrationTest, PerUserRegistrationWritesTheSameEntriesBelowTheUsersClasses) {
    const std::wstring userClasses = L"Software\\Classes\\";
    for (const wchar_t* key : {classKey, L"Tessora.Tessora", L"Tessora.Tessora.1"})
        RegDeleteTreeW(HKEY_CURRENT_USER, (userClasses + key).c_str());
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    ASSERT_EQ(regsvr32(L"/s /n /i:user"), 0u);
    for (const wchar_t* key : {classKey, L"Tessora.Tessora", L"Tessora.Tessora.1"}) {
        const std::set<std::wstring> perUser =
            test_support::registryTree(HKEY_CURRENT_USER, userClasses + key);
        EXPECT_FALSE(perUser.empty());
        EXPECT_EQ(perUser, test_support::registryTree(HKEY_CLASSES_ROOT, key));
    }
    // The type library is registered too (under Wine, which has no per-user classes, for every
    // user: its per-user type-library registration writes where the other one does).
    BSTR path = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_TessoraModule, 1, 0, 0x409, &path), S_OK);
    EXPECT_EQ(std::wstring(path), componentPath());
    SysFreeString(path);

    ASSERT_EQ(regsvr32(L"/s /u /n /i:user"), 0u);
    for (const wchar_t* key : {classKey, L"Tessora.Tessora", L"Tessora.Tessora.1"}) {
        HKEY gone = nullptr;
        EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, (userClasses + key).c_str(), 0, KEY_READ, &gone),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(regsvr32(L"/s /u /n /i:user"), 0u) << "nothing left to remove is no failure";
    EXPECT_NE(regsvr32(L"/s /n /i:everyone"), 0u) << "an unknown scope";
}

TEST_F(RegistrationTest, CreatedByClassIdentifierAndByBothProgIds) {
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    for (const wchar_t* progId : {L"Tessora.Tessora", L"Tessora.Tessora.1"}) {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Tessora));
        ComPtr<ITessora> tessora;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITessora, &tessora),
                  S_OK);
        ::SortMethod method{};
        EXPECT_EQ(tessora->GetSortMethod(&method), S_OK);
    }
    ComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(CLSID_Tessora, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              S_OK);
    ComPtr<ITessora> tessora;
    ComPtr<IDispatch> dispatch;
    ComPtr<IProvideClassInfo> classInfo;
    EXPECT_EQ(object.As(&tessora), S_OK);
    EXPECT_EQ(object.As(&dispatch), S_OK);
    EXPECT_EQ(object.As(&classInfo), S_OK);
    ComPtr<IClassFactory> unrelated;
    EXPECT_EQ(object.As(&unrelated), E_NOINTERFACE);
    // One object: every interface leads back to the same identity.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(dispatch.As(&identity), S_OK);
    EXPECT_EQ(identity.Get(), object.Get());
}

TEST_F(RegistrationTest, TheLibraryNeverUnloadsAndServesOnlyItsClass) {
    const HMODULE library = LoadLibraryW(componentPath().c_str());
    ASSERT_NE(library, nullptr);
    using CanUnload = HRESULT(WINAPI*)();
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    // Through void*: the exports' own types differ from FARPROC's.
    const auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    ASSERT_TRUE(canUnload && getClassObject);
    EXPECT_EQ(canUnload(), S_FALSE) << "no object exists";

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_Tessora, IID_IClassFactory, &factory), S_OK);
    {
        ComPtr<ITessora> tessora;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITessora, &tessora), S_OK);
        EXPECT_EQ(canUnload(), S_FALSE);
    }
    EXPECT_EQ(canUnload(), S_FALSE) << "every object released";
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_ITessora, IID_IClassFactory, &other), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(other, nullptr);
}

TEST_F(RegistrationTest, DispatchIdentifiersAndParameterNamesComeFromTheTypeLibrary) {
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    const ComPtr<ITessora> tessora = test_support::createTessora();
    // ITessora's identifiers stay as they were; ITessora2's follow from 0x60030000.
    const wchar_t* const methods[] = {L"GetSortMethod",
                                      L"SetSortMethod",
                                      L"GetArrangeMethod",
                                      L"SetArrangeMethod",
                                      L"IsLocked",
                                      L"ToggleLock",
                                      L"IconActivated",
                                      L"Refresh",
                                      L"Arrange",
                                      L"Undo",
                                      L"Redo",
                                      L"UndoDescription",
                                      L"RedoDescription",
                                      L"History",
                                      L"RestorePoint",
                                      L"SaveLayout",
                                      L"RestoreLayout",
                                      L"ForgetLayout",
                                      L"Layouts",
                                      L"ExportLayout",
                                      L"ImportLayout",
                                      L"IconsShown"};
    for (DISPID expected = 0x60020000; const wchar_t* method : methods) {
        LPOLESTR name = const_cast<LPOLESTR>(method);
        DISPID id = 0;
        EXPECT_EQ(tessora->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, expected++) << std::string(method, method + wcslen(method));
        if (expected == 0x60020008)
            expected = 0x60030000;
    }
    // Names are matched as automation matches them, without regard to case.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"iconactivated"), const_cast<LPOLESTR>(L"index")};
    DISPID ids[2] = {};
    EXPECT_EQ(tessora->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[0], 0x60020006);
    EXPECT_EQ(ids[1], 0) << "the parameter's name";
    LPOLESTR unknown = const_cast<LPOLESTR>(L"Shuffle");
    DISPID none = 0;
    EXPECT_EQ(tessora->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &none),
              DISP_E_UNKNOWNNAME);

    // The interfaces as the type library describes them: ITessora2, dual, deriving from
    // ITessora, and the methods' slots in both.
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(tessora->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_ITessora2));
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attributes);
    ComPtr<ITypeInfo> vtableInfo; // the dual interface's own view, not the dispatch one
    HREFTYPE reference = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(-1, &reference), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(reference, &vtableInfo), S_OK);
    ComPtr<ITypeInfo> baseInfo;
    ASSERT_EQ(vtableInfo->GetRefTypeOfImplType(0, &reference), S_OK);
    ASSERT_EQ(vtableInfo->GetRefTypeInfo(reference, &baseInfo), S_OK);
    ASSERT_EQ(baseInfo->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_ITessora));
    baseInfo->ReleaseTypeAttr(attributes);
    for (const auto& [of, index, slot, memid] :
         {std::tuple{baseInfo.Get(), 6u, 13, 0x60020006},
          std::tuple{vtableInfo.Get(), 0u, 15, 0x60030000}}) {
        FUNCDESC* description = nullptr;
        ASSERT_EQ(of->GetFuncDesc(index, &description), S_OK);
        EXPECT_EQ(description->oVft, SHORT(slot * sizeof(void*))) << "slot " << slot;
        EXPECT_EQ(description->memid, memid);
        of->ReleaseFuncDesc(description);
    }
}

TEST_F(RegistrationTest, ClassInformationNamesTheCoclassAndItsDefaultInterface) {
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    ComPtr<IProvideClassInfo> provider;
    ASSERT_EQ(test_support::createTessora().As(&provider), S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(provider->GetClassInfo(&coclass), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, CLSID_Tessora));
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(attributes);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> defaultInterface;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, &defaultInterface), S_OK);
    ASSERT_EQ(defaultInterface->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_ITessora));
    defaultInterface->ReleaseTypeAttr(attributes);
}

// An outer object that aggregates Tessora: it answers IUnknown itself, hands ITessora over to
// the inner object, and counts its own references.
class Outer final : public IUnknown {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == IID_ITessora && inner)
            return inner->QueryInterface(riid, object);
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; } // lives on the stack

    ULONG references = 1;
    ComPtr<IUnknown> inner;
};

TEST_F(RegistrationTest, AggregatedTheObjectDelegatesItsIdentityToTheOuterObject) {
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    Outer outer;
    ComPtr<ITessora> refused;
    EXPECT_EQ(CoCreateInstance(CLSID_Tessora, &outer, CLSCTX_INPROC_SERVER, IID_ITessora, &refused),
              CLASS_E_NOAGGREGATION)
        << "aggregated, only the inner IUnknown may be asked for";
    ASSERT_EQ(
        CoCreateInstance(CLSID_Tessora, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &outer.inner),
        S_OK);
    EXPECT_EQ(outer.references, 1u) << "the inner object holds no reference to its outer";

    ITessora* tessora = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_ITessora, reinterpret_cast<void**>(&tessora)), S_OK);
    EXPECT_EQ(outer.references, 2u) << "the interface counts on the outer object";
    IUnknown* identity = nullptr;
    ASSERT_EQ(tessora->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    ComPtr<IProvideClassInfo> notOffered;
    EXPECT_EQ(tessora->QueryInterface(IID_PPV_ARGS(&notOffered)), E_NOINTERFACE)
        << "the outer object decides what the whole offers";
    LONG locked = -1;
    EXPECT_EQ(tessora->IsLocked(&locked), S_OK);
    tessora->Release();
    EXPECT_EQ(outer.references, 1u);

    // The inner IUnknown answers for the inner object itself.
    ComPtr<IProvideClassInfo> classInfo;
    EXPECT_EQ(outer.inner.As(&classInfo), S_OK);
    classInfo.Reset();
    outer.inner.Reset();
    EXPECT_EQ(outer.references, 1u);
}

TEST_F(RegistrationTest, TheVersionBlockNamesTheProduct) {
    const std::wstring path = componentPath();
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, L"Kelvara");
}

} // namespace
