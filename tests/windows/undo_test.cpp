// Undo, redo, restore points and named layouts on the desktop host: through ITessora2 as a
// script calls it and through KelvaraCmd, on two displays, with the files beside the store
// removed, damaged or held open by another program; and hiding and showing the icons.
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "component/error_info_win32.h"
#include "desktop_access/history.h"
#include "desktop_access/named_layouts.h"
#include "tests/windows/component_support.h"
#include "tests/windows/test_support.h"
#include "tests/windows/utf8_win32.h"
#include "winapi/bstr_win32.h"
#include "winapi/handle_win32.h"
#include "winapi/registry_win32.h"

namespace {

using Microsoft::WRL::ComPtr;
using test_support::hostPositions;
using test_support::kelvaraCmd;
using test_support::Ran;

const std::vector<desktop_access::Rect> areasA = {{0, 0, 1280, 984}};
const std::vector<desktop_access::Rect> areasB = {{0, 0, 1024, 728}};

class UndoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::registerComponent();
        test_support::removeSettings();
        test_support::removeStore(store);
        host = std::make_unique<test_support::DesktopHost>(test_support::scatteredDesktop());
        ASSERT_EQ(test_support::createTessora().As(&tessora), S_OK);
        initial = hostPositions(*host);
    }

    void showA() const { host->showDisplay(1920, 1080, {{0, 0, 1280, 984}}); }
    void showB() const { host->showDisplay(1024, 768, {{0, 0, 1024, 728}}); }
    // Waits until no glide runs: the icons stand where the last call put them.
    HRESULT settled(HRESULT result) const {
        test_support::waitForGlides();
        return result;
    }
    HRESULT arrange(std::int32_t sort, std::int32_t method) {
        EXPECT_EQ(tessora->SetSortMethod(::SortMethod(sort)), S_OK);
        EXPECT_EQ(tessora->SetArrangeMethod(::ArrangeMethod(method)), S_OK);
        return settled(tessora->Arrange(TriggerScript));
    }
    std::wstring text(HRESULT (ITessora2::*property)(BSTR*)) const {
        winapi::Bstr value;
        EXPECT_EQ((tessora.Get()->*property)(value.out()), S_OK);
        return std::wstring(value.view());
    }
    static void expectOnScreen(const test_support::DesktopHost& host,
                               const std::vector<desktop_access::Rect>& areas) {
        const test_support::ScreenCounts counts = test_support::screenCounts(host, areas);
        EXPECT_EQ(counts.outside, 0) << "icons off every screen";
        EXPECT_EQ(counts.doubled, 0) << "pairs in one cell";
    }

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    test_support::SavedKey shellSetting{HKEY_CURRENT_USER,
                                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                        L"Advanced",
                                        L"HideIcons"};
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
    std::unique_ptr<test_support::DesktopHost> host;
    ComPtr<ITessora2> tessora;
    std::vector<POINT> initial;
};

TEST_F(UndoTest, UndoAndRedoPutEveryIconBackExactlyAndAcrossADisplayChange) {
    EXPECT_EQ(text(&ITessora2::get_UndoDescription), L"");
    EXPECT_EQ(settled(tessora->Undo()), E_FAIL);
    EXPECT_EQ(component::takeErrorDescription().description, L"There is nothing to undo.");

    ASSERT_EQ(arrange(SortIconName, ArrangeLeft), S_OK);
    const std::vector<POINT> arranged = hostPositions(*host);
    ASSERT_NE(arranged, initial);
    const std::wstring undo = text(&ITessora2::get_UndoDescription);
    EXPECT_EQ(undo.substr(0, 14), L"sort by name (") << test_support::toUtf8(undo);
    EXPECT_EQ(undo.size(), 20u) << "the time, HH:MM";

    ASSERT_EQ(settled(tessora->Undo()), S_OK);
    EXPECT_EQ(hostPositions(*host), initial);
    EXPECT_EQ(text(&ITessora2::get_UndoDescription), L"");
    EXPECT_NE(text(&ITessora2::get_RedoDescription), L"");
    ASSERT_EQ(settled(tessora->Redo()), S_OK);
    EXPECT_EQ(hostPositions(*host), arranged);

    // Arranged again on a smaller display, then back: the undo of that arrangement is carried
    // onto the first display, and the one before it stands exactly as it stood.
    showB();
    ASSERT_EQ(arrange(SortUsage, ArrangeTop), S_OK);
    expectOnScreen(*host, areasB);
    showA();
    ASSERT_EQ(settled(tessora->Undo()), S_OK);
    expectOnScreen(*host, areasA);
    ASSERT_EQ(settled(tessora->Undo()), S_OK);
    EXPECT_EQ(hostPositions(*host), initial);
    ASSERT_EQ(settled(tessora->Redo()), S_OK);
    ASSERT_EQ(settled(tessora->Redo()), S_OK);
    expectOnScreen(*host, areasA);

    const std::wstring lines = text(&ITessora2::get_History);
    EXPECT_EQ(lines.substr(0, 2), L"1\t");
    EXPECT_NE(lines.find(L"\tscript\tsort by usage\t7 icons\n"), std::wstring::npos)
        << test_support::toUtf8(lines);
}

TEST_F(UndoTest, NamedLayoutsOnAnyDisplayAndThroughAFileWithEveryFileRemoved) {
    Ran ran = kelvaraCmd(L"arrange left");
    ASSERT_EQ(ran.code, 0u) << ran.error;
    const std::vector<POINT> left = hostPositions(*host);
    // A layout may be named as a number: restore takes the layout then.
    for (const wchar_t* command :
         {L"save \"Desk \u00E9\"", L"save 2024", L"restore 2024", L"forget 2024"}) {
        ran = kelvaraCmd(command);
        EXPECT_EQ(ran.code, 0u) << test_support::toUtf8(command) << ": " << ran.error;
    }
    EXPECT_EQ(kelvaraCmd(L"layouts").output, "Desk \xC3\xA9\r\n");

    // Held for a moment by a program that lets nobody read it: the save waits to read the
    // layouts, rather than writing one over all of them once the file is let go.
    const winapi::SharedHandle held =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.fileHeld"));
    const winapi::SharedHandle go =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.fileGo"));
    const test_support::Process holder = test_support::startProgram(
        L"file_holder.exe",
        L"\"" + desktop_access::namedLayoutsPathFor(store).wstring() + L"\" none");
    ASSERT_EQ(WaitForSingleObject(winapi::raw(held), 20000), WAIT_OBJECT_0);
    std::thread letGo([&] {
        Sleep(700);
        SetEvent(winapi::raw(go));
    });
    ran = kelvaraCmd(L"save Other");
    letGo.join();
    EXPECT_EQ(holder.wait(), 0u);
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(kelvaraCmd(L"layouts").output, "Desk \xC3\xA9\r\nOther\r\n");
    EXPECT_EQ(kelvaraCmd(L"forget Other").code, 0u);

    showB();
    EXPECT_EQ(kelvaraCmd(L"restore \"Desk \u00E9\"").code, 0u);
    expectOnScreen(*host, areasB);
    showA();
    EXPECT_EQ(kelvaraCmd(L"restore \"Desk \u00E9\"").code, 0u);
    EXPECT_EQ(hostPositions(*host), left);

    const std::filesystem::path file = test_support::temporaryPath(L"desk.layout");
    ran = kelvaraCmd(L"export \"" + file.wstring() + L"\" \"Desk \u00E9\"");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(test_support::fileBytes(file).substr(0, 17), "Kelvara layout 1\n");
    test_support::removeStore(store);
    ASSERT_EQ(kelvaraCmd(L"arrange right").code, 0u);
    ASSERT_NE(hostPositions(*host), left);
    ran = kelvaraCmd(L"import \"" + file.wstring() + L"\"");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(ran.output, "Desk \xC3\xA9\r\n");
    EXPECT_EQ(kelvaraCmd(L"restore \"Desk \u00E9\"").code, 0u);
    EXPECT_EQ(hostPositions(*host), left);

    // The restore is an arrangement like any other: restore point 1 is the desktop before it.
    ran = kelvaraCmd(L"history");
    EXPECT_EQ(ran.output.substr(0, 2), "1\t");
    EXPECT_NE(ran.output.find("\tcommand line\trestore\t7 icons\r\n"), std::string::npos)
        << ran.output;
    const std::vector<POINT> restored = hostPositions(*host);
    EXPECT_EQ(kelvaraCmd(L"undo").code, 0u);
    EXPECT_NE(hostPositions(*host), restored);
    EXPECT_EQ(kelvaraCmd(L"restore 1").code, 0u);
    EXPECT_EQ(hostPositions(*host), restored);

    // What cannot be done changes nothing and says why in one line.
    std::ofstream(file, std::ios::binary) << "Kelvara layout 1\nname X\nicons 1\n";
    for (const auto& [command, why] :
         {std::pair{L"import \"" + file.wstring() + L"\"", std::string("line 3")},
          std::pair{std::wstring(L"restore Nowhere"), std::string("no layout of that name")},
          std::pair{std::wstring(L"restore 99"), std::string("no restore point of that number")},
          std::pair{std::wstring(L"forget Nowhere"), std::string("no layout of that name")}}) {
        ran = kelvaraCmd(command);
        EXPECT_EQ(ran.code, 1u) << test_support::toUtf8(command);
        EXPECT_NE(ran.error.find(why), std::string::npos) << ran.error;
        EXPECT_EQ(ran.error.find('\n'), ran.error.size() - 1) << "one line";
    }
    EXPECT_EQ(hostPositions(*host), restored);
    std::filesystem::remove(file);
}

TEST_F(UndoTest, ADamagedHistoryIsReplacedAndOneHeldOpenLosesNothing) {
    test_support::writeStore(store, {{L"Echo", 5}, {L"Mike", 2}});
    const std::filesystem::path file = desktop_access::historyPathFor(store);
    std::ofstream(file, std::ios::binary) << "Kelvara history 1\nundo 5\npoint 0 2 0";
    ASSERT_EQ(arrange(SortIconName, ArrangeLeft), S_OK);
    EXPECT_EQ(test_support::fileBytes(file).substr(0, 26), "Kelvara history 1\nundo 1\np");
    EXPECT_EQ(test_support::storedUsage(store).at(L"Echo"), 5u);

    // Held open by another program past the wait: the arrangement is made and saved, the
    // failure told, and the restore point kept until the file can be written.
    const winapi::SharedHandle held =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.fileHeld"));
    const winapi::SharedHandle go =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.fileGo"));
    const std::string before = test_support::fileBytes(file);
    const test_support::Process holder =
        test_support::startProgram(L"file_holder.exe", L"\"" + file.wstring() + L"\" r");
    ASSERT_EQ(WaitForSingleObject(winapi::raw(held), 20000), WAIT_OBJECT_0);
    const std::vector<POINT> expected =
        test_support::expectedPositions(SortIconName, ArrangeRight, false, store);
    EXPECT_EQ(arrange(SortIconName, ArrangeRight), E_FAIL);
    const std::wstring why = component::takeErrorDescription().description;
    EXPECT_NE(why.find(L"in use by another program"), std::wstring::npos)
        << test_support::toUtf8(why);
    EXPECT_EQ(hostPositions(*host), expected);
    EXPECT_EQ(test_support::fileBytes(file), before);
    SetEvent(winapi::raw(go));
    EXPECT_EQ(holder.wait(), 0u);

    ASSERT_EQ(arrange(SortIconName, ArrangeTop), S_OK);
    EXPECT_EQ(test_support::fileBytes(file).substr(0, 25), "Kelvara history 1\nundo 3\n");
    EXPECT_EQ(test_support::storedUsage(store).at(L"Echo"), 5u);
    ASSERT_EQ(settled(tessora->Undo()), S_OK);
    EXPECT_EQ(hostPositions(*host), expected);
}

TEST_F(UndoTest, HiddenIconsAreLeftAloneAndTheShellsSettingAgrees) {
    const auto hideIcons = [] {
        return winapi::registry::Key(
                   HKEY_CURRENT_USER,
                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced")
            .readDword(L"HideIcons");
    };
    Ran ran = kelvaraCmd(L"icons hide");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_FALSE(IsWindowVisible(host->listView()));
    EXPECT_EQ(hideIcons(), 1u);
    VARIANT_BOOL shown = VARIANT_TRUE;
    EXPECT_EQ(tessora->get_IconsShown(&shown), S_OK);
    EXPECT_EQ(shown, VARIANT_FALSE);

    EXPECT_EQ(arrange(SortIconName, ArrangeLeft), S_OK) << "nothing to do";
    EXPECT_EQ(hostPositions(*host), initial);
    EXPECT_EQ(settled(tessora->Undo()), E_FAIL);
    EXPECT_NE(component::takeErrorDescription().description.find(L"hidden"), std::wstring::npos);

    EXPECT_EQ(tessora->put_IconsShown(VARIANT_TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(host->listView()));
    EXPECT_EQ(hideIcons(), 0u);
    EXPECT_EQ(kelvaraCmd(L"icons show").code, 0u) << "already shown: nothing to do";
    EXPECT_EQ(arrange(SortIconName, ArrangeLeft), S_OK);
    EXPECT_NE(hostPositions(*host), initial);
}

} // namespace
