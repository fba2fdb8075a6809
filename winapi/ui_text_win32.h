// The texts a person reads, in the user's language: the string tables of a module's resources
// (resources/strings/*.rc), one per language Kelvara speaks, with English for any other. What
// scripts and other programs read (command words, status lines, file formats, registry values)
// is never taken from here.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include <windows.h>

namespace winapi {

// The languages Kelvara speaks, English first: German, French, Spanish, Brazilian Portuguese,
// Italian, Polish, Japanese, Simplified Chinese, Korean.
inline constexpr std::array<LANGID, 10> kelvaraLanguages = {
    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
    MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN),
    MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH),
    MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN),
    MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN),
    MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN),
    MAKELANGID(LANG_POLISH, SUBLANG_POLISH_POLAND),
    MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN),
    MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
    MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN),
};

// Which of them speaks to a user of this display language: the one of the same language (any
// Spanish, German, French... the one Kelvara has; Portuguese of Portugal reads the Brazilian
// texts), Chinese only for the simplified script (China, Singapore), else English.
LANGID kelvaraLanguageFor(LANGID displayLanguage);
// For the user's display language for Windows.
LANGID userKelvaraLanguage();

// The string tables of one module, in one language.
class UiText {
  public:
    // The module's own tables (a program's, or a library's by its handle).
    explicit UiText(HMODULE module, LANGID language = userKelvaraLanguage())
        : module_(module), language_(language) {}

    LANGID language() const { return language_; }
    // The text of the id in the language, else in English, else empty.
    std::wstring operator()(UINT id) const;
    // The same with "%1" in it replaced by the value.
    std::wstring operator()(UINT id, const std::wstring& value) const;
    // A longer text of its own, UTF-8 in an RCDATA resource of the id, in the language, else in
    // English, else empty; carriage returns dropped.
    std::wstring document(UINT id) const;
    // The dialog template of the id in the language (each language lays its dialogs out for
    // its own words), else the English one, else null.
    const DLGTEMPLATE* dialog(UINT id) const;

  private:
    HMODULE module_;
    LANGID language_;
};

// The string of the id in exactly this language, and whether the module has one.
bool findString(HMODULE module, UINT id, LANGID language, std::wstring& text);
// The bytes of the RCDATA resource of the id in exactly this language, and whether there is one.
bool findDocument(HMODULE module, UINT id, LANGID language, std::string& bytes);
// A resource of the type and id in exactly this language; empty when the module has none.
std::string_view findResource(HMODULE module, LPCWSTR type, UINT id, LANGID language);

} // namespace winapi
