// The packages for Windows users: install.cmd and uninstall.cmd from the unpacked zip, run by
// Wine's command interpreter, and the MSI with its winget manifests, installed by Wine's
// msiexec, against the desktop host.
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "component/configuration_win32.h"
#include "desktop_access/layouts.h"

#include <windows.h>

#include <bcrypt.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include "tests/windows/component_support.h"
#include "tests/windows/test_support.h"

namespace {

using test_support::runCommand;

constexpr wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t userClasses[] = L"Software\\Classes\\";
constexpr wchar_t classKey[] = L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}";
const wchar_t* const packageFiles[] = {L"Kelvara.exe", L"Tessora.dll",    L"vantle.dll",
                                       L"Orvinta.exe", L"KelvaraCmd.exe", L"uninstall.cmd"};

std::wstring fullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

// A string value, or "<missing>".
std::wstring stringOf(HKEY root, const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

// The component's COM entries: its classes, its type library and its interfaces.
const wchar_t* const comKeys[] = {
    L"Tessora.Tessora",
    L"Tessora.Tessora.1",
    classKey,
    L"TypeLib\\{F0023CC8-2112-47C6-91BE-FFB097DD269B}",
    L"Interface\\{51B5A026-6F9A-4268-A892-8EFE27EAEFF2}",
    L"Interface\\{2FE1A68D-05EA-490D-8372-89CAFB2309B0}",
};
const HKEY classRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

// The component's COM entries in the user's classes and the machine's together: Windows merges
// the two, and Wine's installer and type-library registration write the machine's.
std::set<std::wstring> comEntries() {
    std::set<std::wstring> lines;
    for (HKEY root : classRoots)
        for (const wchar_t* key : comKeys)
            for (const std::wstring& line :
                 test_support::registryTree(root, std::wstring(L"Software\\Classes\\") + key))
                lines.insert(key + line);
    return lines;
}

void removeComEntries() {
    for (HKEY root : classRoots)
        for (const wchar_t* key : comKeys)
            RegDeleteTreeW(root, (std::wstring(L"Software\\Classes\\") + key).c_str());
}

std::string hex(const std::vector<unsigned char>& bytes) {
    std::ostringstream text;
    for (unsigned char byte : bytes)
        text << "0123456789ABCDEF"[byte >> 4] << "0123456789ABCDEF"[byte & 15];
    return text.str();
}

std::string sha256Of(const std::string& bytes) {
    std::vector<unsigned char> digest(32);
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
        return "<no SHA-256>";
    BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    BCryptHashData(hash, reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.data())),
                   static_cast<ULONG>(bytes.size()), 0);
    BCryptFinishHash(hash, digest.data(), 32, 0);
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return hex(digest);
}

// A property of an MSI package, read from its Property table.
std::wstring msiProperty(const std::wstring& package, const wchar_t* name) {
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS)
        return L"<no package>";
    MSIHANDLE view = 0;
    MSIHANDLE record = 0;
    std::wstring value = L"<missing>";
    const std::wstring query =
        std::wstring(L"SELECT `Value` FROM `Property` WHERE `Property`='") + name + L"'";
    if (MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS &&
        MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t text[256] = {};
        DWORD size = 256;
        if (MsiRecordGetStringW(record, 1, text, &size) == ERROR_SUCCESS)
            value = text;
    }
    for (MSIHANDLE handle : {record, view, database})
        if (handle != 0)
            MsiCloseHandle(handle);
    return value;
}

// The "key: value" lines of a winget manifest (list items as "- key: value" too), by key.
std::multimap<std::string, std::string> manifestFields(const std::filesystem::path& file) {
    std::multimap<std::string, std::string> fields;
    std::istringstream lines(test_support::fileBytes(file));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t start = line.find_first_not_of(" -");
        const std::size_t colon = line.find(": ");
        if (line.empty() || line[0] == '#' || start == std::string::npos ||
            colon == std::string::npos)
            continue;
        std::string value = line.substr(colon + 2);
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
            value = value.substr(1, value.size() - 2);
        fields.emplace(line.substr(start, colon - start), value);
    }
    return fields;
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

bool kelvaraRunning() {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, component::singleInstanceMutex);
    if (mutex == nullptr)
        return false;
    CloseHandle(mutex);
    return true;
}

class PackageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::error_code ignored;
        std::filesystem::remove_all(target, ignored);
        test_support::removeSettings();
        test_support::setSetting(L"Started", 1); // not the first start: no welcome dialog
        test_support::writeStore(store, {{L"Kept", 3}});
    }
    void TearDown() override {
        // However the test ended: nothing of the installation is left, and the build's library
        // is registered for the other tests.
        runCommand(L"taskkill.exe /f /im Kelvara.exe");
        runCommand(L"taskkill.exe /f /im Orvinta.exe");
        for (const wchar_t* key : {classKey, L"Tessora.Tessora", L"Tessora.Tessora.1"})
            RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(userClasses) + key).c_str());
        std::error_code ignored;
        std::filesystem::remove_all(target, ignored);
        DeleteFileW(probe.c_str());
        for (const std::wstring& installer : {msi, updateMsi})
            runCommand(L"msiexec.exe /x \"" + installer + L"\" /qn", L"", nullptr, 120000);
        test_support::registerComponent();
    }

    // Quiet unless told otherwise.
    DWORD msiexec(const std::wstring& arguments, const wchar_t* userInterface = L"/qn") {
        output.clear();
        return runCommand(L"msiexec.exe " + arguments + L" " + userInterface, L"", &output, 120000);
    }
    // The installed-programs entry of a product: its display name and version, publisher and
    // uninstall command ("<missing>" each when there is none). Wine keeps it in the machine's
    // key, Windows a per-user install's in the user's.
    std::wstring installedEntry(const std::wstring& productCode) {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            const std::wstring key =
                L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
            if (stringOf(root, key, L"DisplayName") != L"<missing>")
                return stringOf(root, key, L"DisplayName") + L" " +
                       stringOf(root, key, L"DisplayVersion") + L" " +
                       stringOf(root, key, L"Publisher") + L" " +
                       stringOf(root, key, L"UninstallString");
        }
        return L"<missing>";
    }
    // The process of the running Kelvara, or null.
    static HANDLE kelvaraProcess() {
        const HWND window = FindWindowW(component::launcherWindowClass, nullptr);
        DWORD processId = 0;
        if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0)
            return nullptr;
        return OpenProcess(SYNCHRONIZE, FALSE, processId);
    }
    // What the install wrote and the uninstall removes: the program folder, the start-up value,
    // the Start menu shortcut and the installer's record of its parts.
    void expectNothingInstalledLeft() {
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_EQ(stringOf(HKEY_CURRENT_USER, runKey, L"Kelvara"), L"<missing>");
        EXPECT_FALSE(std::filesystem::exists(shortcut));
        EXPECT_EQ(comEntries(), std::set<std::wstring>{});
        HKEY key = nullptr;
        EXPECT_NE(
            RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kelvara\\Installation", 0, KEY_READ, &key),
            ERROR_SUCCESS);
        EXPECT_EQ(installedEntry(productCode), L"<missing>");
        EXPECT_FALSE(creatableByProgId());
    }

    DWORD run(const std::wstring& script, const std::wstring& folder) {
        output.clear();
        return runCommand(L"cmd.exe /c " + script, folder, &output, 120000);
    }
    // Whether a script client can create the component by its ProgID (in a process of its own,
    // which lets go of the library when it ends).
    bool creatableByProgId() {
        std::ofstream(std::filesystem::path(probe), std::ios::binary)
            << "try { new ActiveXObject(\"Tessora.Tessora\").IsLocked(); WScript.Quit(0); }\r\n"
               "catch (e) { WScript.Quit(1); }\r\n";
        return runCommand(L"cscript.exe //nologo \"" + probe + L"\"") == 0;
    }
    std::wstring registeredLibrary() {
        return stringOf(HKEY_CURRENT_USER,
                        std::wstring(userClasses) + classKey + L"\\InprocServer32");
    }

    static std::wstring localAppData() {
        wchar_t folder[MAX_PATH] = {};
        SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE);
        return folder;
    }

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    test_support::SavedKey startUp{HKEY_CURRENT_USER, runKey, L"Kelvara"};
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
    const std::wstring package =
        fullPath(test_support::programFolder() + L"..\\package-test\\" KELVARA_PACKAGE_NAME L"\\");
    const std::wstring target = localAppData() + L"\\Programs\\Kelvara";
    const std::wstring probe = test_support::programFolder() + L"kelvara-progid-probe.js";
    const std::wstring packageFolder =
        fullPath(test_support::programFolder() + L"..\\package-test\\");
    const std::wstring msi = packageFolder + L"Kelvara-" KELVARA_VERSION L"-x64.msi";
    const std::wstring updateVersion = [this] {
        const std::string text =
            test_support::fileBytes(std::filesystem::path(packageFolder) / L"update-version.txt");
        return std::wstring(text.begin(), text.end());
    }();
    const std::wstring updateMsi = packageFolder + L"Kelvara-" + updateVersion + L"-x64.msi";
    const std::wstring productCode = msiProperty(msi, L"ProductCode");
    const std::wstring shortcut = [] {
        wchar_t folder[MAX_PATH] = {};
        SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, FALSE);
        return std::wstring(folder) + L"\\Kelvara.lnk";
    }();
    std::string output;
};

TEST_F(PackageTest, InstallThenUninstallLeavingTheSettingsAndTheStore) {
    test_support::HostDescription description;
    description.workAreas = {{0, 0, 1280, 984}};
    description.icons = {{L"Kept", 700, 400}, {L"Trash", 95, 610}, {L"Letter.txt", 310, 45}};
    test_support::DesktopHost host(description);

    ASSERT_EQ(run(L"install.cmd", package), 0u) << output;
    for (const wchar_t* file : packageFiles) {
        const std::filesystem::path installed = std::filesystem::path(target) / file;
        ASSERT_TRUE(std::filesystem::exists(installed)) << installed;
        EXPECT_EQ(test_support::fileBytes(installed),
                  test_support::fileBytes(std::filesystem::path(package) / file));
    }
    EXPECT_EQ(registeredLibrary(), target + L"\\Tessora.dll") << "registered for this user";
    EXPECT_EQ(stringOf(HKEY_CURRENT_USER, std::wstring(userClasses) + L"Tessora.Tessora\\CLSID"),
              L"{110412F3-5894-4C12-9E7B-D688903AC288}");
    EXPECT_TRUE(creatableByProgId());
    EXPECT_EQ(stringOf(HKEY_CLASSES_ROOT, std::wstring(classKey) + L"\\InprocServer32"),
              target + L"\\Tessora.dll")
        << "activation finds the installed library";
    EXPECT_EQ(stringOf(HKEY_CURRENT_USER, runKey, L"Kelvara"), L"\"" + target + L"\\Kelvara.exe\"");

    // Started: it takes the single-instance mutex and arranges the desktop, writing the store.
    ASSERT_TRUE(test_support::pollUntil(kelvaraRunning, 15000));
    ASSERT_TRUE(test_support::pollUntil(
        [&] { return test_support::storedUsage(store).size() == 3; }, 15000));
    EXPECT_EQ(test_support::storedUsage(store).at(L"Kept"), 3u);
    // The command line runs from the installed folder and reaches the installed component.
    std::string status;
    EXPECT_EQ(runCommand(L"\"" + target + L"\\KelvaraCmd.exe\" status", L"", &status), 0u)
        << status;
    EXPECT_NE(status.find("\r\nicons: 3\r\n"), std::string::npos) << status;
    const std::string storeBefore = test_support::fileBytes(store);

    // Wine keeps a hook library loaded in the hooked process until that process ends (Windows
    // lets go of it once the hook is gone): the shell goes first, Kelvara keeps running.
    host.quit();
    ASSERT_TRUE(kelvaraRunning());

    ASSERT_EQ(run(L"uninstall.cmd", package), 0u) << output;
    EXPECT_TRUE(test_support::pollUntil([] { return !kelvaraRunning(); }, 5000)) << "stopped";
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(registeredLibrary(), L"<missing>");
    EXPECT_EQ(stringOf(HKEY_CLASSES_ROOT, std::wstring(classKey) + L"\\InprocServer32"),
              L"<missing>");
    EXPECT_FALSE(creatableByProgId());
    EXPECT_EQ(stringOf(HKEY_CURRENT_USER, runKey, L"Kelvara"), L"<missing>");
    // What the user had stays for a later installation.
    EXPECT_EQ(test_support::settingOf(L"Started"),
              (std::optional<std::pair<DWORD, DWORD>>{{REG_DWORD, 1}}));
    EXPECT_EQ(test_support::fileBytes(store), storeBefore);
}

TEST_F(PackageTest, UninstallFromTheInstalledFolderWithPurgeRemovesSettingsAndStoreToo) {
    ASSERT_EQ(run(L"install.cmd /nostart", package), 0u) << output;
    EXPECT_FALSE(kelvaraRunning());
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(target) / L"uninstall.cmd"));
    // Every file beside the store, a set-aside damaged one of named layouts too.
    std::vector<std::filesystem::path> beside;
    for (const wchar_t* extension :
         {L".layouts", L".display", L".usage", L".history", L".named", L".named.damaged"}) {
        beside.push_back(std::filesystem::path(store).replace_extension(extension));
        std::ofstream(beside.back(), std::ios::binary) << "Kelvara\n";
    }
    // Installing again over an installed copy updates it.
    ASSERT_EQ(run(L"install.cmd /nostart", package), 0u) << output;

    // The folder, with the script, goes once the script has ended. (Not started in that folder:
    // under Wine the folder a command interpreter was started in stays in use while it, or a
    // program it starts, runs, whatever its working folder has become since.)
    ASSERT_EQ(run(L"\"" + target + L"\\uninstall.cmd\" /purge", L""), 0u) << output;
    EXPECT_TRUE(test_support::pollUntil([&] { return !std::filesystem::exists(target); }, 10000));

    EXPECT_EQ(registeredLibrary(), L"<missing>");
    EXPECT_EQ(stringOf(HKEY_CURRENT_USER, runKey, L"Kelvara"), L"<missing>");
    EXPECT_FALSE(test_support::settingsKeyExists());
    EXPECT_FALSE(std::filesystem::exists(store));
    for (const std::filesystem::path& file : beside)
        EXPECT_FALSE(std::filesystem::exists(file)) << file.string() << " goes too";
}

TEST_F(PackageTest, TheScriptsAndThePolicyTemplateHaveWindowsLineEndings) {
    for (const wchar_t* script : {L"install.cmd", L"uninstall.cmd", L"policies\\Kelvara.admx",
                                  L"policies\\en-US\\Kelvara.adml"}) {
        const std::string text = test_support::fileBytes(std::filesystem::path(package) / script);
        ASSERT_FALSE(text.empty());
        std::size_t lineFeeds = 0;
        std::size_t pairs = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') {
                ++lineFeeds;
                pairs += i > 0 && text[i - 1] == '\r';
            }
        EXPECT_EQ(pairs, lineFeeds);
    }
}

TEST_F(PackageTest, UnknownArgumentsChangeNothing) {
    EXPECT_EQ(run(L"install.cmd /everyone", package), 1u) << output;
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(run(L"uninstall.cmd /all", package), 1u) << output;
    EXPECT_TRUE(test_support::settingsKeyExists());
    EXPECT_TRUE(std::filesystem::exists(store));
}

TEST_F(PackageTest, MsiInstallsForTheUserWithTheRegistrationsEntriesAndUninstallsKeepingTheData) {
    test_support::HostDescription description;
    description.icons = {{L"Kept", 700, 400}, {L"Trash", 95, 610}};
    test_support::DesktopHost host(description);
    removeComEntries(); // the build's own registration, put back afterwards
    const std::string storeBefore = test_support::fileBytes(store);

    ASSERT_EQ(msiexec(L"/i \"" + msi + L"\""), 0u) << output;
    for (const wchar_t* file : packageFiles) {
        if (std::wstring(file) == L"uninstall.cmd")
            continue; // the zip's; the installer has its own uninstall
        const std::filesystem::path installed = std::filesystem::path(target) / file;
        EXPECT_EQ(test_support::fileBytes(installed),
                  test_support::fileBytes(std::filesystem::path(package) / file))
            << installed;
    }
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(target) / L"policies\\Kelvara.admx"));
    EXPECT_EQ(stringOf(HKEY_CURRENT_USER, runKey, L"Kelvara"), L"\"" + target + L"\\Kelvara.exe\"");
    EXPECT_TRUE(std::filesystem::exists(shortcut)) << narrow(shortcut);
    EXPECT_EQ(installedEntry(productCode),
              L"Kelvara " KELVARA_VERSION L" Kelvara MsiExec.exe /X" + productCode);
    EXPECT_TRUE(creatableByProgId()) << "a script reaches the installed component";
    EXPECT_FALSE(kelvaraRunning()) << "a quiet install starts nothing unless asked";

    const std::set<std::wstring> installed = comEntries();
    EXPECT_TRUE(installed.count(std::wstring(classKey) + L"\\InprocServer32|=1:" + target +
                                L"\\Tessora.dll"));

    ASSERT_EQ(msiexec(L"/x " + productCode), 0u) << output;
    expectNothingInstalledLeft();
    EXPECT_EQ(test_support::settingOf(L"Started"),
              (std::optional<std::pair<DWORD, DWORD>>{{REG_DWORD, 1}}));
    EXPECT_EQ(test_support::fileBytes(store), storeBefore);

    // The installer's COM entries are those the component's own per-user registration writes
    // for the library in the same place.
    std::filesystem::create_directories(target);
    std::filesystem::copy_file(std::filesystem::path(package) / L"Tessora.dll",
                               std::filesystem::path(target) / L"Tessora.dll");
    ASSERT_EQ(runCommand(L"regsvr32.exe /s /n /i:user \"" + target + L"\\Tessora.dll\""), 0u);
    EXPECT_EQ(installed, comEntries());
    removeComEntries();
}

TEST_F(PackageTest, MsiUpdatesARunningKelvaraInPlaceAndPurgeRemovesEverything) {
    test_support::HostDescription description;
    description.workAreas = {{0, 0, 1280, 984}};
    description.icons = {{L"Kept", 700, 400}, {L"Trash", 95, 610}, {L"Letter.txt", 310, 45}};
    test_support::DesktopHost host(description);
    test_support::setSetting(L"Sort", 2);

    // An install with a user interface starts Kelvara.
    ASSERT_EQ(msiexec(L"/i \"" + msi + L"\"", L"/qb"), 0u) << output;
    ASSERT_TRUE(test_support::pollUntil(kelvaraRunning, 15000));
    ASSERT_TRUE(test_support::pollUntil(
        [&] { return test_support::storedUsage(store).size() == 3; }, 15000));
    HANDLE before = nullptr; // its window comes after its first arrangement
    ASSERT_TRUE(test_support::pollUntil([&] { return (before = kelvaraProcess()) != nullptr; }));
    std::vector<std::filesystem::path> beside;
    for (const wchar_t* extension : {L".layouts", L".display", L".history", L".named"}) {
        beside.push_back(std::filesystem::path(store).replace_extension(extension));
        if (!std::filesystem::exists(beside.back()))
            std::ofstream(beside.back(), std::ios::binary) << "Kelvara\n";
    }

    // The shell holds the hook library of the running Kelvara all the while.
    ASSERT_EQ(msiexec(L"/i \"" + updateMsi + L"\""), 0u) << output;
    EXPECT_EQ(WaitForSingleObject(before, 0), WAIT_OBJECT_0) << "the old Kelvara ended";
    CloseHandle(before);
    ASSERT_TRUE(test_support::pollUntil(kelvaraRunning, 15000)) << "the new one runs";
    EXPECT_EQ(installedEntry(productCode), L"<missing>") << "the old version is gone";
    const std::wstring updateCode = msiProperty(updateMsi, L"ProductCode");
    EXPECT_EQ(installedEntry(updateCode),
              L"Kelvara " + updateVersion + L" Kelvara MsiExec.exe /X" + updateCode);
    EXPECT_TRUE(creatableByProgId());
    EXPECT_EQ(test_support::settingOf(L"Sort"),
              (std::optional<std::pair<DWORD, DWORD>>{{REG_DWORD, 2}}));
    EXPECT_EQ(test_support::storedUsage(store).at(L"Kept"), 3u);
    for (const std::filesystem::path& file : beside)
        EXPECT_TRUE(std::filesystem::exists(file)) << file.string();

    // The installed command line ends Kelvara as its menu does; then the uninstall with PURGE=1.
    std::string quit;
    EXPECT_EQ(runCommand(L"\"" + target + L"\\KelvaraCmd.exe\" quit", L"", &quit), 0u) << quit;
    EXPECT_FALSE(kelvaraRunning());
    host.quit(); // Wine lets go of the hook library only when the shell ends
    ASSERT_EQ(msiexec(L"/x " + updateCode + L" PURGE=1"), 0u) << output;
    expectNothingInstalledLeft();
    EXPECT_EQ(installedEntry(updateCode), L"<missing>");
    EXPECT_FALSE(test_support::settingsKeyExists());
    EXPECT_FALSE(std::filesystem::exists(store));
    for (const std::filesystem::path& file : beside)
        EXPECT_FALSE(std::filesystem::exists(file)) << file.string();
}

// winget's manifests name the MSI beside them by its hash and its codes.
TEST_F(PackageTest, WingetManifestsDescribeTheMsi) {
    const std::filesystem::path folder =
        std::filesystem::path(packageFolder) / L"winget" / KELVARA_VERSION;
    const auto version = manifestFields(folder / L"Kelvara.Kelvara.yaml");
    const auto installer = manifestFields(folder / L"Kelvara.Kelvara.installer.yaml");
    const auto locale = manifestFields(folder / L"Kelvara.Kelvara.locale.en-US.yaml");
    const auto field = [](const std::multimap<std::string, std::string>& fields,
                          const std::string& key) {
        const auto found = fields.find(key);
        return found == fields.end() ? std::string("<missing>") : found->second;
    };
    const std::string versionText = KELVARA_VERSION;
    for (const auto* fields : {&version, &installer, &locale}) {
        EXPECT_EQ(field(*fields, "PackageIdentifier"), "Kelvara.Kelvara");
        EXPECT_EQ(field(*fields, "PackageVersion"), versionText);
        EXPECT_EQ(field(*fields, "ManifestVersion"), "1.6.0");
    }
    EXPECT_EQ(field(version, "ManifestType"), "version");
    EXPECT_EQ(field(version, "DefaultLocale"), "en-US");
    EXPECT_EQ(field(installer, "ManifestType"), "installer");
    EXPECT_EQ(field(installer, "InstallerType"), "msi");
    EXPECT_EQ(field(installer, "Scope"), "user");
    EXPECT_EQ(field(installer, "Architecture"), "x64");
    const std::string url = field(installer, "InstallerUrl");
    EXPECT_EQ(url.substr(url.rfind('/') + 1), "Kelvara-" + versionText + "-x64.msi");
    EXPECT_EQ(field(installer, "InstallerSha256"), sha256Of(test_support::fileBytes(msi)));
    EXPECT_EQ(field(installer, "ProductCode"), narrow(productCode));
    EXPECT_EQ(installer.count("ProductCode"), 2u) << "the installer's and its entry's";
    EXPECT_EQ(field(installer, "UpgradeCode"), narrow(msiProperty(msi, L"UpgradeCode")));
    EXPECT_EQ(field(locale, "ManifestType"), "defaultLocale");
    for (const char* key :
         {"PackageLocale", "Publisher", "PackageName", "License", "ShortDescription"})
        EXPECT_NE(field(locale, key), "<missing>") << key;
}

} // namespace
