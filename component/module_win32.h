// The library module: where it was loaded from.
#pragma once

#include <string>

#include <windows.h>

namespace component {

HMODULE thisModule();
// The full path of the loaded library file.
std::wstring modulePath();

} // namespace component
