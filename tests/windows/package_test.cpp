// The package for Windows users: install.cmd and uninstall.cmd from the unpacked zip, run by
// Wine's command interpreter, against the desktop host.
#include <fstream>

#include <gtest/gtest.h>

#include "desktop_access/layouts.h"

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

bool kelvaraRunning() {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Kelvara_SingleInstance");
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
        test_support::registerComponent();
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

} // namespace
