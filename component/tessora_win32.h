// The Tessora component object: the one class of the library, with the dual interfaces ITessora
// and ITessora2 (which derives from it; IDispatch is served from ITessora2's type information,
// which holds ITessora's methods under their own dispatch identifiers).
// It keeps no state but the path of the icon store; the settings are read from the registry on
// every call, and every Refresh and IconActivated works on a fresh snapshot of the desktop.
#pragma once

#include <filesystem>

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include "component/renames_win32.h"
#include "desktop_access/history.h"
#include "tessora.h"

namespace component {

class Tessora final : public ITessora2,
                      public IProvideClassInfo,
                      public ISupportErrorInfo,
                      public ITessoraRenames {
  public:
    // Creates an object, aggregated when outer is set (riid must then be IID_IUnknown), and
    // returns the interface asked for.
    static HRESULT create(IUnknown* outer, REFIID riid, void** object) noexcept;

    // IUnknown, delegating to the outer object when aggregated.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;

    // IDispatch, served from the type library built into the library.
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception,
                        UINT* argumentError) noexcept override;

    // ITessora
    STDMETHODIMP GetSortMethod(::SortMethod* method) noexcept override;
    STDMETHODIMP SetSortMethod(::SortMethod method) noexcept override;
    STDMETHODIMP GetArrangeMethod(::ArrangeMethod* method) noexcept override;
    STDMETHODIMP SetArrangeMethod(::ArrangeMethod method) noexcept override;
    STDMETHODIMP IsLocked(LONG* locked) noexcept override;
    STDMETHODIMP ToggleLock() noexcept override;
    STDMETHODIMP IconActivated(int index) noexcept override;
    STDMETHODIMP Refresh() noexcept override;

    // ITessora2
    STDMETHODIMP Arrange(::ArrangeTrigger trigger) noexcept override;
    STDMETHODIMP Undo() noexcept override;
    STDMETHODIMP Redo() noexcept override;
    STDMETHODIMP get_UndoDescription(BSTR* text) noexcept override;
    STDMETHODIMP get_RedoDescription(BSTR* text) noexcept override;
    STDMETHODIMP get_History(BSTR* lines) noexcept override;
    // The trigger is optional: missing is a script's.
    STDMETHODIMP RestorePoint(LONG number, VARIANT trigger) noexcept override;
    STDMETHODIMP SaveLayout(BSTR name) noexcept override;
    STDMETHODIMP RestoreLayout(BSTR name, VARIANT trigger) noexcept override;
    STDMETHODIMP ForgetLayout(BSTR name) noexcept override;
    STDMETHODIMP get_Layouts(BSTR* names) noexcept override;
    // The name is optional: missing, empty or null is none.
    STDMETHODIMP ExportLayout(BSTR file, VARIANT name) noexcept override;
    STDMETHODIMP ImportLayout(BSTR file, VARIANT name, BSTR* imported) noexcept override;
    STDMETHODIMP get_IconsShown(VARIANT_BOOL* shown) noexcept override;
    STDMETHODIMP put_IconsShown(VARIANT_BOOL shown) noexcept override;
    STDMETHODIMP get_Monitors(LONG* monitors) noexcept override;
    STDMETHODIMP put_Monitors(LONG monitors) noexcept override;

    // ITessoraRenames
    STDMETHODIMP IconRenamed(const wchar_t* from, const wchar_t* to) noexcept override;

    // IProvideClassInfo (winuser.h renames the method GetClassInfoW, here and in the interface
    // alike)
    STDMETHODIMP GetClassInfo(ITypeInfo** typeInfo) noexcept override;

    // ISupportErrorInfo: every failing method of ITessora and ITessora2 says what failed.
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

    // The icon store's path: Kelvara.store in the user's local application data folder, or empty
    // when the folder is not available.
    const std::filesystem::path storePath;

  private:
    // The object's own IUnknown, which an outer object holds when it aggregates this one.
    struct Inner final : IUnknown {
        explicit Inner(Tessora& owner) : owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
        STDMETHODIMP_(ULONG) AddRef() noexcept override;
        STDMETHODIMP_(ULONG) Release() noexcept override;
        Tessora& owner;
    };

    explicit Tessora(IUnknown* outer);
    ~Tessora();
    HRESULT typeInfoOf(REFGUID guid, ITypeInfo** typeInfo) noexcept;
    HRESULT arrangeFor(desktop_access::Trigger trigger) noexcept;

    Inner inner_;
    IUnknown* const outer_;
    ULONG references_ = 1; // one apartment: a plain counter
    Microsoft::WRL::ComPtr<ITypeInfo> interfaceInfo_;
};

} // namespace component
