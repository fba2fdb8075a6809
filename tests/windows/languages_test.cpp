// Kelvara's texts in each language it speaks: which language a user's display language gets,
// every string in every language, the menu in each, each text of the layout-name dialog fitting
// its control in the dialog's font, and the user's own language reaching the menu and KelvaraCmd.
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "launcher/layout_name_dialog_win32.h"
#include "launcher/tray_menu_win32.h"
#include "resources/strings/ids.h"
#include "tests/windows/component_support.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "winapi/ui_text_win32.h"

namespace {

using winapi::kelvaraLanguages;

std::string nameOf(LANGID language) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0);
    return std::string(name, name + wcslen(name));
}

TEST(LanguagesTest, EachDisplayLanguageGetsItsOwnOrEnglish) {
    const std::vector<std::pair<const wchar_t*, const wchar_t*>> cases = {
        {L"en-GB", L"en-US"}, {L"de-AT", L"de-DE"}, {L"de-CH", L"de-DE"}, {L"fr-CA", L"fr-FR"},
        {L"es-MX", L"es-ES"}, {L"pt-BR", L"pt-BR"}, {L"pt-PT", L"pt-BR"}, {L"it-CH", L"it-IT"},
        {L"pl-PL", L"pl-PL"}, {L"ja-JP", L"ja-JP"}, {L"ko-KR", L"ko-KR"}, {L"zh-CN", L"zh-CN"},
        {L"zh-SG", L"zh-CN"}, {L"zh-TW", L"en-US"}, {L"zh-HK", L"en-US"}, {L"ru-RU", L"en-US"},
        {L"nl-NL", L"en-US"}, {L"ar-SA", L"en-US"}};
    for (const auto& [display, spoken] : cases) {
        const LANGID language = LANGIDFROMLCID(LocaleNameToLCID(display, 0));
        EXPECT_EQ(nameOf(winapi::kelvaraLanguageFor(language)),
                  std::string(spoken, spoken + wcslen(spoken)))
            << "display language " << nameOf(language);
    }
}

BOOL CALLBACK addBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR blocks) {
    reinterpret_cast<std::vector<UINT>*>(blocks)->push_back(UINT(ULONG_PTR(name)));
    return TRUE;
}
BOOL CALLBACK addLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::set<LANGID>*>(languages)->insert(language);
    return TRUE;
}

// The strings, by id, in exactly this language.
std::map<UINT, std::wstring> stringsIn(HMODULE module, const std::vector<UINT>& blocks,
                                       LANGID language) {
    std::map<UINT, std::wstring> strings;
    for (const UINT block : blocks)
        for (UINT id = (block - 1) * 16; id < block * 16; ++id)
            if (std::wstring text; winapi::findString(module, id, language, text))
                strings.emplace(id, std::move(text));
    return strings;
}
std::set<UINT> idsIn(HMODULE module, const std::vector<UINT>& blocks, LANGID language) {
    std::set<UINT> ids;
    for (const auto& [id, text] : stringsIn(module, blocks, language))
        ids.insert(id);
    return ids;
}

TEST(LanguagesTest, EveryStringIsInEveryLanguageAndNothingElseIs) {
    const test_support::ProgramResources kelvara(L"Kelvara.exe");
    ASSERT_NE(kelvara.module, nullptr);
    std::vector<UINT> blocks;
    EnumResourceNamesW(kelvara.module, RT_STRING, addBlock, LONG_PTR(&blocks));
    ASSERT_FALSE(blocks.empty());
    const std::set<LANGID> expected(kelvaraLanguages.begin(), kelvaraLanguages.end());
    for (const UINT block : blocks) {
        std::set<LANGID> languages;
        EnumResourceLanguagesW(kelvara.module, RT_STRING, MAKEINTRESOURCEW(block), addLanguage,
                               LONG_PTR(&languages));
        EXPECT_EQ(languages, expected) << "string block " << block;
    }
    const std::set<UINT> english = idsIn(kelvara.module, blocks, kelvaraLanguages[0]);
    EXPECT_TRUE(english.count(IDS_QUIT) && english.count(IDS_NAME_PROPOSED));
    for (const LANGID language : kelvaraLanguages)
        EXPECT_EQ(idsIn(kelvara.module, blocks, language), english) << nameOf(language);
}

void collectTexts(HMENU menu, std::vector<std::wstring>& texts) {
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        wchar_t text[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = 256;
        ASSERT_TRUE(GetMenuItemInfoW(menu, UINT(position), TRUE, &info));
        if (!(info.fType & MFT_SEPARATOR))
            texts.push_back(text);
        if (info.hSubMenu != nullptr)
            collectTexts(info.hSubMenu, texts);
    }
}

// Every item of the menu (with nothing of the user's in it) is one of the language's own
// strings: none falls back to English.
TEST(LanguagesTest, TheMenuIsInEachLanguage) {
    const test_support::ProgramResources kelvara(L"Kelvara.exe");
    std::vector<UINT> blocks;
    EnumResourceNamesW(kelvara.module, RT_STRING, addBlock, LONG_PTR(&blocks));
    for (const LANGID language : kelvaraLanguages) {
        SCOPED_TRACE(nameOf(language));
        std::set<std::wstring> own;
        for (const auto& [id, text] : stringsIn(kelvara.module, blocks, language))
            own.insert(text);
        const auto menu = launcher::makeTrayMenu({}, winapi::UiText(kelvara.module, language));
        std::vector<std::wstring> texts;
        collectTexts(menu.get(), texts);
        EXPECT_EQ(texts.size(), 22u); // ten items and twelve in the submenus
        for (const std::wstring& text : texts)
            EXPECT_TRUE(own.count(text)) << std::string(text.begin(), text.end());
    }
}

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The width a text needs in a window's font, in pixels.
int widthOf(HWND window, const std::wstring& text, HFONT font) {
    const HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size.cx;
}

// Made in this process from the launcher's own template (Wine converts dialog units only for
// dialogs of the calling process), hidden, with each language's texts put in as the launcher
// puts them.
TEST(LanguagesTest, EveryTextOfTheLayoutNameDialogFitsInEachLanguage) {
    const test_support::ProgramResources kelvara(L"Kelvara.exe");
    std::string dialogTemplate = kelvara.resource(RT_DIALOG, launcher::layoutNameDialog);
    ASSERT_GT(dialogTemplate.size(), 16u);
    // Hidden: the template's style without WS_VISIBLE (DLGTEMPLATEEX: style at offset 12).
    DWORD style = 0;
    memcpy(&style, dialogTemplate.data() + 12, sizeof style);
    style &= ~DWORD(WS_VISIBLE);
    memcpy(dialogTemplate.data() + 12, &style, sizeof style);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const HFONT captionFont = CreateFontIndirectW(&metrics.lfCaptionFont);
    for (const LANGID language : kelvaraLanguages) {
        SCOPED_TRACE(nameOf(language));
        const winapi::UiText text(kelvara.module, language);
        const HWND dialog = CreateDialogIndirectParamW(
            GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
            nullptr, quietDialog, 0);
        ASSERT_NE(dialog, nullptr);
        const HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        for (const auto& [control, id] : launcher::layoutNameTexts) {
            const HWND item = GetDlgItem(dialog, control);
            ASSERT_NE(item, nullptr);
            RECT area{};
            GetClientRect(item, &area);
            // A push button draws its text inside a frame and a focus rectangle.
            const int margin = control == launcher::layoutNamePrompt ? 0 : 8;
            const std::wstring shown = text(id);
            EXPECT_LE(widthOf(item, shown, font) + margin, area.right)
                << std::string(shown.begin(), shown.end()); // ASCII enough to tell which
        }
        RECT window{};
        GetWindowRect(dialog, &window);
        EXPECT_LE(widthOf(dialog, text(IDS_NAME_CAPTION), captionFont) +
                      2 * GetSystemMetrics(SM_CXSIZE) + 2 * GetSystemMetrics(SM_CXFRAME),
                  window.right - window.left)
            << "the caption beside the close button";
        EXPECT_LE(widthOf(dialog, text(IDS_NAME_PROPOSED, L"64"), font) + 8, [&] {
            RECT box{};
            GetClientRect(GetDlgItem(dialog, launcher::layoutNameBox), &box);
            return box.right;
        }()) << "the proposed name";
        DestroyWindow(dialog);
    }
    DeleteObject(captionFont);
}

// Run once as the test program is (Wine's default display language, English) and once under each
// language Kelvara speaks: the test command sets the user's display language through the Unix
// locale Wine takes it from, and names it in KELVARA_TEST_LANGUAGE. KelvaraCmd, started from
// here, runs in the same language.
TEST(UserLanguageTest, TheMenuAndTheHelpSpeakItAndTheStatusStaysEnglish) {
    const char* named = std::getenv("KELVARA_TEST_LANGUAGE");
    const LANGID language = winapi::userKelvaraLanguage();
    ASSERT_EQ(nameOf(language), named != nullptr ? named : "en-US");

    const test_support::ProgramResources kelvara(L"Kelvara.exe");
    const auto menu = launcher::makeTrayMenu({}, winapi::UiText(kelvara.module));
    std::vector<std::wstring> texts;
    collectTexts(menu.get(), texts);
    std::wstring arrangeNow;
    ASSERT_TRUE(winapi::findString(kelvara.module, IDS_ARRANGE_NOW, language, arrangeNow));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), arrangeNow);

    const test_support::ProgramResources command(L"KelvaraCmd.exe");
    std::string help;
    ASSERT_TRUE(winapi::findDocument(command.module, IDR_CMD_HELP, language, help));
    std::string printed; // as the console writer prints it to a pipe
    for (const char byte : help)
        printed += byte == '\n' ? std::string("\r\n") : std::string(1, byte);
    const test_support::Ran ran = test_support::kelvaraCmd(L"help");
    EXPECT_EQ(ran.code, 0u);
    EXPECT_EQ(ran.output, printed);

    test_support::registerComponent();
    const test_support::SavedKey settings;
    test_support::removeSettings();
    const test_support::DesktopHost host(test_support::scatteredDesktop());
    EXPECT_EQ(test_support::kelvaraCmd(L"status").output,
              "sort: usage\r\narrange: auto\r\nlocked: no\r\nmonitors: all\r\nicons: 7\r\n")
        << "what scripts read is the same in every language";
}

} // namespace
