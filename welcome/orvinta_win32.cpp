// Orvinta.exe: the welcome program that the launcher starts on the very first start. It shows
// the welcome dialog once and ends when the dialog is closed; it reads no command line and
// stores nothing.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "welcome/orvinta_dialog_win32.h"

namespace {

class Orvinta {
  public:
    explicit Orvinta(HINSTANCE instance) : instance(instance) {}

    // Runs the whole program; false means there is nothing left to do after the dialog.
    bool InitInstance();

  private:
    HINSTANCE instance;
};

bool Orvinta::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    // The links open the help page through the shell, which may run shell extensions that
    // need an apartment on this thread.
    const HRESULT apartment =
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    OrvintaDialog dialog(instance);
    dialog.DoModal();

    if (SUCCEEDED(apartment))
        CoUninitialize();
    return false;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    Orvinta application(instance);
    application.InitInstance();
    return 0;
}
