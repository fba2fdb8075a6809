#include "tests/windows/component_support.h"

#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

#include <shlobj.h>

#include "component/arrangement.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "desktop_access/snapshot.h"
#include "desktop_access/unsaved_usage.h"
#include "organizers/placement/on_screen.h"
#include "tests/windows/test_support.h"
#include "tests/windows/utf8_win32.h"
#include "winapi/named_lock.h"
#include "winapi/text_win32.h"

namespace test_support {

std::filesystem::path temporaryPath(const wchar_t* purpose) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::filesystem::path(folder) /
           (L"kelvara-" + std::to_wstring(GetCurrentProcessId()) + L"-" + purpose);
}

std::wstring componentPath() {
    return programFolder() + L"Tessora.dll";
}

DWORD runCommand(const std::wstring& commandLine, const std::wstring& folder, std::string* output,
                 DWORD timeoutMs) {
    const std::filesystem::path outputFile = temporaryPath(L"output.txt");
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    winapi::SharedHandle file = winapi::ownHandle(
        CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file)
        throw std::runtime_error("cannot make the output file of a command");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = winapi::raw(file);
    startup.hStdError = winapi::raw(file);
    const Process process = createProcess(L"", commandLine, true, CREATE_NO_WINDOW, startup,
                                          folder.empty() ? programFolder() : folder);
    const DWORD code = process.wait(timeoutMs);
    if (code == STILL_ACTIVE)
        TerminateProcess(winapi::raw(process.handle), 1);
    file.reset(); // a program it started may still hold the file open, and keep it
    if (output != nullptr)
        *output += fileBytes(outputFile);
    std::error_code ignored;
    std::filesystem::remove(outputFile, ignored);
    if (code == STILL_ACTIVE)
        throw std::runtime_error("did not end in time: " + toUtf8(commandLine));
    return code;
}

void registerComponent() {
    if (runCommand(L"regsvr32.exe /s \"" + componentPath() + L"\"") != 0)
        throw std::runtime_error("regsvr32 could not register Tessora.dll");
}

Apartment::Apartment() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}
Apartment::~Apartment() {
    CoUninitialize();
}

Microsoft::WRL::ComPtr<ITessora> createTessora() {
    Microsoft::WRL::ComPtr<ITessora> tessora;
    const HRESULT result =
        CoCreateInstance(CLSID_Tessora, nullptr, CLSCTX_INPROC_SERVER, IID_ITessora, &tessora);
    if (FAILED(result))
        throw std::runtime_error("cannot create Tessora: " + std::to_string(result));
    return tessora;
}

// --- the registry and the store as they were ---

SavedKey::SavedKey(HKEY root, std::wstring path, std::optional<std::wstring> valueName)
    : root_(root), path_(std::move(path)), valueName_(std::move(valueName)) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    existed_ = true;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        Value value{std::wstring(name, nameLength), type, std::vector<BYTE>(size)};
        if (valueName_ && value.name != *valueName_)
            continue;
        RegQueryValueExW(key, value.name.c_str(), nullptr, nullptr, value.data.data(), &size);
        values_.push_back(std::move(value));
    }
    RegCloseKey(key);
}

SavedKey::~SavedKey() {
    if (valueName_) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, valueName_->c_str());
            RegCloseKey(key);
        }
    } else {
        RegDeleteTreeW(root_, path_.c_str());
    }
    if (!existed_)
        return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    for (const Value& value : values_)
        RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                       DWORD(value.data.size()));
    RegCloseKey(key);
}

SavedFile::SavedFile(std::filesystem::path path) : path_(std::move(path)) {
    if (std::filesystem::exists(path_))
        content_ = fileBytes(path_);
}

SavedFile::~SavedFile() {
    std::error_code ignored;
    if (content_)
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << *content_;
    else
        std::filesystem::remove(path_, ignored);
}

void removeSettings() {
    RegDeleteTreeW(HKEY_CURRENT_USER, settingsPath);
}

void setSetting(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settingsPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot make the settings key");
    const LSTATUS status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot set a setting");
}

void setSetting(const wchar_t* name, DWORD value) {
    setSetting(name, REG_DWORD, &value, sizeof value);
}

std::optional<std::pair<DWORD, DWORD>> settingOf(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    BYTE data[4] = {};
    DWORD size = sizeof data;
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0;
    std::memcpy(&value, data, sizeof value);
    return std::pair{type, value};
}

bool settingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::filesystem::path userStorePath() {
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE))
        throw std::runtime_error("no local application data folder");
    return std::filesystem::path(folder) / L"Kelvara.store";
}

void writeStore(const std::filesystem::path& path,
                const std::vector<std::pair<std::wstring, std::uint32_t>>& counts) {
    std::ostringstream bytes;
    bytes << "0:0\n0:0\n0:0\n0:0\n";
    for (const auto& [name, usage] : counts)
        bytes << toUtf8(name) << "\n-900:-900\n75:75\n" << usage << "\n";
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes.str();
    if (!file.flush())
        throw std::runtime_error("cannot write a store");
}

SavedStore::SavedStore(const std::filesystem::path& store)
    : store_(store), layouts_(desktop_access::layoutsPathFor(store)),
      lastDisplay_(desktop_access::lastDisplayPathFor(store)),
      usageJournal_(desktop_access::usageJournalPathFor(store)),
      history_(desktop_access::historyPathFor(store)),
      named_(desktop_access::namedLayoutsPathFor(store)) {}

void removeStore(const std::filesystem::path& store) {
    std::error_code ignored;
    std::filesystem::remove(store, ignored);
    std::filesystem::remove(desktop_access::layoutsPathFor(store), ignored);
    std::filesystem::remove(desktop_access::lastDisplayPathFor(store), ignored);
    std::filesystem::remove(desktop_access::usageJournalPathFor(store), ignored);
    std::filesystem::remove(desktop_access::historyPathFor(store), ignored);
    std::filesystem::remove(desktop_access::namedLayoutsPathFor(store), ignored);
}

std::set<std::wstring> subKeysOf(HKEY root, const std::wstring& path) {
    std::set<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.insert(name);
    }
    RegCloseKey(key);
    return names;
}

// Every key and value below a key, as "sub\key|value=data" lines (the key's own path left out).
std::set<std::wstring> registryTree(HKEY root, const std::wstring& path) {
    std::set<std::wstring> lines;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return lines;
    wchar_t name[256];
    wchar_t data[1024];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256;
        DWORD size = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        std::fill(std::begin(data), std::end(data), L'\0');
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
            break;
        lines.insert(L"|" + std::wstring(name) + L"=" + std::to_wstring(type) + L":" + data);
    }
    RegCloseKey(key);
    const std::set<std::wstring> children = subKeysOf(root, path);
    for (const std::wstring& child : children) {
        lines.insert(L"\\" + child);
        for (const std::wstring& line : registryTree(root, path + L"\\" + child))
            lines.insert(L"\\" + child + line);
    }
    return lines;
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::map<std::wstring, std::uint32_t> storedUsage(const std::filesystem::path& path) {
    const auto stored = readStoreLocked(path);
    std::map<std::wstring, std::uint32_t> usage;
    for (const desktop_access::IconRecord& record : stored->icons)
        usage.emplace(winapi::toWide(record.name), record.usage);
    return usage;
}

// --- where the icons have to go ---

HostDescription scatteredDesktop() {
    HostDescription description;
    description.workAreas = {{0, 0, 1280, 984}};
    description.icons = {{L"Zulu.txt", 700, 420}, {L"alpha.txt", 130, 610},
                         {L"Mike", 1030, 90},     {L"Trash", 400, 300},
                         {L"bravo", 60, 40},      {L"Kilo.doc", 1200, 800},
                         {L"Echo", 880, 610}};
    description.files = {{L"Zulu.txt"}, {L"alpha.txt"}, {L"Kilo.doc"}};
    return description;
}

std::vector<POINT> expectedPositions(std::int32_t sortMethod, std::int32_t arrangeMethod,
                                     bool locked, const std::filesystem::path& store,
                                     std::int32_t monitors) {
    // A copy, so that this snapshot reads what the component's will and leaves the store alone.
    std::filesystem::path copy;
    if (!store.empty()) {
        copy = temporaryPath(L"store-copy");
        std::error_code ignored;
        std::filesystem::remove(copy, ignored);
        const winapi::NamedLock lock(winapi::storeLockName);
        if (std::filesystem::exists(store))
            std::filesystem::copy_file(store, copy);
        for (const auto beside :
             {&desktop_access::layoutsPathFor, &desktop_access::lastDisplayPathFor}) {
            std::filesystem::remove(beside(copy), ignored);
            if (std::filesystem::exists(beside(store)))
                std::filesystem::copy_file(beside(store), beside(copy));
        }
    }
    std::vector<POINT> positions;
    {
        desktop_access::Desktop& desktop = desktop_access::getDesktop();
        const desktop_access::StoreSession session(copy);
        const desktop_access::DesktopProxy snapshot =
            desktop_access::readDesktop(desktop, session, organizers::shellNeedsOf(sortMethod));
        const auto placed = organizers::plan(snapshot, component::memoryOf(session, snapshot),
                                             {sortMethod, arrangeMethod, locked, monitors});
        if (!placed)
            throw std::invalid_argument("no strategy for that method");
        positions.resize(placed->size());
        for (const desktop_access::IconRecord& record : *placed)
            positions.at(std::size_t(record.icon.index)) = {record.left + record.offsetX,
                                                            record.top + record.offsetY};
    }
    if (!copy.empty())
        removeStore(copy);
    return positions;
}

void waitForGlides() {
    { const winapi::NamedLock store(winapi::storeLockName); }
    const winapi::SharedHandle turn =
        winapi::ownHandle(CreateMutexW(nullptr, FALSE, desktop_access::glideTurnName));
    const DWORD waited = turn ? WaitForSingleObject(winapi::raw(turn), 30000) : WAIT_FAILED;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        throw std::runtime_error("a glide did not end");
    ReleaseMutex(winapi::raw(turn));
}

void holdLastDisplay(const std::filesystem::path& store, double seconds) {
    std::optional<desktop_access::LastDisplay> last;
    {
        const winapi::NamedLock lock(winapi::storeLockName);
        last = desktop_access::readLastDisplay(desktop_access::lastDisplayPathFor(store));
    }
    if (!last)
        throw std::runtime_error("no arrangement is recorded");
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t at = (std::uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::uint64_t until = last->since + std::uint64_t(seconds * 1e7);
    if (until > at)
        Sleep(DWORD((until - at) / 10000 + 1));
}

Process startActivator(int count) {
    const winapi::SharedHandle ready =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.activatorReady"));
    const winapi::SharedHandle go =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.go"));
    ResetEvent(winapi::raw(ready));
    ResetEvent(winapi::raw(go));
    Process activator = startProgram(L"activator.exe", std::to_wstring(count));
    if (WaitForSingleObject(winapi::raw(ready), 30000) != WAIT_OBJECT_0)
        throw std::runtime_error("the activator did not make its object");
    SetEvent(winapi::raw(go));
    return activator;
}

FileHolder::FileHolder(std::filesystem::path file, std::uint32_t seed)
    : thread_([this, file = std::move(file), seed] {
          std::mt19937 random(seed);
          while (!stop_) {
              pause(std::uniform_int_distribution<int>(0, 2000)(random));
              const winapi::SharedHandle held = winapi::ownHandle(
                  CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
              if (held)
                  ++holds;
              pause(std::uniform_int_distribution<int>(0, 1000)(random));
          }
      }) {}

FileHolder::~FileHolder() {
    stop_ = true;
    thread_.join();
}

void FileHolder::pause(int milliseconds) {
    for (int slept = 0; slept < milliseconds && !stop_; slept += 10)
        Sleep(10);
}

ScreenCounts screenCounts(const DesktopHost& host, const std::vector<desktop_access::Rect>& areas) {
    ScreenCounts counts;
    const desktop_access::Grid grid = desktop_access::Grid::measure(areas, 75, 75);
    std::set<std::pair<int, int>> taken;
    for (const ReportedIcon& icon : host.report().icons) {
        desktop_access::IconRecord record;
        record.left = icon.box.left;
        record.top = icon.box.top;
        record.width = icon.box.right - icon.box.left;
        record.height = icon.box.bottom - icon.box.top;
        counts.outside += organizers::placement::onScreen(record, areas) ? 0 : 1;
        const desktop_access::Cell cell = desktop_access::cellOf(record, grid);
        counts.doubled += taken.insert({cell.column, cell.row}).second ? 0 : 1;
    }
    return counts;
}

std::vector<POINT> hostPositions(const DesktopHost& host) {
    std::vector<POINT> positions;
    for (const ReportedIcon& icon : host.report().icons)
        positions.push_back(icon.position);
    return positions;
}

bool waitForPositions(const DesktopHost& host, const std::vector<POINT>& positions,
                      DWORD timeoutMs) {
    return pollUntil([&] { return hostPositions(host) == positions; }, timeoutMs);
}

} // namespace test_support
