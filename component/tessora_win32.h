// The Tessora component object: the one class of the library, with the dual interface ITessora.
// It keeps no state but the path of the icon store; the settings are read from the registry on
// every call, and every Refresh and IconActivated works on a fresh snapshot of the desktop.
#pragma once

#include <filesystem>

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include "tessora.h"

namespace component {

class Tessora final : public ITessora, public IProvideClassInfo, public ISupportErrorInfo {
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

    // IProvideClassInfo (winuser.h renames the method GetClassInfoW, here and in the interface
    // alike)
    STDMETHODIMP GetClassInfo(ITypeInfo** typeInfo) noexcept override;

    // ISupportErrorInfo: every failing method of ITessora says what failed.
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

    Inner inner_;
    IUnknown* const outer_;
    ULONG references_ = 1; // one apartment: a plain counter
    Microsoft::WRL::ComPtr<ITypeInfo> interfaceInfo_;
};

} // namespace component
