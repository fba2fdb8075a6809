// The process-wide configuration record: the product's identifier and its settings key in the
// user's registry (HKEY_CURRENT_USER\Software\Kelvara). Created on first use, never freed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "winapi/registry_win32.h"
#include "winapi/session_names_win32.h"

namespace component {

struct Configuration {
    std::wstring productId;
    winapi::registry::Key settingsKey;
};

Configuration& configuration();

} // namespace component

namespace component {

// The settings under settingsKey: "Sort", "Arrange", "Locked" and "Monitors", each a REG_DWORD
// ("Monitors" missing counts as 0, all monitors as one).
inline constexpr wchar_t sortSetting[] = L"Sort";
inline constexpr wchar_t arrangeSetting[] = L"Arrange";
inline constexpr wchar_t lockedSetting[] = L"Locked";
inline constexpr wchar_t monitorsSetting[] = L"Monitors";

// Policies: a REG_DWORD of a setting's name under HKLM\Software\Policies\Kelvara (for every
// user of the machine) or, without one there, HKCU\Software\Policies\Kelvara fixes that
// setting: it is read in place of the user's own and cannot be changed. A policy value of another
// type fixes nothing.
inline constexpr wchar_t policiesKey[] = L"Software\\Policies\\Kelvara";
// The value a policy fixes the setting at, or nothing.
std::optional<std::uint32_t> policyOf(const wchar_t* name);

// Reads a setting afresh (no caching: another process may have changed it): the policy's value
// where one fixes it, else the user's. Throws winapi::Error when neither is there or the user's
// is unreadable.
std::uint32_t readSetting(const wchar_t* name);
// Writes a setting through a copy of settingsKey, which closes a write handle it opened itself.
void writeSetting(const wchar_t* name, std::uint32_t value);

} // namespace component

namespace component {

// The names by which other programs find a running Kelvara (winapi/session_names_win32.h).
using winapi::launcherWindowClass;
using winapi::singleInstanceMutex;

// The store's path for a product: <local application data>\<productId>.store, or empty when the
// folder is not available.
std::filesystem::path defaultStorePath(const std::wstring& productId);

} // namespace component
