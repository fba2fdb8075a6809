// Script clients: the JScript and VBScript examples of the documentation, and scripts that see a
// failing Refresh, run by Wine's script host against the desktop host. Through automation an
// arrangement returns only once its icons have arrived, so the icons must stand at their places
// the moment the script host has ended.
#include <fstream>

#include <gtest/gtest.h>

#include "tests/windows/component_support.h"
#include "tests/windows/test_support.h"

namespace {

using test_support::DesktopHost;
using test_support::settingOf;

using Setting = std::optional<std::pair<DWORD, DWORD>>;

class ScriptClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::registerComponent();
        test_support::removeSettings();
        test_support::removeStore(store);
        description.workAreas = {{0, 0, 1280, 984}};
        description.icons = {{L"Report.txt", 950, 480},
                             {L"Trash", 1100, 60},
                             {L"Budget", 300, 700},
                             {L"notes", 620, 250},
                             {L"Archive", 820, 820}};
    }
    // Runs a script in the test program's folder; its exit code, and its output in `output`.
    DWORD runScript(const std::wstring& name) {
        output.clear();
        return test_support::runCommand(L"cscript.exe //nologo " + name, L"", &output);
    }
    bool printed(const std::string& line) const {
        return output.find(line + "\r\n") != std::string::npos ||
               output.find(line + "\n") != std::string::npos;
    }
    std::wstring writeScript(const wchar_t* name, const std::string& text) {
        scripts.push_back(test_support::programFolder() + name);
        std::ofstream(std::filesystem::path(scripts.back()), std::ios::binary) << text;
        return name;
    }
    void TearDown() override {
        for (const std::wstring& script : scripts)
            DeleteFileW(script.c_str());
    }

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
    test_support::HostDescription description;
    std::string output;
    std::vector<std::wstring> scripts;
};

TEST_F(ScriptClientTest, TheJScriptExampleArrangesByNameAlongTheLeftEdge) {
    const DesktopHost host(description);
    test_support::setSetting(L"Sort", SortAge);
    test_support::setSetting(L"Arrange", ArrangeBottom);
    const std::vector<POINT> expected =
        test_support::expectedPositions(SortIconName, ArrangeLeft, false, store);
    ASSERT_NE(expected, test_support::hostPositions(host));

    ASSERT_EQ(runScript(L"arrange.js"), 0u) << output;
    EXPECT_EQ(test_support::hostPositions(host), expected) << "arrived when the script ended";
    EXPECT_TRUE(printed("sort 2, arrange 4, locked 0")) << output;
    EXPECT_TRUE(printed("arranged by name along the left edge")) << output;
    EXPECT_EQ(settingOf(L"Sort"), (Setting{{REG_DWORD, SortAge}})) << "put back";
    EXPECT_EQ(settingOf(L"Arrange"), (Setting{{REG_DWORD, ArrangeBottom}}));
    EXPECT_EQ(test_support::storedUsage(store).size(), 5u);
}

TEST_F(ScriptClientTest, TheVBScriptExampleArrangesByUsageAlongTheTopAndTogglesTheLock) {
    const DesktopHost host(description);
    test_support::writeStore(store, {{L"Archive", 3}, {L"notes", 2}, {L"Trash", 1}});
    const std::vector<POINT> expected =
        test_support::expectedPositions(SortUsage, ArrangeTop, false, store);
    ASSERT_NE(expected, test_support::hostPositions(host));

    ASSERT_EQ(runScript(L"arrange.vbs"), 0u) << output;
    EXPECT_EQ(test_support::hostPositions(host), expected) << "arrived when the script ended";
    EXPECT_TRUE(printed("sort 1, arrange 0, locked 0")) << output;
    EXPECT_TRUE(printed("arranged by usage along the top edge")) << output;
    EXPECT_NE(output.find("locked 1"), std::string::npos) << output;
    EXPECT_NE(output.find("locked 0", output.find("locked 1")), std::string::npos) << output;
    EXPECT_EQ(settingOf(L"Locked"), (Setting{{REG_DWORD, 0}}));
    EXPECT_EQ(settingOf(L"Sort"), (Setting{{REG_DWORD, SortUsage}}));
    EXPECT_EQ(settingOf(L"Arrange"), (Setting{{REG_DWORD, ArrangeAuto}}));
}

// ITessora2 through automation, its optional arguments left out: the desktop ends as the script
// found it, and the file holds the desktop as it stood before the last restore.
TEST_F(ScriptClientTest, TheLayoutsExampleUndoesRedoesExportsAndRestores) {
    const DesktopHost host(description);
    const std::vector<POINT> found = test_support::hostPositions(host);
    const std::filesystem::path file = test_support::temporaryPath(L"top.layout");
    ASSERT_EQ(runScript(L"layouts.js \"" + file.wstring() + L"\""), 0u) << output;
    EXPECT_TRUE(printed("icons shown: true")) << output;
    EXPECT_NE(output.find("Undo sort by usage ("), std::string::npos) << output;
    EXPECT_TRUE(printed("redo: There is nothing to redo.")) << output;
    EXPECT_TRUE(printed("layouts: Before the script;")) << output;
    EXPECT_EQ(test_support::hostPositions(host), found);
    const std::string head =
        "Kelvara layout 1\nname kelvara-" + std::to_string(GetCurrentProcessId()) + "-top\n";
    EXPECT_EQ(test_support::fileBytes(file).substr(0, head.size()), head);
    std::filesystem::remove(file);
}

TEST_F(ScriptClientTest, ScriptsSeeAFailingRefreshAsAnError) {
    const DesktopHost host(description);
    const std::vector<POINT> before = test_support::hostPositions(host);
    // Exit code 3: the error was E_FAIL; 2: another error; 1: no error at all.
    const std::wstring jscript = writeScript(L"kelvara-failing-refresh.js", R"(
var kelvara = new ActiveXObject("Tessora.Tessora");
kelvara.SetArrangeMethod(7);
var code = 1;
try { kelvara.Refresh(); } catch (e) {
    code = (e.number >>> 0) == 0x80004005 ? 3 : 2;
    WScript.Echo("error: " + e.description);
}
WScript.Echo("arrange " + kelvara.GetArrangeMethod());
kelvara.Monitors = 2;
try { kelvara.Monitors = 5; } catch (e) {
    WScript.Echo("refused " + (e.number >>> 0).toString(16) + ": " + e.description);
}
WScript.Echo("monitors " + kelvara.Monitors);
WScript.Quit(code);
)");
    const std::wstring vbscript = writeScript(L"kelvara-failing-refresh.vbs", R"(
Set kelvara = CreateObject("Tessora.Tessora")
kelvara.SetSortMethod 3
On Error Resume Next
kelvara.Refresh
If Err.Number = &H80004005 Then
    WScript.Quit 3
ElseIf Err.Number <> 0 Then
    WScript.Quit 2
End If
WScript.Quit 1
)");
    EXPECT_EQ(runScript(jscript), 3u) << output;
    EXPECT_TRUE(printed("arrange 7")) << output;
    EXPECT_TRUE(printed("monitors 2")) << output;
    EXPECT_TRUE(printed("refused 80070057: Monitors takes 0 (all monitors as one), 1 (the primary "
                        "monitor) or 2 (each monitor on its own)."))
        << output;
    EXPECT_TRUE(
        printed("error: The stored sort or arrange method is not one Kelvara knows (sort 1, "
                "arrange 7)."))
        << output;
    test_support::removeSettings();
    EXPECT_EQ(runScript(vbscript), 3u) << output;
    EXPECT_EQ(test_support::hostPositions(host), before);

    // An uncaught failure ends a script with an error, which the script host reports.
    const std::wstring uncaught = writeScript(L"kelvara-uncaught.js", R"(
var kelvara = new ActiveXObject("Tessora.Tessora");
kelvara.SetArrangeMethod(-2);
kelvara.Refresh();
WScript.Echo("not reached");
WScript.Quit(0);
)");
    runScript(uncaught);
    EXPECT_EQ(output.find("not reached"), std::string::npos) << output;
}

// What a script is told when the desktop does not take the places it is given, and when it does
// not answer at all.
TEST_F(ScriptClientTest, ScriptsHearOfIconsThatDidNotTakeTheirPlacesAndOfAShellThatDoesNotAnswer) {
    description.refused = {0, 4};
    DesktopHost host(description);
    const std::wstring script = writeScript(L"kelvara-not-taken.js", R"(
var kelvara = new ActiveXObject("Tessora.Tessora");
kelvara.SetArrangeMethod(1);
var code = 1;
try { kelvara.Refresh(); } catch (e) {
    code = (e.number >>> 0) == 0x80004005 ? 3 : 2;
    WScript.Echo("error: " + e.description);
}
WScript.Quit(code);
)");
    EXPECT_EQ(runScript(script), 3u) << output;
    EXPECT_TRUE(printed("error: 2 icons did not take their places")) << output;

    host.freeze(60000);
    EXPECT_EQ(runScript(script), 3u) << output;
    EXPECT_TRUE(host.stillFrozen()) << "the script did not wait for the shell";
    EXPECT_TRUE(printed("error: The desktop does not answer")) << output;
    ASSERT_TRUE(host.thaw());
}

} // namespace
