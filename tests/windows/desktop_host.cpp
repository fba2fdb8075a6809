#include "tests/windows/desktop_host.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "tests/windows/utf8_win32.h"
#include <shlobj.h>

namespace test_support {
namespace {

constexpr ULONG_PTR commandTag = 0x4B485354;
constexpr wchar_t readyEventName[] = L"Local\\KelvaraDesktopHost.ready";
constexpr wchar_t thawEventName[] = L"Local\\KelvaraDesktopHost.thaw";

std::wstring temporaryFile(const wchar_t* purpose) {
    static int counter = 0;
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"kelvara-host-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"-" + purpose + L".txt";
}

const char* layoutName(HostLayout layout) {
    switch (layout) {
    case HostLayout::workerw:
        return "workerw";
    case HostLayout::noListView:
        return "nolistview";
    default:
        return "shell";
    }
}

void writeDescription(const HostDescription& d, const std::wstring& path) {
    std::ostringstream out;
    out << "layout " << layoutName(d.layout) << "\n";
    if (d.decoy)
        out << "decoy\n";
    out << "size " << d.width << ' ' << d.height << "\n";
    for (const RECT& area : d.workAreas)
        out << "workarea " << area.left << ' ' << area.top << ' ' << area.right << ' '
            << area.bottom << "\n";
    if (d.nativeWorkAreas)
        out << "nativeworkareas\n";
    if (d.broadcast)
        out << "broadcast\n";
    if (d.tray)
        out << "tray\n";
    if (d.deferPaint)
        out << "deferpaint\n";
    for (const HostIcon& icon : d.icons)
        out << "icon " << icon.x << ' ' << icon.y << ' ' << toUtf8(icon.label) << "\n";
    for (const HostFile& file : d.files)
        out << "file " << file.created << ' ' << toUtf8(file.name) << "\n";
    if (d.listStyle)
        out << "style " << std::hex << d.listStyle << std::dec << "\n";
    if (d.listExStyle)
        out << "exstyle " << std::hex << d.listExStyle << std::dec << "\n";
    for (const auto& [directive, items] :
         {std::pair{"refuse", &d.refused}, {"revert", &d.reverted}})
        if (!items->empty()) {
            out << directive;
            for (int index : *items)
                out << ' ' << index;
            out << "\n";
        }
    for (int i = 0; i < d.emptyWorkerChildren; ++i)
        out << "emptyworker child\n";
    for (int i = 0; i < d.emptyTopLevelWorkers; ++i)
        out << "emptyworker top\n";
    if (d.strayList)
        out << "straylist\n";
    out << "owner " << GetCurrentProcessId() << "\n";
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.flush())
        throw std::runtime_error("cannot write the desktop host's description");
}

// The rest of a line after `fields` space-separated fields and one space.
std::string restAfter(const std::string& line, int fields) {
    std::size_t at = 0;
    for (int i = 0; i < fields && at != std::string::npos; ++i)
        at = line.find(' ', line.find_first_not_of(' ', at));
    return at == std::string::npos ? std::string() : line.substr(at + 1);
}

// "notify VERB RESULT WINDOW ID FLAGS CALLBACK INFOFLAGS IMAGE<TAB>TIP<TAB>TITLE<TAB>INFO".
HostNotification parseNotification(const std::string& line) {
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
        const std::size_t tab = line.find('\t', at);
        parts.push_back(line.substr(at, tab == std::string::npos ? tab : tab - at));
        if (tab == std::string::npos)
            break;
        at = tab + 1;
    }
    parts.resize(4);
    HostNotification notification;
    std::istringstream fields(parts[0]);
    std::string kind;
    std::uintptr_t window = 0;
    fields >> kind >> notification.verb >> notification.done >> window >> notification.id >>
        notification.flags >> notification.callbackMessage >> notification.infoFlags >>
        notification.image >> notification.guid;
    notification.window = reinterpret_cast<HWND>(window);
    notification.tip = fromUtf8(parts[1]);
    notification.infoTitle = fromUtf8(parts[2]);
    notification.info = fromUtf8(parts[3]);
    return notification;
}

HostReport parseReport(const std::wstring& path) {
    std::ifstream file{std::filesystem::path(path), std::ios::binary};
    if (!file)
        throw std::runtime_error("the desktop host wrote no report");
    HostReport report;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "shell" || kind == "listview") {
            std::uintptr_t handle = 0;
            fields >> handle;
            (kind == "shell" ? report.shell : report.listView) = reinterpret_cast<HWND>(handle);
        } else if (kind == "process") {
            fields >> report.processId;
        } else if (kind == "workarea") {
            RECT area{};
            fields >> area.left >> area.top >> area.right >> area.bottom;
            report.workAreas.push_back(area);
        } else if (kind == "icon") {
            int index = 0;
            ReportedIcon icon;
            fields >> index >> icon.position.x >> icon.position.y >> icon.box.left >>
                icon.box.top >> icon.box.right >> icon.box.bottom;
            icon.label = fromUtf8(restAfter(line, 8));
            report.icons.push_back(icon);
        } else if (kind == "activated") {
            int index = 0;
            fields >> index;
            report.activated.push_back(index);
        } else if (kind == "countrequests") {
            fields >> report.countRequests;
        } else if (kind == "snapshots") {
            fields >> report.snapshots;
        } else if (kind == "textrequests") {
            fields >> report.textRequests;
        } else if (kind == "paints") {
            fields >> report.paints;
        } else if (kind == "positionsets") {
            fields >> report.positionSets;
        } else if (kind == "drawlog") {
            for (int entry = 0; fields >> entry;)
                report.drawLog.push_back(entry);
        } else if (kind == "staleaddresses") {
            fields >> report.staleAddresses;
        } else if (kind == "notify") {
            report.notifications.push_back(parseNotification(line));
        }
    }
    return report;
}

} // namespace

DesktopHost::DesktopHost(HostDescription description, DWORD readyTimeoutMs)
    : description_(std::move(description)), descriptionFile_(temporaryFile(L"description")) {
    // The shell window is the previous host's until its process has ended.
    if (!pollUntil([] { return GetShellWindow() == nullptr; }, 10000))
        throw std::runtime_error("another program still holds the shell window");
    const winapi::SharedHandle ready =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, readyEventName));
    if (!ready)
        throw std::runtime_error("cannot create the desktop host's ready event");
    ResetEvent(winapi::raw(ready));
    writeDescription(description_, descriptionFile_);

    process_ = startProgram(L"desktop_host.exe", L"\"" + descriptionFile_ + L"\"");
    running_ = true;
    try {
        const HANDLE waitFor[] = {winapi::raw(ready), winapi::raw(process_.handle)};
        const DWORD woken = WaitForMultipleObjects(2, waitFor, FALSE, readyTimeoutMs);
        if (woken == WAIT_OBJECT_0 + 1) {
            running_ = false;
            throw std::runtime_error("the desktop host ended with code " +
                                     std::to_string(process_.wait(0)));
        }
        if (woken != WAIT_OBJECT_0)
            throw std::runtime_error("the desktop host did not get ready");
        shell_ = GetShellWindow();
        DWORD owner = 0;
        GetWindowThreadProcessId(shell_, &owner);
        if (owner != process_.id)
            throw std::runtime_error("the shell window is not the desktop host's");
        listView_ = report().listView;
    } catch (...) {
        shutDown();
        throw;
    }
}

DesktopHost::~DesktopHost() {
    shutDown();
}

bool DesktopHost::command(const std::wstring& text) const {
    COPYDATASTRUCT data{commandTag, DWORD(text.size() * sizeof(wchar_t)),
                        const_cast<wchar_t*>(text.data())};
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(shell_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, 20000, &result) &&
           result == 1;
}

void DesktopHost::freeze(DWORD milliseconds, UINT onMessage, int times) {
    if (!thaw_)
        thaw_ = winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, thawEventName));
    if (!thaw_)
        throw std::runtime_error("cannot create the desktop host's thaw event");
    ResetEvent(winapi::raw(thaw_));
    std::wstring text = L"freeze " + std::to_wstring(milliseconds);
    if (onMessage != 0)
        text += L" " + std::to_wstring(onMessage) + L" " + std::to_wstring(times);
    if (!command(text))
        throw std::runtime_error("the desktop host did not freeze");
}

bool DesktopHost::stillFrozen() const {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(shell_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &answer) == 0;
}

bool DesktopHost::thaw() const {
    if (thaw_)
        SetEvent(winapi::raw(thaw_));
    // Until the host takes its next message the system may count it as hung, and requests that
    // give up on a hung window would fail at once.
    return pollUntil([&] {
        DWORD_PTR answer = 0;
        return SendMessageTimeoutW(shell_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer) != 0;
    });
}

HostReport DesktopHost::report() const {
    const std::wstring path = temporaryFile(L"report");
    if (!command(L"report " + path))
        throw std::runtime_error("the desktop host did not report");
    HostReport report = parseReport(path);
    DeleteFileW(path.c_str());
    return report;
}

namespace {

std::wstring areasText(const std::vector<RECT>& areas) {
    std::wostringstream text;
    for (const RECT& area : areas)
        text << L' ' << area.left << L' ' << area.top << L' ' << area.right << L' ' << area.bottom;
    return text.str();
}

} // namespace

void DesktopHost::setWorkAreas(const std::vector<RECT>& areas) const {
    if (!command(L"workareas" + areasText(areas)))
        throw std::runtime_error("the desktop host did not change its work areas");
}

void DesktopHost::showDisplay(LONG width, LONG height, const std::vector<RECT>& areas) const {
    if (!command(L"display " + std::to_wstring(width) + L" " + std::to_wstring(height) +
                 areasText(areas)))
        throw std::runtime_error("the desktop host did not show the display");
}

void DesktopHost::resize(LONG width, LONG height) const {
    resize({{width, height}});
}

void DesktopHost::resize(const std::vector<SIZE>& sizes) const {
    std::wstring text = L"size";
    for (const SIZE& size : sizes)
        text += L" " + std::to_wstring(size.cx) + L" " + std::to_wstring(size.cy);
    if (!command(text))
        throw std::runtime_error("the desktop host did not resize");
}

void DesktopHost::moveByHand(int index, LONG x, LONG y) const {
    if (!command(L"move " + std::to_wstring(index) + L" " + std::to_wstring(x) + L" " +
                 std::to_wstring(y)))
        throw std::runtime_error("the desktop host did not move the icon");
}

void DesktopHost::insert(LONG x, LONG y, const std::wstring& label) const {
    if (!command(L"insert " + std::to_wstring(x) + L" " + std::to_wstring(y) + L" " + label))
        throw std::runtime_error("the desktop host did not add the icon");
}

void DesktopHost::rename(int index, const std::wstring& label) const {
    if (!command(L"rename " + std::to_wstring(index) + L" " + label))
        throw std::runtime_error("the desktop host did not rename the icon");
}

void DesktopHost::remove(int index) const {
    if (!command(L"delete " + std::to_wstring(index)))
        throw std::runtime_error("the desktop host did not remove the icon");
}

void DesktopHost::activate(int index) const {
    if (!command(L"activate " + std::to_wstring(index)))
        throw std::runtime_error("the desktop host did not open the icon");
}

void DesktopHost::clickTrayIcon(const std::wstring& kind) const {
    if (!command(L"trayclick " + kind))
        throw std::runtime_error("the desktop host has no icon to click");
}

DWORD DesktopHost::quit() {
    if (!running_)
        return process_.wait(0);
    command(L"quit");
    const DWORD code = process_.wait(10000);
    if (code == STILL_ACTIVE)
        throw std::runtime_error("the desktop host did not end");
    running_ = false;
    shutDown();
    return code;
}

void DesktopHost::shutDown() noexcept {
    if (thaw_)
        SetEvent(winapi::raw(thaw_)); // a frozen host could not end cleanly
    if (running_) {
        if (shell_ != nullptr)
            command(L"quit");
        if (process_.wait(shell_ != nullptr ? 10000 : 0) == STILL_ACTIVE) {
            TerminateProcess(winapi::raw(process_.handle), 1);
            process_.wait(10000);
        }
        running_ = false;
    }
    // A host that had to be stopped could not remove its files.
    const std::wstring folder = desktopFolderPath();
    for (const HostFile& file : description_.files)
        DeleteFileW((folder + L"\\" + file.name).c_str());
    DeleteFileW(descriptionFile_.c_str());
}

bool everyPassRepainted(const std::vector<int>& drawLog) {
    std::set<int> setSincePaint;
    for (const int entry : drawLog) {
        if (entry < 0)
            setSincePaint.clear();
        else if (!setSincePaint.insert(entry).second)
            return false;
    }
    return setSincePaint.empty();
}

std::vector<HostIcon> gridOfIcons(int count, int rowsPerColumn) {
    std::vector<HostIcon> icons;
    for (int i = 0; i < count; ++i) {
        wchar_t label[16];
        swprintf(label, 16, L"Icon %04d", i + 1);
        icons.push_back({label, 50 + 100 * (i / rowsPerColumn), 30 + 100 * (i % rowsPerColumn)});
    }
    return icons;
}

std::wstring desktopFolderPath() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool pollUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(10);
    }
}

} // namespace test_support
