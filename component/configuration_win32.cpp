#include "component/configuration_win32.h"

#include <windows.h>

#include <shlobj.h>

namespace component {

Configuration& configuration() {
    // Never freed: the key's read handle stays open for the life of the process.
    static Configuration* const record =
        new Configuration{L"Kelvara", {HKEY_CURRENT_USER, L"Software\\Kelvara"}};
    return *record;
}

} // namespace component

namespace component {

std::uint32_t readSetting(const wchar_t* name) {
    return configuration().settingsKey.readDword(name);
}

void writeSetting(const wchar_t* name, std::uint32_t value) {
    winapi::registry::Key key = configuration().settingsKey;
    key.writeDword(name, value);
}

std::filesystem::path defaultStorePath(const std::wstring& productId) {
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE))
        return {};
    return std::filesystem::path(std::wstring(folder) + L"\\" + productId + L".store");
}

} // namespace component
