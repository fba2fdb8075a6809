#include "winapi/ui_text_win32.h"

namespace winapi {

LANGID kelvaraLanguageFor(LANGID displayLanguage) {
    const WORD primary = PRIMARYLANGID(displayLanguage);
    if (primary == LANG_CHINESE) {
        const WORD sub = SUBLANGID(displayLanguage);
        return sub == SUBLANG_CHINESE_SIMPLIFIED || sub == SUBLANG_CHINESE_SINGAPORE
                   ? MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)
                   : kelvaraLanguages[0];
    }
    for (const LANGID language : kelvaraLanguages)
        if (PRIMARYLANGID(language) == primary)
            return language;
    return kelvaraLanguages[0];
}

LANGID userKelvaraLanguage() {
    return kelvaraLanguageFor(GetUserDefaultUILanguage());
}

// A string table block holds 16 strings, each its length in UTF-16 units and then its units.
bool findString(HMODULE module, UINT id, LANGID language, std::wstring& text) {
    const HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (found == nullptr)
        return false;
    const HGLOBAL loaded = LoadResource(module, found);
    const auto* units = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (units == nullptr)
        return false;
    const DWORD size = SizeofResource(module, found) / sizeof(WCHAR);
    DWORD at = 0;
    for (UINT index = 0; index < id % 16; ++index) {
        if (at >= size)
            return false;
        at += 1 + units[at];
    }
    if (at >= size || units[at] == 0 || at + 1 + units[at] > size)
        return false;
    text.assign(units + at + 1, units[at]);
    return true;
}

std::string_view findResource(HMODULE module, LPCWSTR type, UINT id, LANGID language) {
    const HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* data = static_cast<const char*>(loaded ? LockResource(loaded) : nullptr);
    return data ? std::string_view(data, SizeofResource(module, found)) : std::string_view();
}

bool findDocument(HMODULE module, UINT id, LANGID language, std::string& bytes) {
    const std::string_view found = findResource(module, RT_RCDATA, id, language);
    bytes.assign(found);
    return found.data() != nullptr;
}

const DLGTEMPLATE* UiText::dialog(UINT id) const {
    std::string_view found = findResource(module_, RT_DIALOG, id, language_);
    if (found.empty())
        found = findResource(module_, RT_DIALOG, id, kelvaraLanguages[0]);
    return reinterpret_cast<const DLGTEMPLATE*>(found.data());
}

std::wstring UiText::document(UINT id) const {
    std::string bytes;
    if (!findDocument(module_, id, language_, bytes))
        findDocument(module_, id, kelvaraLanguages[0], bytes);
    std::wstring text(
        std::size_t(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), int(text.size()));
    std::erase(text, L'\r');
    return text;
}

std::wstring UiText::operator()(UINT id) const {
    std::wstring text;
    if (!findString(module_, id, language_, text))
        findString(module_, id, kelvaraLanguages[0], text);
    return text;
}

std::wstring UiText::operator()(UINT id, const std::wstring& value) const {
    std::wstring text = (*this)(id);
    if (const std::size_t at = text.find(L"%1"); at != std::wstring::npos)
        text.replace(at, 2, value);
    return text;
}

} // namespace winapi
