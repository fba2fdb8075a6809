// Drives the desktop host (tests/fixtures/desktop_host.exe), the stand-in for the shell's desktop
// under Wine. A DesktopHost object starts the host with a description of its icons, work areas
// and files, returns once the host's icons are placed and checked, and ends the host when it
// goes away, also when a test fails halfway; the host also ends by itself when the process that
// started it ends. Only one host can run at a time (it owns the shell window): a new one waits
// for the previous host to be gone.
//
//   test_support::HostDescription d;
//   d.workAreas = {{0, 0, 1920, 1040}};
//   d.icons = {{L"Notes.txt", 100, 50}, {L"Trash", 200, 50}};
//   test_support::DesktopHost host(d);          // throws std::runtime_error if it cannot start
//   host.listView();                             // the list view's window
//   host.report().icons[0].position;             // what the list view holds now
//   host.setWorkAreas({{0, 0, 1280, 984}});      // the list view reports these from now on
//   host.resize(1280, 1024);
//   host.freeze(60000);                          // stops answering, until...
//   host.thaw();                                 // ...it answers again
//   host.quit();                                 // or let the destructor end it
//
// Other programs can drive a running host with `desktop_host --send COMMAND`; the commands and
// the description format are documented at the top of tests/fixtures/desktop_host.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <windows.h>

#include "tests/windows/test_support.h"

namespace test_support {

enum class HostLayout {
    shell,      // shell window > SHELLDLL_DefView > SysListView32
    workerw,    // the view below a top-level WorkerW of the shell's thread, none below the shell
                // window
    noListView, // shell window > SHELLDLL_DefView, no list view anywhere
};

struct HostIcon {
    std::wstring label;
    LONG x = 0; // list-view item position
    LONG y = 0;
};

struct HostFile {
    std::wstring name;         // made in the desktop folder of the prefix, deleted at the end
    std::uint64_t created = 0; // creation time as a FILETIME count; 0 leaves it as made
};

struct HostDescription {
    HostLayout layout = HostLayout::shell;
    bool decoy = false; // also a WorkerW holding a second, empty list view
    LONG width = 1920;
    LONG height = 1080;
    std::vector<RECT> workAreas;  // what the list view reports; none by default
    bool nativeWorkAreas = false; // leave the work-area messages to Wine's list view
    bool broadcast = false;       // announce the shell ("TaskbarCreated") once ready
    bool tray = false;            // also play the notification area and record what it is told
    bool deferPaint = false;      // paint the list view only when asked from outside; log the draws
    std::vector<HostIcon> icons;
    std::vector<HostFile> files;
    DWORD listStyle = 0;   // window styles added to the list view once the icons are placed
    DWORD listExStyle = 0; // extended list-view styles added then
    // Items whose positions set from outside are answered and not carried out, and items put
    // back once where they stood, just before their position is next asked after being set.
    std::vector<int> refused;
    std::vector<int> reverted;
    // Empty WorkerW windows below the shell window (with the shell layout, the tree of Windows
    // 11 24H2) and beside it, and an empty list view right below the shell window.
    int emptyWorkerChildren = 0;
    int emptyTopLevelWorkers = 0;
    bool strayList = false;
};

// One Shell_NotifyIconW call the host's notification area received.
struct HostNotification {
    std::string verb;  // "add", "modify", "delete", "setfocus", "setversion"
    bool done = false; // what the area answered
    HWND window = nullptr;
    UINT id = 0;
    UINT flags = 0; // NIF_...
    UINT callbackMessage = 0;
    DWORD infoFlags = 0; // NIIF_...
    std::string image;   // "WxHxBITS:HASH" when an icon came with it (equal for equal pictures)
    std::string guid;    // "{...}" with NIF_GUID, else "-"
    std::wstring tip, infoTitle, info;
};

struct ReportedIcon {
    std::wstring label;
    POINT position{};
    RECT box{}; // LVIR_BOUNDS
};

// What the host's list view holds, read inside the host.
struct HostReport {
    HWND shell = nullptr;
    HWND listView = nullptr;
    DWORD processId = 0;
    std::vector<RECT> workAreas;
    std::vector<ReportedIcon> icons;
    std::vector<int> activated; // item of each LVN_ITEMACTIVATE the view received, in order
    int countRequests = 0;      // item counts asked from other threads: one per desktop snapshot
    int textRequests = 0;       // labels asked from other threads
    int snapshots = 0;          // desktop snapshots taken (work areas asked from other threads)
    int paints = 0;             // repaints asked from other threads (WM_PAINT sent)
    int positionSets = 0;       // positions set from other threads
    std::vector<int> drawLog;   // with deferPaint: item of each position set from outside, -1
                                // for each paint from outside, in order
    int staleAddresses = 0;     // requests whose buffers were freed before the host came to them
    std::vector<HostNotification> notifications; // with tray, in the order they came
};

class DesktopHost {
  public:
    explicit DesktopHost(HostDescription description, DWORD readyTimeoutMs = 30000);
    ~DesktopHost();

    DesktopHost(const DesktopHost&) = delete;
    DesktopHost& operator=(const DesktopHost&) = delete;

    const HostDescription& description() const { return description_; }
    HWND shellWindow() const { return shell_; }
    HWND listView() const { return listView_; } // null in the noListView layout
    DWORD processId() const { return process_.id; }

    HostReport report() const;
    void setWorkAreas(const std::vector<RECT>& areas) const;
    void resize(LONG width, LONG height) const;
    // To each size in turn, in one command: changes closer together than any settling time.
    void resize(const std::vector<SIZE>& sizes) const;
    // Both at once, the size first: the new display in one step.
    void showDisplay(LONG width, LONG height, const std::vector<RECT>& areas) const;
    // The list view reports the item opened (LVN_ITEMACTIVATE), as after a double-click on it.
    void activate(int index) const;
    // The shell moves an item where the user dropped it (list-view position); an item arrives at
    // the end; an item leaves.
    void moveByHand(int index, LONG x, LONG y) const;
    void insert(LONG x, LONG y, const std::wstring& label) const;
    void remove(int index) const;
    // A file renamed: the item's label set anew (LVM_SETITEMTEXT), on the host's own thread.
    void rename(int index, const std::wstring& label) const;
    // With tray: a click on the icon added last, "right" or "double" (see the host's trayclick).
    void clickTrayIcon(const std::wstring& kind) const;
    // Sends one command (see the host); false when the host did not carry it out.
    bool command(const std::wstring& text) const;
    // The host stops answering for at most milliseconds: at once, or with a message, each of the
    // next `times` times that message reaches the list view from another thread (before it is
    // handled).
    void freeze(DWORD milliseconds, UINT onMessage = 0, int times = 1);
    // Whether the host is frozen now: it does not answer a message within a moment. A call that
    // returns while the host is still frozen did not wait for it to answer.
    bool stillFrozen() const;
    // Ends a freeze early (and every freeze still to come of it) and waits until the host
    // answers again; false when it does not.
    bool thaw() const;
    // Ends the host cleanly and waits until its process has ended; returns its exit code.
    DWORD quit();

  private:
    void shutDown() noexcept;

    HostDescription description_;
    std::wstring descriptionFile_;
    Process process_;
    bool running_ = false;
    HWND shell_ = nullptr;
    HWND listView_ = nullptr;
    winapi::SharedHandle thaw_;
};

// Whether every pass of positions set from outside was followed by a repaint: an item is set at
// most once between two paints, and a paint comes after the last set. Passes are told apart by
// the items they set, not by time.
bool everyPassRepainted(const std::vector<int>& drawLog);

// Icons "Icon 0001", "Icon 0002", ... in columns of a grid with 100 x 100 cells from (50, 30).
std::vector<HostIcon> gridOfIcons(int count, int rowsPerColumn = 10);

// The desktop folder of the prefix.
std::wstring desktopFolderPath();

// Polls condition every 10 ms until it holds or timeoutMs have passed; returns its last value.
bool pollUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

} // namespace test_support

// Found by the test macros for the platform's own types, which live in the global namespace.
inline bool operator==(const POINT& a, const POINT& b) {
    return a.x == b.x && a.y == b.y;
}
inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const POINT& p, std::ostream* out) {
    *out << "(" << p.x << ", " << p.y << ")";
}
inline void PrintTo(const RECT& r, std::ostream* out) {
    *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
