#include "winapi/registry_win32.h"

#include <cstring>
#include <vector>

#include "winapi/error.h"

namespace winapi::registry {
Key::Key(HKEY rootKey, std::wstring keyPath) : path_(std::move(keyPath)), root_(rootKey) {}

HKEY Key::handleForReading() {
    if (readHandle_)
        return readHandle_.get();
    if (writeHandle_)
        return writeHandle_.get();
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExW(root_, path_.c_str(), 0, KEY_QUERY_VALUE, &opened);
    if (status != ERROR_SUCCESS)
        throw Error(static_cast<std::uint32_t>(status), "Can't open key.");
    readHandle_ = ownKey(opened);
    return opened;
}

HKEY Key::handleForWriting() {
    if (writeHandle_)
        return writeHandle_.get();
    HKEY created = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS)
        throw Error(static_cast<std::uint32_t>(status), "Can't open key.");
    writeHandle_ = ownKey(created);
    return created;
}

void Key::dropDeletedHandles() {
    readHandle_.reset();
    writeHandle_.reset();
}

std::uint32_t Key::readDword(const std::wstring& name) {
    BYTE data[4] = {};
    DWORD size = sizeof data;
    LSTATUS status =
        RegQueryValueExW(handleForReading(), name.c_str(), nullptr, nullptr, data, &size);
    if (status == ERROR_KEY_DELETED) {
        dropDeletedHandles();
        size = sizeof data;
        status = RegQueryValueExW(handleForReading(), name.c_str(), nullptr, nullptr, data, &size);
    }
    if (status != ERROR_SUCCESS)
        throw Error(static_cast<std::uint32_t>(status), "Can't get key value.");
    std::uint32_t value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

void Key::writeDword(const std::wstring& name, std::uint32_t value) {
    const DWORD data = value;
    const auto set = [&] {
        return RegSetValueExW(handleForWriting(), name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&data), sizeof data);
    };
    LSTATUS status = set();
    if (status == ERROR_KEY_DELETED) {
        dropDeletedHandles();
        status = set();
    }
    if (status != ERROR_SUCCESS)
        throw Error(static_cast<std::uint32_t>(status), "Can't set key value.");
}

std::string Key::readString(const std::string& name) {
    DWORD size = 0;
    // Only the size matters here: a missing value leaves it at 0 and reads as "".
    if (RegQueryValueExA(handleForReading(), name.c_str(), nullptr, nullptr, nullptr, &size) ==
        ERROR_KEY_DELETED) {
        dropDeletedHandles();
        size = 0;
        RegQueryValueExA(handleForReading(), name.c_str(), nullptr, nullptr, nullptr, &size);
    }
    const HKEY key = handleForReading();
    if (size == 0)
        return {};
    std::vector<char> data(size);
    const LSTATUS status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(data.data()), &size);
    if (status != ERROR_SUCCESS)
        throw Error(static_cast<std::uint32_t>(status), "Can't get key value.");
    // The stored data need not end in a null; never read past what came back.
    return std::string(data.data(), strnlen(data.data(), size));
}

} // namespace winapi::registry
