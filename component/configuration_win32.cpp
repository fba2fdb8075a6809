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

std::optional<std::uint32_t> policyOf(const wchar_t* name) {
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        DWORD value = 0;
        DWORD size = sizeof value;
        if (RegGetValueW(root, policiesKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
            ERROR_SUCCESS)
            return value;
    }
    return std::nullopt;
}

std::uint32_t readSetting(const wchar_t* name) {
    if (const std::optional<std::uint32_t> fixed = policyOf(name))
        return *fixed;
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
