// kelvara_demo: the Windows side of the demo (scripts/demo.sh runs it under Wine on an X server).
//
// It puts a demo desktop of 40 icons in groups on the desktop host (tests/fixtures), which also
// plays the notification area, registers the Tessora component, starts Kelvara.exe as a user
// would and watches it arrange the desktop, open the welcome dialog and put its icon in the
// notification area, opens and closes the icon's menu as a user does, then drives the component
// with KelvaraCmd.exe and through COM: every edge with every sort method, the automatic
// arrangement, and a change of the desktop's size, which Kelvara's hook answers by carrying the
// groups of icons over to the new area. Each arrangement is printed as a picture of the
// desktop's grid, two letters per icon. At the end it posts a quit message to Kelvara's thread
// and reports Kelvara's exit code.
//
//   kelvara_demo [--short] [--screenshots FOLDER] [--menu-again NAME]
//
//   --short        fewer arrangements (the test suite's form); it also unregisters the component
//                  and removes the settings and the store when done, leaving the prefix as found
//   --screenshots  at each moment worth a picture, print "@@screenshot NAME [crop WxH+X+Y]"
//                  and wait until FOLDER\NAME.ack exists (the script that runs the demo takes
//                  the picture)
//   --menu-again   only start Kelvara once more on the demo's desktop, as the demo left it, and
//                  take the picture NAME of its menu: the demo script runs it in a second
//                  language after the demo
//
// Exit code 0 when every step worked and every arrangement held what it should; 1 otherwise.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/desktop_seam.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "launcher/launcher_window_win32.h"
#include "tessora.h"
#include "tests/windows/component_support.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "tests/windows/utf8_win32.h"
#include "winapi/handle_win32.h"
#include "winapi/named_lock.h"
#include "winapi/text_win32.h"

using test_support::fromUtf8;
using test_support::toUtf8;

namespace {

using Microsoft::WRL::ComPtr;

// --- the demo desktop -------------------------------------------------------------------------

// Where the user keeps each icon: a cell of the desktop's grid (79 x 79 pixel cells from (4, 4)
// on a 1920 x 1080 work area: 24 columns, 13 rows), in groups: a block in the top-left corner, a
// row along the top, a column along the right edge, a block in the middle, a row along the
// bottom and a block in the bottom-right corner. Every label starts with two letters of its own.
struct DemoIcon {
    const wchar_t* label;
    int column;
    int row;
    int daysOld; // creation time of its file; -1: not a file
};

const DemoIcon demoIcons[] = {
    // top-left corner, 2 x 4
    {L"My Computer", 0, 0, -1},
    {L"Trash", 1, 0, -1},
    {L"Annual report.docx", 0, 1, 40},
    {L"Budget 2025.xlsx", 1, 1, 3},
    {L"Calendar.ics", 0, 2, 120},
    {L"Expenses.csv", 1, 2, 7},
    {L"Invoice 0042.pdf", 0, 3, 1},
    {L"Taxes 2024.pdf", 1, 3, 300},
    // along the top, 5 in a row
    {L"Family photo.jpg", 14, 0, 410},
    {L"Garden.jpg", 15, 0, 95},
    {L"Wallpaper.png", 16, 0, 600},
    {L"Scan 001.png", 17, 0, 2},
    {L"Sketch.png", 18, 0, 15},
    // along the right edge, 6 in a column
    {L"Ukulele.mp3", 23, 2, 250},
    {L"Vacation.mp4", 23, 3, 180},
    {L"Guitar tabs.pdf", 23, 4, 33},
    {L"Ebook.epub", 23, 5, 64},
    {L"Map.png", 23, 6, 9},
    {L"Diagram.drawio", 23, 7, 21},
    // in the middle, 3 x 3
    {L"Meeting notes.txt", 9, 4, 0},
    {L"Notes.txt", 10, 4, 5},
    {L"Journal.md", 11, 4, 11},
    {L"Ideas.txt", 9, 5, 26},
    {L"Letter to Ana.docx", 10, 5, 48},
    {L"Cover letter.docx", 11, 5, 70},
    {L"Quarterly.pptx", 9, 6, 88},
    {L"Orders.xlsx", 10, 6, 140},
    {L"Project.zip", 11, 6, 360},
    // along the bottom, 8 in a row
    {L"Recipes.pdf", 6, 12, 520},
    {L"Kitchen list.txt", 7, 12, 4},
    {L"Holiday plan.txt", 8, 12, 56},
    {L"Flights.pdf", 9, 12, 18},
    {L"Yoga plan.pdf", 10, 12, 230},
    {L"Health.pdf", 11, 12, 77},
    {L"Xmas cards.odt", 12, 12, 340},
    {L"Passwords.kdbx", 13, 12, 700},
    // bottom-right corner, 2 x 2
    {L"Zebra.svg", 22, 11, 13},
    {L"apple pie.txt", 23, 11, 6},
    {L"backup.sh", 22, 12, 150},
    {L"Drafts.zip", 23, 12, 29},
};

constexpr LONG screenWidth = 1920;
constexpr LONG screenHeight = 1080;
constexpr LONG smallWidth = 1280;
constexpr LONG smallHeight = 720;
constexpr LONG secondMonitorLeft = 1280; // where the demo's second monitor begins
constexpr LONG iconBox = 75;             // the list view's boxes under Wine
constexpr LONG boxToPositionX = 21;      // an item's position lies this far right of its box
constexpr LONG boxToPositionY = 4;       // and this far below it
constexpr std::uint64_t fileTimeDay = 864000000000ULL;

// --- output -----------------------------------------------------------------------------------

bool shortForm = false;
std::wstring shotFolder;
int faults = 0;

void say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

void check(bool holds, const std::string& what) {
    if (holds) {
        say("   ok: %s\n", what.c_str());
    } else {
        say("   FAULT: %s\n", what.c_str());
        ++faults;
    }
}

// Asks the script for a screenshot (of the part of the screen given as WxH+X+Y, or all of it, with
// a line where one monitor ends at x = divide when given) and waits until it is taken.
void screenshot(const char* name, const std::string& crop = "", LONG divide = 0) {
    if (shotFolder.empty())
        return;
    Sleep(400); // the list view repaints once its icons have moved
    const std::wstring ack =
        shotFolder + L"\\" + std::wstring(name, name + std::strlen(name)) + L".ack";
    DeleteFileW(ack.c_str());
    std::string options;
    if (divide != 0)
        options += " divide " + std::to_string(divide);
    if (!crop.empty())
        options += " crop " + crop;
    say("@@screenshot %s%s\n", name, options.c_str());
    if (!test_support::pollUntil(
            [&] { return GetFileAttributesW(ack.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000))
        throw std::runtime_error("no screenshot was taken");
    DeleteFileW(ack.c_str());
}

// --- reading the desktop ----------------------------------------------------------------------

std::string codeOf(const std::wstring& label) {
    std::string code = toUtf8(label.substr(0, 2));
    code.resize(2, ' ');
    return code;
}

// The desktop's grid, as the component measures it from the work areas and the largest box.
desktop_access::Grid gridOf(const test_support::HostReport& report) {
    std::vector<desktop_access::Rect> areas;
    for (const RECT& area : report.workAreas)
        areas.push_back({area.left, area.top, area.right, area.bottom});
    LONG widest = 0, tallest = 0;
    for (const auto& icon : report.icons) {
        widest = std::max(widest, icon.box.right - icon.box.left);
        tallest = std::max(tallest, icon.box.bottom - icon.box.top);
    }
    return desktop_access::Grid::measure(areas, widest, tallest);
}

std::vector<POINT> positionsOf(const test_support::HostReport& report) {
    std::vector<POINT> positions;
    for (const auto& icon : report.icons)
        positions.push_back(icon.position);
    return positions;
}

bool samePositions(const std::vector<POINT>& a, const std::vector<POINT>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const POINT& p, const POINT& q) { return p.x == q.x && p.y == q.y; });
}

// The cell an icon's box is drawn in, for the pictures only: the grid cell whose position lies
// within four tenths of a cell before or six tenths after the box's corner (icons put off the
// grid by hand, and the edge arrangements on the right and at the bottom, which keep their
// distance from the far edge rather than from the grid).
POINT pictureCellOf(const RECT& box, const desktop_access::Grid& grid) {
    const auto cell = [](LONG at, LONG origin, LONG size) {
        const double offset = double(at - origin) / size + 0.4;
        return LONG(offset < 0 ? offset - 1 : offset);
    };
    return {cell(box.left, grid.originX, grid.cellWidth),
            cell(box.top, grid.originY, grid.cellHeight)};
}

// Prints the grid with two letters for each icon ("##" where two icons share a cell).
void printPicture(const test_support::HostReport& report) {
    const desktop_access::Grid grid = gridOf(report);
    std::map<std::pair<LONG, LONG>, std::string> cells;
    int outside = 0;
    for (const auto& icon : report.icons) {
        const POINT cell = pictureCellOf(icon.box, grid);
        if (cell.x < 0 || cell.y < 0 || cell.x >= grid.columns || cell.y >= grid.rows) {
            ++outside;
            continue;
        }
        auto [at, added] = cells.emplace(std::make_pair(cell.x, cell.y), codeOf(icon.label));
        if (!added)
            at->second = "##";
    }
    std::string line = "    ";
    for (LONG column = 0; column < grid.columns; ++column)
        line += column % 5 == 0 ? std::to_string(column) + std::string(column < 10 ? 2 : 1, ' ')
                                : "   ";
    say("%s\n", line.c_str());
    std::string border = "   +" + std::string(std::size_t(grid.columns) * 3, '-') + "+";
    say("%s\n", border.c_str());
    for (LONG row = 0; row < grid.rows; ++row) {
        line = (row < 10 ? "  " : " ") + std::to_string(row) + "|";
        for (LONG column = 0; column < grid.columns; ++column) {
            const auto at = cells.find({column, row});
            line += at == cells.end() ? " . " : at->second + " ";
        }
        say("%s|\n", line.c_str());
    }
    say("%s\n", border.c_str());
    say("   desktop %ld x %ld pixels, grid of %ld x %ld cells of %ld x %ld pixels%s\n",
        grid.areaWidth, grid.areaHeight + desktop_access::gridMargin, grid.columns, grid.rows,
        grid.cellWidth, grid.cellHeight,
        outside ? (", " + std::to_string(outside) + " icons outside the grid").c_str() : "");
}

// --- the arrangements -------------------------------------------------------------------------

struct Method {
    int value;
    const char* name;
    const wchar_t* word; // KelvaraCmd's
};
const Method sortMethods[] = {{SortIconName, "by name", L"name"},
                              {SortUsage, "by usage", L"usage"},
                              {SortAge, "by age", L"age"}};
const Method edges[] = {{ArrangeLeft, "left edge", L"left"},
                        {ArrangeRight, "right edge", L"right"},
                        {ArrangeTop, "top edge", L"top"},
                        {ArrangeBottom, "bottom edge", L"bottom"}};

// The box corners an edge arrangement fills, in its order: cell after cell down the columns
// (left, right) or along the rows (top, bottom), mirrored to the far edge for right and bottom.
std::vector<POINT> edgeCorners(int edge, std::size_t count, const desktop_access::Grid& grid) {
    std::vector<POINT> corners;
    LONG column = 0, row = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const desktop_access::Point cell = grid.cellCorner(column, row);
        POINT corner{cell.x, cell.y};
        if (edge == ArrangeRight)
            corner.x = grid.mirroredX(corner.x);
        if (edge == ArrangeBottom)
            corner.y = grid.mirroredY(corner.y);
        corners.push_back(corner);
        if (edge == ArrangeLeft || edge == ArrangeRight) {
            if (++row >= grid.rows)
                row = 0, ++column;
        } else if (++column >= grid.columns) {
            column = 0, ++row;
        }
    }
    return corners;
}

// The labels in the order the edge arrangement laid them out.
std::string placedOrder(int edge, const test_support::HostReport& report) {
    const desktop_access::Grid grid = gridOf(report);
    const std::vector<POINT> corners = edgeCorners(edge, report.icons.size(), grid);
    std::string order;
    for (const POINT& corner : corners)
        for (const auto& icon : report.icons)
            if (icon.box.left == corner.x && icon.box.top == corner.y)
                order += (order.empty() ? "" : " ") + codeOf(icon.label);
    return order;
}

bool holdsCorners(const test_support::HostReport& report, std::vector<POINT> expected) {
    std::vector<std::pair<LONG, LONG>> held, wanted;
    for (const auto& icon : report.icons)
        held.emplace_back(icon.box.left, icon.box.top);
    for (const POINT& p : expected)
        wanted.emplace_back(p.x, p.y);
    std::sort(held.begin(), held.end());
    std::sort(wanted.begin(), wanted.end());
    return held == wanted;
}

// Whether every icon sits exactly on a cell of the grid, inside it, one icon to a cell.
bool onOwnCells(const test_support::HostReport& report) {
    const desktop_access::Grid grid = gridOf(report);
    std::set<std::pair<LONG, LONG>> taken;
    for (const auto& icon : report.icons) {
        const desktop_access::Cell cell = grid.cellAt(icon.box.left, icon.box.top);
        if (!grid.contains(cell) ||
            grid.cellCorner(cell) != desktop_access::Point{icon.box.left, icon.box.top} ||
            !taken.emplace(cell.column, cell.row).second)
            return false;
    }
    return true;
}

// --- the component ----------------------------------------------------------------------------

void succeed(HRESULT result, const char* what) {
    if (FAILED(result)) {
        char text[160];
        std::snprintf(text, sizeof text, "%s failed (0x%08lx)", what,
                      static_cast<unsigned long>(result));
        throw std::runtime_error(text);
    }
}

// Refresh through automation, as a script calls it: the call returns once the icons have
// arrived at their new places.
void refresh(ITessora* tessora) {
    OLECHAR name[] = L"Refresh";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    succeed(tessora->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
            "looking up Refresh");
    DISPPARAMS none{};
    EXCEPINFO exception{};
    succeed(tessora->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                            &exception, nullptr),
            "Refresh");
}

std::wstring storePath() {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\Kelvara.store";
}

std::optional<DWORD> startedFlag() {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Kelvara", L"Started", RRF_RT_REG_DWORD, nullptr,
                     &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// A user who has never run Kelvara: no settings, no store.
void forgetUser() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kelvara");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Kelvara");
    DeleteFileW(storePath().c_str());
    DeleteFileW(desktop_access::layoutsPathFor(storePath()).c_str());
}

DWORD runAndWait(const std::wstring& commandLine, DWORD timeoutMs = 60000) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const test_support::Process process =
        test_support::createProcess(L"", commandLine, false, 0, startup);
    const DWORD code = process.wait(timeoutMs);
    if (code == STILL_ACTIVE)
        throw std::runtime_error(toUtf8(commandLine) + " did not end");
    return code;
}

void registerComponent(bool registering) {
    const std::wstring line = std::wstring(L"regsvr32.exe /s ") + (registering ? L"" : L"/u ") +
                              L"\"" + test_support::programFolder() + L"Tessora.dll\"";
    const DWORD code = runAndWait(line);
    if (code != 0)
        throw std::runtime_error("regsvr32 ended with code " + std::to_string(code));
}

// --- Kelvara and its welcome dialog -----------------------------------------------------------

// Kelvara.exe, started as the user starts it; ended by a quit message to its thread.
class Launcher {
  public:
    Launcher() {
        const std::wstring path = test_support::programFolder() + L"Kelvara.exe";
        const test_support::Process process = test_support::startProgramAt(path);
        process_ = process.handle;
        thread_ = process.threadId;
    }
    ~Launcher() {
        if (running())
            quit(0);
        if (running())
            TerminateProcess(winapi::raw(process_), 1);
    }
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    HANDLE process() const { return winapi::raw(process_); }
    DWORD thread() const { return thread_; }
    bool running() const { return WaitForSingleObject(process(), 0) == WAIT_TIMEOUT; }
    DWORD exitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process(), &code);
        return code;
    }
    // Posts WM_QUIT with the code to Kelvara's thread; the exit code once it has ended.
    std::optional<DWORD> quit(WPARAM code) {
        if (!PostThreadMessageW(thread_, WM_QUIT, code, 0))
            return std::nullopt;
        if (WaitForSingleObject(process(), 15000) != WAIT_OBJECT_0)
            return std::nullopt;
        return exitCode();
    }

  private:
    winapi::SharedHandle process_;
    DWORD thread_ = 0;
};

HWND welcomeDialog() {
    return FindWindowW(L"#32770", L"Welcome to Kelvara");
}

// Presses the dialog's Close button and waits until Orvinta.exe has ended; its exit code.
std::optional<DWORD> closeWelcome(HWND dialog) {
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    const winapi::SharedHandle process = winapi::ownHandle(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 LPARAM(GetDlgItem(dialog, IDOK)));
    if (!process || WaitForSingleObject(winapi::raw(process), 10000) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(winapi::raw(process), &code);
    return code;
}

// --- the steps --------------------------------------------------------------------------------

test_support::HostDescription demoDesktop() {
    test_support::HostDescription description;
    description.width = screenWidth;
    description.height = screenHeight;
    description.workAreas = {{0, 0, screenWidth, screenHeight}};
    description.listStyle = LVS_NOSCROLL; // a desktop has no scroll bars
    description.tray = true;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t nowCount = (std::uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // Each icon a little off its cell, as a user drops icons: up to 20 pixels either way.
    std::uint32_t seed = 20250101;
    const auto jitter = [&seed](bool onlyForward) {
        seed = seed * 1664525u + 1013904223u;
        const LONG step = LONG((seed >> 16) % 41) - 20;
        return onlyForward ? std::abs(step) : step;
    };
    const desktop_access::Grid grid =
        desktop_access::Grid::measure({{0, 0, screenWidth, screenHeight}}, iconBox, iconBox);
    for (const DemoIcon& icon : demoIcons) {
        const desktop_access::Point corner = grid.cellCorner(icon.column, icon.row);
        const LONG x = corner.x + boxToPositionX + jitter(icon.column == 0);
        const LONG y = corner.y + boxToPositionY + jitter(icon.row == 0);
        description.icons.push_back({icon.label, x, y});
        if (icon.daysOld >= 0)
            description.files.push_back(
                {icon.label, nowCount - std::uint64_t(icon.daysOld) * fileTimeDay});
    }
    return description;
}

void printLegend() {
    say("The demo desktop: 40 icons in six groups, each shown by its first two letters\n"
        "(and the age of its file in days):\n");
    std::string line;
    int inLine = 0;
    for (const DemoIcon& icon : demoIcons) {
        std::string entry = codeOf(icon.label) + " " + toUtf8(icon.label);
        if (icon.daysOld < 0)
            entry += " (no file)";
        else
            entry += " (" + std::to_string(icon.daysOld) + " d)";
        entry.resize(33, ' ');
        line += entry;
        if (++inLine == 4) {
            say("   %s\n", line.c_str());
            line.clear();
            inLine = 0;
        }
    }
    if (!line.empty())
        say("   %s\n", line.c_str());
}

// Double-clicks an icon on the desktop, as a user opens it.
void openIcon(const test_support::DesktopHost& host, int index) {
    const auto report = host.report();
    const RECT& box = report.icons.at(std::size_t(index)).box;
    const LPARAM at = MAKELPARAM((box.left + box.right) / 2, box.top + 20);
    HWND list = host.listView();
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
}

std::uint32_t storedUsage(const std::wstring& label) {
    const auto stored = test_support::readStoreLocked(storePath());
    const std::u16string name = winapi::fromWide(label);
    for (const auto& icon : stored->icons)
        if (icon.name == name)
            return icon.usage;
    return 0;
}

int indexOf(const test_support::DesktopHost& host, const std::wstring& label) {
    const auto report = host.report();
    for (std::size_t i = 0; i < report.icons.size(); ++i)
        if (report.icons[i].label == label)
            return int(i);
    throw std::runtime_error("no icon " + toUtf8(label));
}

// Whether Kelvara's icon is in the notification area.
bool trayIconShown(const test_support::DesktopHost& host) {
    for (const auto& notification : host.report().notifications)
        if (notification.verb == "add" && notification.done && notification.tip == L"Kelvara")
            return true;
    return false;
}

// What the desktop shows once every arrangement under way has been made and its icons have
// arrived.
test_support::HostReport settledReport(const test_support::DesktopHost& host) {
    test_support::waitForGlides();
    return host.report();
}

// Opens a few icons, so the usage sort has counts to sort by. Kelvara's hook reports each
// opening to the component; a count that does not arrive is a fault.
void openSomeIcons(const test_support::DesktopHost& host) {
    struct Opening {
        const wchar_t* label;
        int times;
    };
    const std::vector<Opening> openings =
        shortForm
            ? std::vector<Opening>{{L"Notes.txt", 2}}
            : std::vector<Opening>{{L"Notes.txt", 3}, {L"Budget 2025.xlsx", 2}, {L"Map.png", 1}};
    say("\n== The user opens a few icons (double-clicks on the desktop) ==\n");
    bool hookCounted = true;
    for (const Opening& opening : openings) {
        const int index = indexOf(host, opening.label);
        for (int time = 0; time < opening.times; ++time) {
            const std::uint32_t before = storedUsage(opening.label);
            openIcon(host, index);
            if (!test_support::pollUntil([&] { return storedUsage(opening.label) == before + 1; },
                                         30000)) {
                hookCounted = false;
                say("   the hook did not count this opening of %s\n",
                    toUtf8(opening.label).c_str());
            }
        }
        say("   opened %-18s %d times; stored count now %u\n", toUtf8(opening.label).c_str(),
            opening.times, storedUsage(opening.label));
    }
    check(hookCounted, "Kelvara's hook counted every opening");
    settledReport(host);
}

// The age sort asks the shell when each desktop item was made. Says so when the shell does not
// know (as under Wine), since the age sort then shows the order by label.
void noteCreationDates() {
    desktop_access::Desktop& desktop = desktop_access::getDesktop();
    const auto times = desktop_access::creationTimesByName(desktop);
    for (const DemoIcon& icon : demoIcons) {
        const auto at = times.find(winapi::fromWide(icon.label));
        if (icon.daysOld >= 0 && at != times.end() && at->second.value_or(0) != 0)
            return;
    }
    const DemoIcon& oldest = *std::max_element(
        std::begin(demoIcons), std::end(demoIcons),
        [](const DemoIcon& a, const DemoIcon& b) { return a.daysOld < b.daysOld; });
    const auto count = [](const FILETIME& t) {
        return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    WIN32_FILE_ATTRIBUTE_DATA file{};
    const std::wstring path = test_support::desktopFolderPath() + L"\\" + oldest.label;
    say("   note: the shell reports no creation date for any desktop item, so every icon counts "
        "as\n"
        "   equally old and the age sort falls back to its second key, the label.\n");
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &file))
        say("   (The file %s was given a creation date %d days back and reads as made %llu days "
            "ago:\n"
            "   the date does not stick under this Wine either.)\n",
            toUtf8(oldest.label).c_str(), oldest.daysOld,
            static_cast<unsigned long long>((count(now) - count(file.ftCreationTime)) /
                                            fileTimeDay));
}

// --- Kelvara's menu and its command line -------------------------------------------------------

// Runs KelvaraCmd.exe with the arguments and prints what it printed; its exit code.
DWORD kelvaraCmd(const std::wstring& arguments) {
    say("   > KelvaraCmd %s\n", toUtf8(arguments).c_str());
    std::string output;
    const DWORD code = test_support::runCommand(
        L"\"" + test_support::programFolder() + L"KelvaraCmd.exe\" " + arguments, L"", &output);
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t end = output.find('\n', at);
        end = end == std::string::npos ? output.size() : end;
        std::string line = output.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        say("     %s\n", line.c_str());
        at = end + 1;
    }
    return code;
}

// The popup menu window Kelvara shows, when it is on the screen.
HWND openMenuOf(DWORD processId) {
    for (HWND menu = nullptr; (menu = FindWindowExW(nullptr, menu, L"#32768", nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(menu, &owner);
        if (owner == processId && IsWindowVisible(menu))
            return menu;
    }
    return nullptr;
}

// Right-clicks Kelvara's icon in the notification area, walks the menu with the keyboard (each
// Down goes to the next item that is not a separator, greyed ones too; Right opens a submenu),
// takes a picture and closes the menu again as a click elsewhere does.
void showMenu(const test_support::DesktopHost& host, DWORD kelvaraProcess,
              const std::vector<WPARAM>& keys, const char* name, const char* crop) {
    say("\n== The user right-clicks Kelvara's icon in the notification area ==\n");
    host.clickTrayIcon(L"right");
    HWND menu = nullptr;
    test_support::pollUntil([&] { return (menu = openMenuOf(kelvaraProcess)) != nullptr; }, 5000);
    check(menu != nullptr, "the menu opened");
    if (menu == nullptr)
        return;
    for (const WPARAM key : keys) {
        // The keys go to the menu window on top: the submenu opened last.
        HWND top = openMenuOf(kelvaraProcess);
        PostMessageW(top, WM_KEYDOWN, key, 1);
        PostMessageW(top, WM_KEYUP, key, 0xC0000001);
        Sleep(150);
    }
    screenshot(name, crop);
    PostMessageW(FindWindowW(launcher::launcherWindowClass, nullptr), WM_CANCELMODE, 0, 0);
    check(test_support::pollUntil([&] { return openMenuOf(kelvaraProcess) == nullptr; }, 5000),
          "the menu closed without doing anything");
}

// Undoes the last arrangement and redoes it with the command line, saves the layout under a name
// and shows the menu's "Layouts" and its restore points.
void undoAndLayouts(const test_support::DesktopHost& host, DWORD kelvaraProcess) {
    say("\n== The user undoes the last arrangement, redoes it and saves the layout ==\n");
    const std::vector<POINT> arranged = positionsOf(settledReport(host));
    kelvaraCmd(L"history");
    check(kelvaraCmd(L"undo") == 0, "KelvaraCmd undo (exit code 0)");
    const auto undone = settledReport(host);
    printPicture(undone);
    check(!samePositions(positionsOf(undone), arranged),
          "the desktop is back as it was before the last arrangement");
    check(kelvaraCmd(L"redo") == 0, "KelvaraCmd redo (exit code 0)");
    check(samePositions(positionsOf(settledReport(host)), arranged), "arranged again, exactly");
    check(kelvaraCmd(L"save \"Along the edges\"") == 0 && kelvaraCmd(L"layouts") == 0,
          "the layout is saved under its name");
    // Down to "Layouts" (the sixth item), into it, down to "Restore an earlier arrangement"
    // (past "Save current layout..." and the saved name), into that.
    showMenu(host, kelvaraProcess,
             {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN,
              VK_RIGHT},
             "menu-layouts", "640x210+1250+862");
}

void showEdges(const test_support::DesktopHost& host, ITessora* tessora) {
    struct Round {
        int sort;
        int edge;
    };
    std::vector<Round> rounds;
    if (shortForm) {
        rounds = {{SortIconName, ArrangeLeft}, {SortUsage, ArrangeTop}, {SortAge, ArrangeBottom}};
    } else {
        for (const Method& sort : sortMethods)
            for (const Method& edge : edges)
                rounds.push_back({sort.value, edge.value});
    }
    int previousSort = -1;
    for (const Round& round : rounds) {
        const Method& sort = *std::find_if(std::begin(sortMethods), std::end(sortMethods),
                                           [&](const Method& m) { return m.value == round.sort; });
        const Method& edge = *std::find_if(std::begin(edges), std::end(edges),
                                           [&](const Method& m) { return m.value == round.edge; });
        if (round.sort == SortUsage && previousSort != SortUsage)
            openSomeIcons(host);
        const bool firstByAge = round.sort == SortAge && previousSort != SortAge;
        previousSort = round.sort;
        if (&round == &rounds.front()) {
            // The first as a user at the command line does it: each command stores its setting
            // and returns once the icons have arrived.
            say("\n== Sorted %s along the %s, with the command line ==\n", sort.name, edge.name);
            const DWORD arranged = kelvaraCmd(std::wstring(L"arrange ") + edge.word);
            const DWORD sorted = kelvaraCmd(std::wstring(L"sort ") + sort.word);
            check(arranged == 0 && sorted == 0, "KelvaraCmd arranged the desktop (exit codes 0)");
            kelvaraCmd(L"status");
        } else {
            say("\n== Sorted %s along the %s (SetArrangeMethod %d, SetSortMethod %d, Refresh) "
                "==\n",
                sort.name, edge.name, edge.value, sort.value);
            succeed(tessora->SetArrangeMethod(ArrangeMethod(edge.value)), "SetArrangeMethod");
            succeed(tessora->SetSortMethod(SortMethod(sort.value)), "SetSortMethod");
            refresh(tessora);
        }
        const auto report = settledReport(host);
        printPicture(report);
        say("   order: %s\n", placedOrder(edge.value, report).c_str());
        if (firstByAge)
            noteCreationDates();
        check(holdsCorners(report, edgeCorners(edge.value, report.icons.size(), gridOf(report))),
              "every icon on the " + std::string(edge.name) + "'s cells, filled in order");
        std::string name = std::string(edge.name) + " " + sort.name;
        std::replace(name.begin(), name.end(), ' ', '-');
        screenshot(name.c_str());
    }
}

// The user drags the icons back where they had them, then lets Kelvara arrange automatically.
void regroup(const test_support::DesktopHost& host, ITessora* tessora,
             const std::vector<POINT>& arranged) {
    say("\n== The user drags the icons back into their groups; automatic arrangement "
        "(SetArrangeMethod 0, Refresh) ==\n");
    desktop_access::Desktop& desktop = desktop_access::getDesktop();
    for (std::size_t i = 0; i < arranged.size(); ++i)
        desktop_access::setIconPosition({&desktop, std::int32_t(i)}, arranged[i].x, arranged[i].y);
    succeed(tessora->SetArrangeMethod(ArrangeAuto), "SetArrangeMethod");
    refresh(tessora);
    const auto report = settledReport(host);
    printPicture(report);
    check(samePositions(positionsOf(report), arranged), "the icons stay where the user put them");
}

// A second monitor joins: the icons on each monitor stay on it, and each is arranged on its own
// along its left edge. Back to one monitor, the desktop is as it was.
void twoMonitors(const test_support::DesktopHost& host) {
    const std::vector<RECT> areas = {{0, 0, secondMonitorLeft, 1040},
                                     {secondMonitorLeft, 200, screenWidth, screenHeight}};
    say("\n== A second, smaller monitor on the right (work areas 0 0 %ld 1040 and %ld 200 %ld "
        "%ld); "
        "each monitor on its own (KelvaraCmd monitors each, arrange left) ==\n",
        secondMonitorLeft, secondMonitorLeft, screenWidth, screenHeight);
    const auto grouped = settledReport(host);
    const auto lastDisplay = [] {
        const winapi::NamedLock lock(winapi::storeLockName);
        return desktop_access::readLastDisplay(desktop_access::lastDisplayPathFor(storePath()));
    };
    const auto arrangedOn = [&](std::size_t monitors) {
        const auto last = lastDisplay();
        return last && last->configuration.workAreas.size() == monitors;
    };
    // Kelvara remembers a display once it has held for 5 s: the one-monitor desktop holds that
    // long, so that it comes back as it was.
    test_support::holdLastDisplay(storePath(), 5.5);
    host.showDisplay(screenWidth, screenHeight, areas);
    check(test_support::pollUntil([&] { return arrangedOn(2); }, 10000),
          "the hook arranged the desktop of two monitors");
    const auto before = settledReport(host);
    check(kelvaraCmd(L"monitors each") == 0 && kelvaraCmd(L"arrange left") == 0,
          "KelvaraCmd set the monitors and the edge (exit codes 0)");
    const auto report = settledReport(host);
    printPicture(report);
    const auto monitorOf = [](const test_support::ReportedIcon& icon) {
        return (icon.box.left + icon.box.right) / 2 >= secondMonitorLeft ? 1 : 0;
    };
    int stayed = 0, onRight = 0;
    for (std::size_t i = 0; i < report.icons.size(); ++i) {
        stayed += monitorOf(report.icons[i]) == monitorOf(before.icons[i]) ? 1 : 0;
        onRight += monitorOf(report.icons[i]);
    }
    say("   %d icons on the left monitor, %d on the right\n", int(report.icons.size()) - onRight,
        onRight);
    check(stayed == int(report.icons.size()) && onRight > 0,
          "every icon stayed on its monitor, both monitors hold some");
    check(onOwnCells(report), "every icon on a cell of its own");
    screenshot("two-monitors", "", secondMonitorLeft);

    check(kelvaraCmd(L"monitors all") == 0 && kelvaraCmd(L"arrange auto") == 0,
          "back to all monitors as one and the automatic arrangement");
    host.showDisplay(screenWidth, screenHeight, grouped.workAreas);
    check(test_support::pollUntil([&] { return arrangedOn(1); }, 10000),
          "the hook arranged the desktop of one monitor");
    check(samePositions(positionsOf(settledReport(host)), positionsOf(grouped)),
          "back on one monitor, every icon where it stood before the second one came");
}

void changeSize(const test_support::DesktopHost& host, ITessora* tessora) {
    say("\n== The screen becomes %ld x %ld (desktop_host --send \"display %ld %ld 0 0 %ld %ld\") "
        "==\n",
        smallWidth, smallHeight, smallWidth, smallHeight, smallWidth, smallHeight);
    const auto before = host.report();
    const ULONGLONG started = GetTickCount64();
    host.showDisplay(smallWidth, smallHeight, {{0, 0, smallWidth, smallHeight}});
    const auto arrangedForNewSize = [] {
        return test_support::readStoreLocked(storePath())->areaWidth == smallWidth;
    };
    const bool byHook = test_support::pollUntil(arrangedForNewSize, 10000);
    if (byHook) {
        say("   Kelvara's hook arranged the desktop %.1f s after the change\n",
            double(GetTickCount64() - started) / 1000);
    } else {
        say("   Kelvara's hook did not arrange the desktop within 10 s: the demo calls Refresh "
            "itself\n");
        refresh(tessora);
    }
    check(byHook, "the hook arranged the desktop after the change of size");
    const auto report = settledReport(host);
    printPicture(report);
    check(onOwnCells(report), "every icon on a cell of its own inside the smaller desktop");
    check(!samePositions(positionsOf(report), positionsOf(before)),
          "the groups moved to the new area");
}

// A desktop's colours for the pictures: white labels on blue.
void paintForPictures(const test_support::DesktopHost& host) {
    if (shotFolder.empty())
        return;
    SendMessageW(host.listView(), LVM_SETBKCOLOR, 0, RGB(36, 82, 128));
    SendMessageW(host.listView(), LVM_SETTEXTBKCOLOR, 0, CLR_NONE);
    SendMessageW(host.listView(), LVM_SETTEXTCOLOR, 0, RGB(255, 255, 255));
    InvalidateRect(host.listView(), nullptr, TRUE);
}

// Down to "Arrange now", "Undo", "Redo", "Sort by", then into it.
const std::vector<WPARAM> sortByKeys = {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT};
constexpr char menuCrop[] = "640x400+1280+680";

// Kelvara once more, as a user of the display language this runs in sees it: started on the
// demo's desktop with the settings, history and layouts the demo left, it shows its menu.
int runMenuAgain(const std::string& name) {
    say("\n== Kelvara starts again, in the user's display language ==\n");
    test_support::DesktopHost host(demoDesktop());
    paintForPictures(host);
    Launcher kelvara;
    check(
        test_support::pollUntil([&] { return trayIconShown(host) || !kelvara.running(); }, 30000) &&
            kelvara.running(),
        "Kelvara's icon is in the notification area");
    settledReport(host);
    showMenu(host, GetProcessId(kelvara.process()), sortByKeys, name.c_str(), menuCrop);
    check(kelvara.quit(0) == 0u, "Kelvara ends with the quit message's code 0");
    return faults == 0 ? 0 : 1;
}

int runDemo() {
    const ULONGLONG started = GetTickCount64();
    say("Kelvara demo%s\n\n", shortForm ? " (short form)" : "");
    printLegend();

    forgetUser();
    test_support::DesktopHost host(demoDesktop());
    paintForPictures(host);
    say("\n== The desktop before Kelvara: icons where the user dropped them ==\n");
    printPicture(host.report());
    screenshot("before");

    registerComponent(true);
    say("\nregsvr32 Tessora.dll: registered\n");

    say("\n== Kelvara.exe starts (first start): it arranges the desktop and shows the welcome "
        "dialog ==\n");
    // However the demo ends, no welcome dialog stays behind.
    struct WelcomeCloser {
        ~WelcomeCloser() {
            if (HWND dialog = welcomeDialog())
                closeWelcome(dialog);
        }
    } welcomeCloser;
    Launcher kelvara;
    if (!test_support::pollUntil(
            [&] { return startedFlag().value_or(0) != 0 || !kelvara.running(); }, 30000) ||
        !kelvara.running())
        throw std::runtime_error("Kelvara did not start (exit code " +
                                 std::to_string(kelvara.exitCode()) + ")");
    WaitForInputIdle(kelvara.process(), 20000);
    HWND welcome = nullptr;
    test_support::pollUntil([&] { return (welcome = welcomeDialog()) != nullptr; }, 15000);
    // Its icon comes once both arrangements of the first start have been made.
    check(test_support::pollUntil([&] { return trayIconShown(host); }, 30000),
          "Kelvara's icon is in the notification area, with the tooltip \"Kelvara\"");
    const auto arranged = settledReport(host);
    printPicture(arranged);
    check(kelvara.running(), "Kelvara runs");
    check(welcome != nullptr, "the welcome dialog is open");
    check(onOwnCells(arranged), "every icon tidied onto a cell of its own, where the user had it");
    screenshot("arranged-welcome");
    if (welcome != nullptr) {
        const auto code = closeWelcome(welcome);
        check(code.has_value(), "the welcome dialog closes with its Close button");
    }

    showMenu(host, GetProcessId(kelvara.process()), sortByKeys, "menu", menuCrop);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<ITessora> tessora;
        succeed(
            CoCreateInstance(CLSID_Tessora, nullptr, CLSCTX_INPROC_SERVER, IID_ITessora, &tessora),
            "creating Tessora.Tessora");
        showEdges(host, tessora.Get());
        undoAndLayouts(host, GetProcessId(kelvara.process()));
        regroup(host, tessora.Get(), positionsOf(arranged));
        screenshot("grouped");
        twoMonitors(host);
        changeSize(host, tessora.Get());
        screenshot("resized",
                   std::to_string(smallWidth) + "x" + std::to_string(smallHeight) + "+0+0");
    }

    say("\n== Kelvara ends: PostThreadMessage(thread %lu, WM_QUIT, 0) ==\n", kelvara.thread());
    const auto code = kelvara.quit(0);
    if (code)
        say("   Kelvara.exe ended with exit code %lu\n", *code);
    check(code == 0u, "Kelvara ends with the quit message's code 0");

    if (shortForm) {
        registerComponent(false);
        forgetUser();
    }
    say("\nThe demo took %.0f s; %d fault%s.\n", double(GetTickCount64() - started) / 1000, faults,
        faults == 1 ? "" : "s");
    return faults == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::string menuAgain;
    _setmode(_fileno(stdout), _O_BINARY); // plain line feeds in a Linux terminal
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--short") {
            shortForm = true;
        } else if (argument == L"--screenshots" && i + 1 < argc) {
            shotFolder = argv[++i];
        } else if (argument == L"--menu-again" && i + 1 < argc) {
            menuAgain = toUtf8(argv[++i]);
        } else {
            say("usage: kelvara_demo [--short] [--screenshots FOLDER] [--menu-again NAME]\n");
            return 2;
        }
    }
    try {
        return menuAgain.empty() ? runDemo() : runMenuAgain(menuAgain);
    } catch (const std::exception& error) {
        say("\nThe demo failed: %s\n", error.what());
        return 1;
    }
}
