// A registry key named by its root and path. It is opened only when a value is read or written,
// with the least access the operation needs: reading opens it for queries and never creates it,
// writing opens it with full access and creates it (and any missing parent) when needed. Copies
// share the handles already open.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <windows.h>

#include "winapi/handle_win32.h"

namespace winapi::registry {

class Key {
  public:
    Key(HKEY root, std::wstring path);

    // The value's first 4 bytes (a shorter value is padded with zeros), whatever its type.
    // Throws winapi::Error "Can't open key." or "Can't get key value." (missing value, value
    // longer than 4 bytes).
    std::uint32_t readDword(const std::wstring& name);
    // Sets the value as REG_DWORD. Throws winapi::Error "Can't open key." or "Can't set key
    // value.".
    void writeDword(const std::wstring& name, std::uint32_t value);
    // The value's data read as ANSI text, up to its first null byte; "" when the value is missing
    // or empty. Throws winapi::Error "Can't open key." or "Can't get key value.".
    std::string readString(const std::string& name);

    // The handles this key object (or a copy it was made from) has open; empty until needed.
    const SharedKey& writeHandle() const { return writeHandle_; }
    const SharedKey& readHandle() const { return readHandle_; }
    const std::wstring& path() const { return path_; }
    HKEY root() const { return root_; }

  private:
    // A key deleted behind an open handle answers ERROR_KEY_DELETED through that handle for good,
    // even once it has been made again: such handles are let go and the key is opened afresh,
    // once per operation, so a process that keeps its key object for its whole life still sees
    // the settings another process wrote after removing them.
    void dropDeletedHandles();
    HKEY handleForReading();
    HKEY handleForWriting();

    SharedKey writeHandle_;
    SharedKey readHandle_;
    std::wstring path_;
    HKEY root_;
};

} // namespace winapi::registry
