#include <windows.h>

#include "launcher/launcher_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return launcher::run();
}
