// The welcome dialog: a short text, two links to the online help and a Close button. It is
// shown modally and saves nothing; Close, Enter, Escape and the close box all end it.
#pragma once

#include <windows.h>

class OrvintaDialog {
  public:
    explicit OrvintaDialog(HINSTANCE instance);

    // Shows the dialog without a parent window and returns when it is closed, with IDOK or
    // IDCANCEL (or -1 when it could not be created).
    INT_PTR DoModal();

  private:
    static INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    bool OnPaint();
    HICON OnQueryDragIcon() const { return icon; }
    bool onNotify(const NMHDR& header);
    void openHelp() const;

    HINSTANCE instance;
    HWND window = nullptr;
    HICON icon;      // the application icon at the large size
    HICON smallIcon; // the same icon at the small size, so the caption shows a sharp image
};
