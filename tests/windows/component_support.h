// Helpers of the component's tests under Wine: registering the build's Tessora.dll, creating the
// object, keeping the user's settings and icon store as they were, running other programs, and
// working out where an arrangement has to put the desktop host's icons.
//
// Tests run one at a time in one shared prefix and in any order: a test that needs the component
// registers it itself (registerComponent), and one that changes the settings key or the store
// keeps them with SavedKey and SavedFile, which put them back however the test ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include <wrl/client.h>

#include "desktop_access/geometry.h"
#include "tessora.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"

namespace test_support {

// Tessora.dll of the build, next to the test program.
std::wstring componentPath();

// Runs a command line (a program on the system's search path, or a full path) in a folder (the
// test program's when empty) and waits for it. Returns its exit code; what it writes to its
// standard output and error is appended to output when one is given.
DWORD runCommand(const std::wstring& commandLine, const std::wstring& folder = L"",
                 std::string* output = nullptr, DWORD timeoutMs = 60000);

// regsvr32 /s on the build's Tessora.dll: registered for all users, as the tests expect.
void registerComponent();

// COM on the calling thread, a single-threaded apartment, for the object's life.
struct Apartment {
    Apartment();
    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

// A Tessora object made in-process by its class identifier; throws std::runtime_error.
Microsoft::WRL::ComPtr<ITessora> createTessora();

// The values of a registry key (one value, when a name is given) as they were, put back when the
// object goes: the key is removed when it did not exist, and so is a value that did not exist.
class SavedKey {
  public:
    explicit SavedKey(HKEY root = HKEY_CURRENT_USER, std::wstring path = L"Software\\Kelvara",
                      std::optional<std::wstring> valueName = std::nullopt);
    ~SavedKey();
    SavedKey(const SavedKey&) = delete;
    SavedKey& operator=(const SavedKey&) = delete;

  private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    HKEY root_;
    std::wstring path_;
    std::optional<std::wstring> valueName_;
    bool existed_ = false;
    std::vector<Value> values_;
};

// A file's content, or its absence, put back when the object goes.
class SavedFile {
  public:
    explicit SavedFile(std::filesystem::path path);
    ~SavedFile();
    SavedFile(const SavedFile&) = delete;
    SavedFile& operator=(const SavedFile&) = delete;

  private:
    std::filesystem::path path_;
    std::optional<std::string> content_;
};

// The icon store and the files beside it (layouts, last display, usage journal, history, named
// layouts), as they were, put back when the object goes.
class SavedStore {
  public:
    explicit SavedStore(const std::filesystem::path& store);

  private:
    SavedFile store_;
    SavedFile layouts_;
    SavedFile lastDisplay_;
    SavedFile usageJournal_;
    SavedFile history_;
    SavedFile named_;
};

// Removes the icon store and the files beside it: a user who never ran Kelvara.
void removeStore(const std::filesystem::path& store);

// The settings key, HKEY_CURRENT_USER\Software\Kelvara, and its values.
inline constexpr wchar_t settingsPath[] = L"Software\\Kelvara";
void removeSettings();
void setSetting(const wchar_t* name, DWORD type, const void* data, DWORD size);
void setSetting(const wchar_t* name, DWORD value);
// The value's type and first four bytes, or nothing when it is missing.
std::optional<std::pair<DWORD, DWORD>> settingOf(const wchar_t* name);
bool settingsKeyExists();

// A path in the temporary folder, its name made of the test process's id and the purpose.
std::filesystem::path temporaryPath(const wchar_t* purpose);

// The user's icon store: Kelvara.store in the local application data folder.
std::filesystem::path userStorePath();
// Writes a store with a zero grid that names these icons with these counts, at places that are
// not theirs.
void writeStore(const std::filesystem::path& path,
                const std::vector<std::pair<std::wstring, std::uint32_t>>& counts);
std::string fileBytes(const std::filesystem::path& path);
// Every key and value below a registry key, as "\\sub\\key|value=type:data" lines (the key's own
// path left out); empty when the key does not exist.
std::set<std::wstring> registryTree(HKEY root, const std::wstring& path);
// The names of a registry key's subkeys; none when the key does not exist.
std::set<std::wstring> subKeysOf(HKEY root, const std::wstring& path);
// Usage count by label, as the store holds them.
std::map<std::wstring, std::uint32_t> storedUsage(const std::filesystem::path& path);

// Seven icons scattered off the grid of a 1280 x 984 work area, three of them files on the
// desktop, so that the name sorter has both kinds of item to tell apart.
HostDescription scatteredDesktop();

// Where an arrangement by these methods puts each icon of the running desktop (list-view
// position, by list-view index): the strategies of the component run here, over a snapshot of
// the same desktop and a copy of the same store (none for an empty path).
std::vector<POINT> expectedPositions(std::int32_t sortMethod, std::int32_t arrangeMethod,
                                     bool locked, const std::filesystem::path& store,
                                     std::int32_t monitors = 0);

// Waits until the arrangement whose snapshot is under way, if any, has saved the store (it holds
// the store lock until then, its glide started), and then until no glide runs anywhere in the
// session (the glide turn is free). Throws std::runtime_error when a glide does not end in 30 s.
void waitForGlides();

// Waits until the display the last arrangement on the store was made on has been shown for the
// seconds (since the first arrangement on it, as Kelvara.display records). Throws
// std::runtime_error when no arrangement is recorded.
void holdLastDisplay(const std::filesystem::path& store, double seconds);

// Starts activator.exe to make count IconActivated calls from another process, and lets it go
// once it has made its object. Throws std::runtime_error when it does not get so far in 30 s.
Process startActivator(int count);

// A backup tool or an indexer: holds the file open, sharing only reading, at random moments, for
// up to a second at a time, as long as the object lives.
class FileHolder {
  public:
    FileHolder(std::filesystem::path file, std::uint32_t seed);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    std::atomic<int> holds{0};

  private:
    void pause(int milliseconds);
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// How the host's icons stand on a display of these work areas (cells of 75 x 75 plus the gap):
// how many are not wholly on one screen, and how many share a cell with one before them.
struct ScreenCounts {
    int outside = 0;
    int doubled = 0;
};
ScreenCounts screenCounts(const DesktopHost& host, const std::vector<desktop_access::Rect>& areas);

// The positions the host's list view holds now, by list-view index.
std::vector<POINT> hostPositions(const DesktopHost& host);
// Polls until the host's icons stand at the positions; false when they do not within the time.
bool waitForPositions(const DesktopHost& host, const std::vector<POINT>& positions,
                      DWORD timeoutMs = 5000);

} // namespace test_support
