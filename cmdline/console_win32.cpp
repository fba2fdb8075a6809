#include "cmdline/console_win32.h"

#include <algorithm>

#include <windows.h>

#include "winapi/text_win32.h"

namespace cmdline {
namespace {

// WriteConsoleW takes a limited buffer on older systems: the text goes in pieces of this many
// code units, never splitting a surrogate pair.
constexpr std::size_t consolePiece = 8192;

bool writeConsole(HANDLE console, const std::wstring& text) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t length = std::min(consolePiece, text.size() - start);
        if (start + length < text.size() && IS_HIGH_SURROGATE(text[start + length - 1]))
            --length;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data() + start, static_cast<DWORD>(length), &written,
                           nullptr) ||
            written == 0)
            return false;
        start += written;
    }
    return true;
}

bool writeBytes(HANDLE file, const std::wstring& text) {
    if (text.empty())
        return true;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    for (std::size_t start = 0; start < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + start, static_cast<DWORD>(bytes.size() - start),
                       &written, nullptr) ||
            written == 0)
            return false;
        start += written;
    }
    return true;
}

} // namespace

bool write(Stream stream, const std::u16string& text) {
    const HANDLE handle =
        GetStdHandle(stream == Stream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    std::wstring lines;
    lines.reserve(text.size() + text.size() / 16);
    for (wchar_t unit : winapi::toWide(text)) {
        if (unit == L'\n')
            lines.push_back(L'\r');
        lines.push_back(unit);
    }
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) ? writeConsole(handle, lines) : writeBytes(handle, lines);
}

} // namespace cmdline
