// Kelvara's texts in each language it speaks: which language a user's display language gets,
// every string in every language, the menu in each, each text of the layout-name dialog fitting
// its control in the dialog's font, and the user's own language reaching the menu and KelvaraCmd.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "launcher/layout_name_dialog_win32.h"
#include "launcher/tray_menu_win32.h"
#include "resources/strings/ids.h"
#include "tests/windows/component_support.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "tests/windows/utf8_win32.h"
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

using test_support::toUtf8;

// Which of "%1" and "%2" a text holds, as many times as it does.
std::multiset<wchar_t> marksOf(const std::wstring& text) {
    std::multiset<wchar_t> marks;
    for (std::size_t at = text.find(L'%'); at != std::wstring::npos; at = text.find(L'%', at + 1))
        if (at + 1 < text.size())
            marks.insert(text[at + 1]);
    return marks;
}

// In each module that shows texts: the menu's, the dialogs' and the phrase books' strings,
// each in every language with the same marks for what is put in.
TEST(LanguagesTest, EveryStringIsInEveryLanguageAndNothingElseIs) {
    for (const wchar_t* program : {L"Kelvara.exe", L"KelvaraCmd.exe", L"Tessora.dll"}) {
        SCOPED_TRACE(toUtf8(program));
        const test_support::ProgramResources resources(program);
        ASSERT_NE(resources.module, nullptr);
        std::vector<UINT> blocks;
        EnumResourceNamesW(resources.module, RT_STRING, addBlock, LONG_PTR(&blocks));
        ASSERT_FALSE(blocks.empty());
        const std::set<LANGID> expected(kelvaraLanguages.begin(), kelvaraLanguages.end());
        for (const UINT block : blocks) {
            std::set<LANGID> languages;
            EnumResourceLanguagesW(resources.module, RT_STRING, MAKEINTRESOURCEW(block),
                                   addLanguage, LONG_PTR(&languages));
            EXPECT_EQ(languages, expected) << "string block " << block;
        }
        const auto english = stringsIn(resources.module, blocks, kelvaraLanguages[0]);
        EXPECT_TRUE(english.count(IDS_PHRASE_SEPARATOR) && english.count(IDS_PHRASES_FIRST));
        if (program == std::wstring(L"Kelvara.exe")) {
            EXPECT_TRUE(english.count(IDS_QUIT) && english.count(IDS_NAME_PROPOSED));
        }
        for (const LANGID language : kelvaraLanguages) {
            const auto translated = stringsIn(resources.module, blocks, language);
            EXPECT_EQ(idsIn(resources.module, blocks, language),
                      idsIn(resources.module, blocks, kelvaraLanguages[0]))
                << nameOf(language);
            for (const auto& [id, text] : translated) {
                if (english.count(id)) {
                    EXPECT_EQ(marksOf(text), marksOf(english.at(id)))
                        << nameOf(language) << " string " << id << ": " << toUtf8(text);
                }
            }
        }
    }
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

// A dialog made in this process (Wine converts dialog units only for dialogs of the calling
// process) from a program's template, hidden: the template's style without WS_VISIBLE
// (DLGTEMPLATEEX: style at offset 12).
HWND hiddenDialog(std::string dialogTemplate) {
    if (dialogTemplate.size() < 16)
        return nullptr;
    DWORD style = 0;
    memcpy(&style, dialogTemplate.data() + 12, sizeof style);
    style &= ~DWORD(WS_VISIBLE);
    memcpy(dialogTemplate.data() + 12, &style, sizeof style);
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                      reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                      nullptr, quietDialog, 0);
}

// The size a line of text needs in a window's font, in pixels.
SIZE sizeOf(HWND window, const std::wstring& text, HFONT font) {
    return test_support::inFontOf(window, font, [&](HDC dc) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
        return size;
    });
}
int widthOf(HWND window, const std::wstring& text, HFONT font) {
    return sizeOf(window, text, font).cx;
}

// The caption beside the caption's buttons and icon (as many squares), in the system's caption
// font.
void expectCaptionFits(HWND dialog, int squares) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const HFONT captionFont = CreateFontIndirectW(&metrics.lfCaptionFont);
    const std::wstring caption = test_support::windowText(dialog);
    RECT window{};
    GetWindowRect(dialog, &window);
    EXPECT_LE(widthOf(dialog, caption, captionFont) + squares * GetSystemMetrics(SM_CXSIZE) +
                  2 * GetSystemMetrics(SM_CXFRAME),
              window.right - window.left)
        << "the caption " << toUtf8(caption);
    DeleteObject(captionFont);
}

TEST(LanguagesTest, EveryTextOfTheLayoutNameDialogFitsInEachLanguage) {
    const test_support::ProgramResources kelvara(L"Kelvara.exe");
    const std::string dialogTemplate = kelvara.resource(RT_DIALOG, launcher::layoutNameDialog);
    for (const LANGID language : kelvaraLanguages) {
        SCOPED_TRACE(nameOf(language));
        const winapi::UiText text(kelvara.module, language);
        const HWND dialog = hiddenDialog(dialogTemplate);
        ASSERT_NE(dialog, nullptr);
        SetWindowTextW(dialog, text(IDS_NAME_CAPTION).c_str());
        const HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        for (const auto& [control, id] : launcher::layoutNameTexts) {
            const HWND item = GetDlgItem(dialog, control);
            ASSERT_NE(item, nullptr);
            RECT area{};
            GetClientRect(item, &area);
            // A push button draws its text inside a frame and a focus rectangle.
            const int margin = control == launcher::layoutNamePrompt ? 0 : 8;
            const std::wstring shown = text(id);
            EXPECT_LE(widthOf(item, shown, font) + margin, area.right) << toUtf8(shown);
        }
        expectCaptionFits(dialog, 2);
        EXPECT_LE(widthOf(dialog, text(IDS_NAME_PROPOSED, L"64"), font) + 8, [&] {
            RECT box{};
            GetClientRect(GetDlgItem(dialog, launcher::layoutNameBox), &box);
            return box.right;
        }()) << "the proposed name";
        DestroyWindow(dialog);
    }
}

RECT placeOf(HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// Whether the font has a glyph for every character of the text. Where it has not (Japanese,
// Chinese and Korean in a font without them, which Windows draws with a linked font), what is
// measured is not what is drawn.
bool drawnInFont(HWND window, const std::wstring& text, HFONT font) {
    return test_support::inFontOf(window, font, [&](HDC dc) {
        std::vector<WORD> glyphs(text.size());
        GetGlyphIndicesW(dc, text.c_str(), int(text.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS);
        return std::find(glyphs.begin(), glyphs.end(), WORD(0xFFFF)) == glyphs.end();
    });
}

// What a link shows: its text without the markup.
std::wstring shownOfLink(std::wstring text) {
    for (std::size_t open; (open = text.find(L'<')) != std::wstring::npos;)
        text.erase(open, text.find(L'>', open) + 1 - open);
    return text;
}

// Each language lays the welcome dialog out for its own words. Its first text is one sentence
// with the two links: each line of the text fits within the control, the first link goes on
// from the end of the text's last line, the second link takes the line below it; every text
// fits its control, and every control lies inside the dialog, none on another but the frame.
TEST(LanguagesTest, EveryTextOfTheWelcomeDialogFitsInEachLanguage) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    const test_support::ProgramResources orvinta(L"Orvinta.exe");
    for (const LANGID language : kelvaraLanguages) {
        SCOPED_TRACE(nameOf(language));
        const HWND dialog = hiddenDialog(orvinta.resource(RT_DIALOG, 102, language));
        ASSERT_NE(dialog, nullptr) << "no welcome dialog of its own";
        const HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        RECT dialogUnits{0, 0, 4, 8};
        MapDialogRect(dialog, &dialogUnits);
        const auto units = [&](int pixels) {
            return (pixels * 4 + dialogUnits.right - 1) / dialogUnits.right;
        };
        RECT client{};
        GetClientRect(dialog, &client);
        std::vector<RECT> placed;
        RECT sentence{}; // where the first text's last line ends
        bool sentenceDrawn = true;
        int lineHeight = sizeOf(dialog, L"Ag", font).cy;
        for (HWND child = GetWindow(dialog, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const std::wstring text = test_support::windowText(child);
            const RECT place = placeOf(child);
            const int width = place.right - place.left, height = place.bottom - place.top;
            SCOPED_TRACE(toUtf8(text));
            EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.right <= client.right &&
                        place.bottom <= client.bottom)
                << "outside the dialog";
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (test_support::className(child) == L"Button" && (style & BS_TYPEMASK) == BS_GROUPBOX)
                continue;
            const bool isSentence =
                test_support::className(child) == L"Static" && sentence.right == 0;
            if (!isSentence) // the links lie on the sentence's text, which is transparent
                for (const RECT& other : placed) {
                    RECT both{};
                    EXPECT_FALSE(IntersectRect(&both, &other, &place)) << "on another control";
                }
            if (!isSentence)
                placed.push_back(place);
            if (isSentence) {
                std::vector<std::wstring> lines{L""};
                for (const wchar_t c : text)
                    if (c == L'\n')
                        lines.emplace_back();
                    else
                        lines.back().push_back(c);
                for (const std::wstring& line : lines)
                    EXPECT_LE(widthOf(child, line, font), width)
                        << toUtf8(line) << " needs " << units(widthOf(child, line, font))
                        << " units";
                EXPECT_LE(int(lines.size()) * lineHeight, height) << lines.size() << " lines";
                sentenceDrawn = drawnInFont(child, lines.back(), font);
                sentence = {place.left, place.top + (int(lines.size()) - 1) * lineHeight,
                            place.left + widthOf(child, lines.back(), font),
                            place.top + int(lines.size()) * lineHeight};
            } else if (test_support::className(child) ==
                       L"Static") { // wraps at its width, as the control does
                const RECT needs = test_support::inFontOf(child, font, [&](HDC dc) {
                    RECT needs{0, 0, width, 0};
                    DrawTextW(dc, text.c_str(), int(text.size()), &needs,
                              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
                    return needs;
                });
                EXPECT_LE(needs.right, width);
                EXPECT_LE(needs.bottom, height)
                    << "needs " << needs.bottom / lineHeight << " lines";
            } else if (test_support::className(child) == L"SysLink") {
                const int needs = widthOf(child, shownOfLink(text), font);
                EXPECT_LE(needs, width) << "needs " << units(needs) << " units";
                const int id = GetDlgCtrlID(child);
                if (id == 1006) { // goes on from the end of the sentence's line
                    EXPECT_GE(place.left, sentence.right);
                    if (sentenceDrawn) { // else the line is wider than measured here
                        EXPECT_LE(place.left, sentence.right + 2 * dialogUnits.right)
                            << "the sentence's line ends at " << units(sentence.right) << " units";
                    }
                    EXPECT_TRUE(place.top < sentence.bottom && place.bottom > sentence.top);
                } else { // the line below
                    EXPECT_GE(place.top, sentence.bottom - 2);
                    EXPECT_LE(place.top, sentence.bottom + lineHeight / 2);
                }
            } else {
                const int needs = widthOf(child, text, font) + 8; // a push button's frame
                EXPECT_LE(needs, width) << "needs " << units(needs) << " units";
                EXPECT_LE(lineHeight, height);
            }
        }
        EXPECT_EQ(placed.size(), 5u) << "the controls of the dialog besides the sentence";
        expectCaptionFits(dialog, 4); // the icon, minimize and close
        DestroyWindow(dialog);
    }
}

// Run once as the test program is (Wine's default display language, English) and once under each
// language Kelvara speaks: the test command sets the user's display language through the Unix
// locale Wine takes it from, and names it in KELVARA_TEST_LANGUAGE. KelvaraCmd, started from
// here, runs in the same language, and so does the welcome dialog.
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

    // The welcome dialog shows the texts of its language's own template.
    const HWND twin = hiddenDialog(
        test_support::ProgramResources(L"Orvinta.exe").resource(RT_DIALOG, 102, language));
    ASSERT_NE(twin, nullptr);
    const test_support::Process welcome = test_support::startProgram(L"Orvinta.exe");
    HWND dialog = nullptr;
    test_support::pollUntil([&] { return (dialog = test_support::shownWindowOf(welcome.id)); },
                            20000);
    ASSERT_NE(dialog, nullptr) << "no welcome dialog";
    EXPECT_EQ(test_support::windowText(dialog), test_support::windowText(twin));
    HWND child = GetWindow(dialog, GW_CHILD);
    for (HWND own = GetWindow(twin, GW_CHILD); own; own = GetWindow(own, GW_HWNDNEXT)) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(test_support::windowText(child), test_support::windowText(own));
        child = GetWindow(child, GW_HWNDNEXT);
    }
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_NE(welcome.wait(), DWORD(STILL_ACTIVE));
    DestroyWindow(twin);

    test_support::registerComponent();
    const test_support::SavedKey settings;

    // The component's description of a failure comes out in the language too, after what
    // KelvaraCmd was doing, with the language's own marks.
    std::wstring couldNotForget, separator, noSuchLayout;
    ASSERT_TRUE(winapi::findString(command.module, 475, language, couldNotForget) &&
                winapi::findString(command.module, IDS_PHRASE_SEPARATOR, language, separator) &&
                winapi::findString(command.module, 407, language, noSuchLayout));
    const test_support::Ran forgot = test_support::kelvaraCmd(L"forget \"no such layout\"");
    EXPECT_NE(forgot.code, 0u);
    EXPECT_EQ(forgot.error, toUtf8(couldNotForget + separator + noSuchLayout + L"\r\n"));

    test_support::removeSettings();
    const test_support::DesktopHost host(test_support::scatteredDesktop());
    // Other failures, whose English reasons must not come out in another language: what
    // KelvaraCmd was doing (by its phrase's id) and the English reason.
    const std::tuple<const wchar_t*, UINT, const char*> failures[] = {
        {L"import \"C:\\no such folder\\layout.txt\"", 477, "The file cannot be read"},
        {L"restore 9999", 471, "There is no restore point"},
        {L"export \"C:\\no such folder\\layout.txt\" \"no such layout\"", 476,
         "There is no layout"},
    };
    for (const auto& [arguments, what, english] : failures) {
        std::wstring doing;
        ASSERT_TRUE(winapi::findString(command.module, what, language, doing));
        const test_support::Ran failed = test_support::kelvaraCmd(arguments);
        EXPECT_EQ(failed.error.rfind(toUtf8(doing + separator), 0), 0u) << failed.error;
        EXPECT_EQ(failed.error.find(english) == std::string::npos, language != kelvaraLanguages[0])
            << failed.error;
    }
    EXPECT_EQ(test_support::kelvaraCmd(L"status").output,
              "sort: usage\r\narrange: auto\r\nlocked: no\r\nmonitors: all\r\nicons: 7\r\n")
        << "what scripts read is the same in every language";
}

} // namespace
