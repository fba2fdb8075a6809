// Orvinta.exe as a user meets it: the welcome dialog's controls, the ways to close it, the two
// help links, and the resources built into the program (and the icon and manifest the other
// programs share with it).
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <commctrl.h>

#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "tests/windows/utf8_win32.h"

namespace {

constexpr const wchar_t* dialogTitle = L"Welcome to Kelvara";
const std::wstring helpUrl = L"" KELVARA_HELP_URL_BASE L"/orvinta-help/";
constexpr DWORD dialogStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                              DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
static_assert(dialogStyle == 0x90CA00C8);

// A running Orvinta.exe with its dialog on screen. A test that fails half-way leaves no program
// behind for the next one.
class WelcomeProgram {
  public:
    WelcomeProgram() : process(test_support::startProgram(L"Orvinta.exe")) {
        for (int i = 0; i < 400 && !dialog; ++i) {
            dialog = test_support::shownWindowOf(process.id, dialogTitle);
            if (!dialog)
                Sleep(50);
        }
        thread = GetWindowThreadProcessId(dialog, nullptr);
    }
    ~WelcomeProgram() {
        if (process.wait(0) == STILL_ACTIVE) {
            TerminateProcess(winapi::raw(process.handle), 1);
            process.wait(10000);
        }
    }
    WelcomeProgram(const WelcomeProgram&) = delete;
    WelcomeProgram& operator=(const WelcomeProgram&) = delete;

    HWND control(int id) const { return GetDlgItem(dialog, id); }

    HWND focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(thread, &info);
        return info.hwndFocus;
    }

    // A key press goes to whichever control has the focus, as the keyboard would send it.
    void press(WPARAM key) const {
        HWND target = focus() ? focus() : dialog;
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    }

    // A left click at a point of a control's client area.
    static void click(HWND control, int x, int y) {
        PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    // Keys are handled in the program's own time: waits (at most 5 s) for the focus to arrive.
    bool waitForFocus(HWND control) const {
        for (int i = 0; i < 100 && focus() != control; ++i)
            Sleep(50);
        return focus() == control;
    }

    bool ended(DWORD timeoutMs = 10000) const { return process.wait(timeoutMs) != STILL_ACTIVE; }
    DWORD exitCode() const { return process.wait(0); }

    test_support::Process process;
    HWND dialog = nullptr;
    DWORD thread = 0;
};

// --- the dialog as created ---------------------------------------------------------------------

struct ExpectedControl {
    int id;
    const wchar_t* windowClass;
    std::wstring text;
    RECT box; // dialog units: x, y, width, height
    DWORD style;
    DWORD exStyle;
};

std::wstring link(const wchar_t* text) {
    return L"<a href=\"" + helpUrl + L"\">" + text + L"</a>";
}

std::vector<ExpectedControl> templateControls() {
    const DWORD shown = WS_CHILD | WS_VISIBLE;
    // clang-format off
    return {
        {IDOK, L"Button", L"Close", {182, 84, 50, 14}, shown | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
        {-1, L"Static",
         L"This seems to be the first start of Kelvara.\n\nTo get started with the software please "
         L"check out our short",
         {13, 17, 193, 26}, shown | WS_GROUP | SS_LEFT, WS_EX_TRANSPARENT},
        {-1, L"Static", L"Thank you for installing Kelvara.", {14, 60, 144, 8}, shown | WS_GROUP | SS_LEFT, 0},
        {1005, L"SysLink", link(L"getting started guide."), {12, 41, 139, 13}, shown | WS_TABSTOP, 0},
        {1006, L"SysLink", link(L"online"), {206, 32, 22, 13}, shown | WS_TABSTOP, 0},
        {-1, L"Button", L"", {7, 7, 225, 71}, shown | BS_GROUPBOX | BS_FLAT, 0},
        {-1, L"Static", L"To keep Kelvara's icon in view, drag it from the hidden icons onto the taskbar.",
         {9, 81, 168, 17}, shown | WS_GROUP | SS_LEFT, 0},
    };
    // clang-format on
}

using test_support::ProgramResources;

// Wine converts dialog units only for dialogs of the calling process, so they are converted on
// a twin of the welcome dialog made here from the program's own template: same font, same
// system, same units. The twin stays hidden, so it takes the activation from no one.
class DialogTwin {
  public:
    DialogTwin() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LINK_CLASS};
        InitCommonControlsEx(&controls);
        std::string dialogTemplate = resources.resource(RT_DIALOG, 102);
        if (dialogTemplate.size() < 16)
            return;
        DWORD style;
        std::memcpy(&style, dialogTemplate.data() + 12, sizeof style);
        style &= ~WS_VISIBLE;
        std::memcpy(dialogTemplate.data() + 12, &style, sizeof style);
        window = CreateDialogIndirectParamW(
            GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
            nullptr, defaultHandling, 0);
    }
    ~DialogTwin() {
        if (window)
            DestroyWindow(window);
    }
    DialogTwin(const DialogTwin&) = delete;
    DialogTwin& operator=(const DialogTwin&) = delete;

    static INT_PTR CALLBACK defaultHandling(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

    RECT pixels(RECT dialogUnits) const {
        MapDialogRect(window, &dialogUnits);
        return dialogUnits;
    }

    ProgramResources resources;
    HWND window = nullptr;
};

TEST(WelcomeDialog, ShowsItsTitleStyleAndControlsInTemplateOrder) {
    WelcomeProgram program;
    ASSERT_NE(program.dialog, nullptr) << "no window titled \"Welcome to Kelvara\"";
    EXPECT_TRUE(program.waitForFocus(program.control(IDOK))) << "Close starts with the focus";
    EXPECT_EQ(test_support::className(program.dialog), L"#32770");
    EXPECT_EQ(GetParent(program.dialog), nullptr);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(program.dialog, GWL_STYLE));
    EXPECT_EQ(style & dialogStyle, dialogStyle);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD), 0u);
    EXPECT_TRUE(GetWindowLongW(program.dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    DialogTwin twin;
    ASSERT_NE(twin.window, nullptr);
    RECT client;
    GetClientRect(program.dialog, &client);
    const RECT size = twin.pixels({0, 0, 239, 105});
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    HWND child = GetWindow(program.dialog, GW_CHILD);
    for (const ExpectedControl& expected : templateControls()) {
        ASSERT_NE(child, nullptr) << "missing the control with text "
                                  << testing::PrintToString(expected.text);
        SCOPED_TRACE(testing::PrintToString(expected.text));
        EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(child))), expected.id);
        EXPECT_EQ(test_support::className(child), expected.windowClass);
        EXPECT_EQ(test_support::windowText(child), expected.text);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        EXPECT_EQ(style & expected.style, expected.style);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE)) & WS_EX_TRANSPARENT,
                  expected.exStyle);

        // The dialog converts a control's position and size each on its own, as here.
        const RECT want = twin.pixels(expected.box);
        RECT have;
        GetWindowRect(child, &have);
        MapWindowPoints(nullptr, program.dialog, reinterpret_cast<POINT*>(&have), 2);
        EXPECT_EQ(have.left, want.left);
        EXPECT_EQ(have.top, want.top);
        EXPECT_EQ(have.right - have.left, want.right);
        EXPECT_EQ(have.bottom - have.top, want.bottom);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "a control too many";
}

// --- closing -----------------------------------------------------------------------------------

struct CloseCase {
    const char* name;
    void (*close)(const WelcomeProgram&);
};

void PrintTo(const CloseCase& closeCase, std::ostream* out) {
    *out << closeCase.name;
}

class WelcomeClose : public testing::TestWithParam<CloseCase> {};

TEST_P(WelcomeClose, EndsTheProgram) {
    WelcomeProgram program;
    ASSERT_NE(program.dialog, nullptr);
    GetParam().close(program);
    EXPECT_TRUE(program.ended());
    EXPECT_EQ(program.exitCode(), 0u);
    EXPECT_FALSE(IsWindow(program.dialog));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, WelcomeClose,
    testing::Values(
        CloseCase{"CloseButton",
                  [](const WelcomeProgram& p) { WelcomeProgram::click(p.control(IDOK), 10, 10); }},
        CloseCase{"Enter", [](const WelcomeProgram& p) { p.press(VK_RETURN); }},
        CloseCase{"Escape", [](const WelcomeProgram& p) { p.press(VK_ESCAPE); }},
        CloseCase{
            "CloseBox",
            [](const WelcomeProgram& p) { PostMessageW(p.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        CloseCase{"CloseMessage",
                  [](const WelcomeProgram& p) { PostMessageW(p.dialog, WM_CLOSE, 0, 0); }}),
    [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

// --- the help links ----------------------------------------------------------------------------

// Points Wine's browser setting at url_logger.exe for the life of the object, so every web
// address the shell opens is appended to a log file instead of reaching a real browser.
class BrowserLog {
  public:
    BrowserLog() : path(test_support::programFolder() + L"opened_urls.log") {
        DeleteFileW(path.c_str());
        wchar_t loader[MAX_PATH] = {};
        GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH);
        const std::wstring command = L"\"" + std::wstring(loader) + L"\" \"" +
                                     test_support::programFolder() + L"url_logger.exe\" \"" + path +
                                     L"\"";
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
        DWORD size = sizeof previous;
        hadPrevious = RegQueryValueExW(key, L"Browsers", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS;
        ready = loader[0] != 0 &&
                RegSetValueExW(
                    key, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~BrowserLog() {
        if (hadPrevious)
            RegSetValueExW(key, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(previous),
                           static_cast<DWORD>((wcslen(previous) + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key, L"Browsers");
        RegCloseKey(key);
        DeleteFileW(path.c_str());
    }
    BrowserLog(const BrowserLog&) = delete;
    BrowserLog& operator=(const BrowserLog&) = delete;

    std::vector<std::wstring> lines() const {
        std::vector<std::wstring> result;
        std::ifstream file(std::filesystem::path(path), std::ios::binary);
        std::string line;
        while (std::getline(file, line))
            result.emplace_back(line.begin(), line.end()); // addresses are plain ASCII
        return result;
    }

    // Waits until the log holds `count` addresses and no program that opens one is left
    // running: an address opened twice has its own program started by then, so it shows up as
    // one too many.
    std::vector<std::wstring> waitFor(std::size_t count) const {
        test_support::pollUntil([&] { return lines().size() >= count && !openerRunning(); }, 30000);
        return lines();
    }

    bool ready = false;

  private:
    static bool openerRunning() {
        const winapi::SharedHandle snapshot =
            winapi::ownHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = snapshot && Process32FirstW(winapi::raw(snapshot), &entry); more;
             more = Process32NextW(winapi::raw(snapshot), &entry))
            for (const wchar_t* name : {L"start.exe", L"winebrowser.exe", L"url_logger.exe"})
                if (_wcsicmp(entry.szExeFile, name) == 0)
                    return true;
        return false;
    }

    std::wstring path;
    HKEY key = nullptr;
    wchar_t previous[1024] = {};
    bool hadPrevious = false;
};

class WelcomeLink : public testing::TestWithParam<int> {};

// Enter on the link (reached with Tab, as a keyboard user would) and then a click on it: each
// opens the help page once, and the dialog stays.
TEST_P(WelcomeLink, OpensTheHelpPageOnEnterAndClickAndStaysOpen) {
    const int linkId = GetParam();
    BrowserLog browser;
    ASSERT_TRUE(browser.ready) << "cannot point Wine's browser setting at url_logger.exe";
    WelcomeProgram program;
    ASSERT_NE(program.dialog, nullptr);
    HWND link = program.control(linkId);
    ASSERT_NE(link, nullptr);

    // Tab order is template order: Close, then the guide link, then the online link.
    for (int id : {1005, 1006}) {
        program.press(VK_TAB);
        ASSERT_TRUE(program.waitForFocus(program.control(id))) << "Tab does not reach " << id;
        if (id == linkId)
            break;
    }
    program.press(VK_RETURN);
    EXPECT_EQ(browser.waitFor(1), std::vector<std::wstring>{helpUrl});
    EXPECT_FALSE(program.ended(0));
    EXPECT_TRUE(IsWindowVisible(program.dialog));

    WelcomeProgram::click(link, 4, 5); // on the first letters of the link
    EXPECT_EQ(browser.waitFor(2), (std::vector<std::wstring>{helpUrl, helpUrl}));
    EXPECT_FALSE(program.ended(0));
    EXPECT_TRUE(IsWindowVisible(program.dialog));

    PostMessageW(program.dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.ended());
}

INSTANTIATE_TEST_SUITE_P(Links, WelcomeLink, testing::Values(1005, 1006),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 1005 ? std::string("GettingStartedGuide")
                                                       : std::string("Online");
                         });

// --- resources of the built program ------------------------------------------------------------

class WelcomeResources : public testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(program.module, nullptr); }
    std::string resource(const wchar_t* type, WORD id) const { return program.resource(type, id); }

    ProgramResources program;
};

TEST_F(WelcomeResources, ManifestSelectsCommonControlsSix) {
    const std::string manifest = resource(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos)
        << manifest;
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bits;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// Whether the 1-bit mask that follows the colour image hides the corner pixel and shows the
// centre one.
bool maskedCorner(const std::string& image, int size, int bits) {
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
    const std::size_t palette = bits <= 8 ? (std::size_t{1} << bits) * 4 : 0;
    const std::size_t colourRow = (size * bits + 31) / 32 * 4;
    const std::size_t maskRow = (size + 31) / 32 * 4;
    const std::size_t mask = header->biSize + palette + colourRow * size;
    if (image.size() != mask + maskRow * size)
        return false;
    auto transparent = [&](int x, int y) { // y counts from the top
        const unsigned char byte = image[mask + maskRow * (size - 1 - y) + x / 8];
        return (byte & (0x80 >> (x % 8))) != 0;
    };
    return transparent(0, 0) && !transparent(size / 2, size / 2);
}

// The application icon 128 of a program: nine images, each with its mask.
void expectApplicationIcon(const ProgramResources& program) {
    auto resource = [&](const wchar_t* type, WORD id) { return program.resource(type, id); };
    const std::string group = resource(RT_GROUP_ICON, 128);
    ASSERT_GE(group.size(), 6u);
    WORD header[3];
    std::memcpy(header, group.data(), sizeof header);
    EXPECT_EQ(header[1], 1); // an icon, not a cursor
    ASSERT_EQ(header[2], 9);
    ASSERT_EQ(group.size(), 6 + 9 * sizeof(GroupIconEntry));

    const std::vector<std::pair<int, int>> expected = {
        {32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {256, 32}, {48, 32}, {32, 32}, {16, 32}};
    for (int i = 0; i < 9; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        const int size = entry.width == 0 ? 256 : entry.width;
        SCOPED_TRACE(std::to_string(size) + " pixels, " + std::to_string(entry.bits) + " bits");
        EXPECT_EQ(std::make_pair(size, static_cast<int>(entry.bits)), expected[i]);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(entry.colours, entry.bits == 4 ? 16 : 0);

        const std::string image = resource(RT_ICON, entry.id);
        ASSERT_EQ(image.size(), entry.bytes);
        if (size == 256) {
            ASSERT_EQ(image.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0) << "stored as PNG";
            EXPECT_EQ(image[25], 6) << "colour type: RGB with alpha";
            continue;
        }
        BITMAPINFOHEADER bitmap;
        std::memcpy(&bitmap, image.data(), sizeof bitmap);
        EXPECT_EQ(bitmap.biWidth, size);
        EXPECT_EQ(bitmap.biHeight, 2 * size); // colour image and mask
        EXPECT_EQ(bitmap.biBitCount, entry.bits);
        EXPECT_TRUE(maskedCorner(image, size, entry.bits));
    }
}

TEST_F(WelcomeResources, ApplicationIconHasNineImagesWithMasks) {
    expectApplicationIcon(program);
}

TEST(LauncherResources, CarriesTheSameIcon) {
    const ProgramResources launcher(L"Kelvara.exe");
    ASSERT_NE(launcher.module, nullptr);
    expectApplicationIcon(launcher);
    const ProgramResources welcome;
    EXPECT_EQ(launcher.resource(RT_GROUP_ICON, 128), welcome.resource(RT_GROUP_ICON, 128));
}

TEST(KelvaraCmdResources, CarriesTheApplicationIcon) {
    const ProgramResources command(L"KelvaraCmd.exe");
    ASSERT_NE(command.module, nullptr);
    EXPECT_EQ(command.resource(RT_GROUP_ICON, 128),
              ProgramResources().resource(RT_GROUP_ICON, 128));
}

// A setting of a program's manifest as the system's own manifest reader finds it ("" when
// there is none): the names and their namespaces must be exactly right for it to.
std::wstring manifestSetting(const wchar_t* program, const wchar_t* settingNamespace,
                             const wchar_t* name) {
    const std::wstring path = test_support::programFolder() + program;
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    const HANDLE context = CreateActCtxW(&request);
    if (context == INVALID_HANDLE_VALUE)
        return L"(no manifest)";
    wchar_t value[64] = {};
    SIZE_T written = 0;
    const bool found =
        QueryActCtxSettingsW(0, context, settingNamespace, name, value, std::size(value), &written);
    ReleaseActCtx(context);
    return found ? value : L"";
}

// Per-monitor DPI awareness, version 2 where the system has it; on systems that know only the
// older setting, per-monitor from Windows 8.1 on and system-aware before.
TEST(ProgramManifests, DeclarePerMonitorDpiAwarenessWithTheOlderSettingsAsFallback) {
    for (const wchar_t* program : {L"Kelvara.exe", L"Orvinta.exe", L"KelvaraCmd.exe"}) {
        SCOPED_TRACE(test_support::toUtf8(program));
        EXPECT_EQ(manifestSetting(program, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                  L"dpiAwareness"),
                  L"PerMonitorV2, PerMonitor");
        EXPECT_EQ(manifestSetting(program, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                                  L"dpiAware"),
                  L"true/pm");
    }
    EXPECT_EQ(ProgramResources(L"Kelvara.exe").resource(RT_MANIFEST, 1),
              ProgramResources(L"Orvinta.exe").resource(RT_MANIFEST, 1))
        << "one manifest for every program";
}

// The template itself: what the live dialog cannot show (the exact styles and the font).
TEST_F(WelcomeResources, DialogTemplateHasItsStylesAndFont) {
    const std::string data = resource(RT_DIALOG, 102);
    ASSERT_GT(data.size(), 26u);
    auto word = [&](std::size_t at) -> WORD {
        if (at + 2 > data.size())
            return 0;
        WORD value;
        std::memcpy(&value, data.data() + at, sizeof value);
        return value;
    };
    auto dword = [&](std::size_t at) { // within the fixed header
        DWORD value;
        std::memcpy(&value, data.data() + at, sizeof value);
        return value;
    };
    auto text = [&](std::size_t& at) {
        std::wstring value;
        for (WORD c; (c = word(at)) != 0; at += 2)
            value += static_cast<wchar_t>(c);
        at += 2;
        return value;
    };
    ASSERT_EQ(word(0), 1);      // version of an extended template
    ASSERT_EQ(word(2), 0xFFFF); // its signature
    EXPECT_EQ(dword(8), static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(dword(12), dialogStyle);
    EXPECT_EQ(word(16), 7); // controls
    EXPECT_EQ(std::vector<WORD>({word(18), word(20), word(22), word(24)}),
              std::vector<WORD>({0, 0, 239, 105}));
    std::size_t at = 26;
    EXPECT_EQ(word(at), 0); // no menu
    at += 2;
    EXPECT_EQ(word(at), 0); // the standard dialog class
    at += 2;
    EXPECT_EQ(text(at), dialogTitle);
    EXPECT_EQ(word(at), 8);     // points
    EXPECT_EQ(word(at + 2), 0); // weight: normal
    EXPECT_EQ(data[at + 4], 0); // not italic
    EXPECT_EQ(data[at + 5], DEFAULT_CHARSET);
    at += 6;
    EXPECT_EQ(text(at), L"MS Shell Dlg");
}

} // namespace
