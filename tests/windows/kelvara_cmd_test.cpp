// KelvaraCmd.exe as a user or a script runs it: every command against the desktop host, wrong
// arguments, no desktop, a failing arrangement, and the labels it prints to a pipe. Its standard
// output and error are read from two pipes of their own.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "desktop_access/icon_store.h"
#include "tests/windows/component_support.h"
#include "tests/windows/test_support.h"
#include "tests/windows/utf8_win32.h"

namespace {

using test_support::expectedPositions;
using test_support::hostPositions;
using test_support::kelvaraCmd;
using test_support::Ran;
using test_support::scatteredDesktop;
using test_support::settingOf;

std::string utf8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

class KelvaraCmdTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::registerComponent();
        test_support::removeSettings();
        test_support::removeStore(store);
    }

    static std::optional<std::pair<DWORD, DWORD>> dword(DWORD value) {
        return std::pair<DWORD, DWORD>{REG_DWORD, value};
    }
    // A setting as the component reads it: a missing one counts as its default.
    static std::optional<std::pair<DWORD, DWORD>> setting(const wchar_t* name, DWORD fallback) {
        const auto stored = settingOf(name);
        return stored ? stored : dword(fallback);
    }

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
};

TEST_F(KelvaraCmdTest, EveryCommandOnTheDesktopHost) {
    const test_support::DesktopHost host(scatteredDesktop());
    test_support::writeStore(store, {{L"Kilo.doc", 9}, {L"bravo", 4}, {L"Echo", 2}, {L"Mike", 1}});

    Ran ran = kelvaraCmd(L"status");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(ran.output,
              "sort: usage\r\narrange: auto\r\nlocked: no\r\nmonitors: all\r\nicons: 7\r\n");
    EXPECT_EQ(ran.error, "");

    // Each stores its setting and returns once the icons stand where the strategies put them.
    struct Step {
        const wchar_t* arguments;
        std::int32_t sort;
        std::int32_t arrange;
    };
    for (const Step& step : {Step{L"arrange left", SortUsage, ArrangeLeft},
                             Step{L"sort name", SortIconName, ArrangeLeft},
                             Step{L"ARRANGE Bottom", SortIconName, ArrangeBottom},
                             Step{L"sort usage", SortUsage, ArrangeBottom},
                             Step{L"arrange right", SortUsage, ArrangeRight}}) {
        SCOPED_TRACE(test_support::toUtf8(step.arguments));
        const std::vector<POINT> expected =
            expectedPositions(step.sort, step.arrange, false, store);
        ASSERT_NE(expected, hostPositions(host)) << "the step has something to move";
        ran = kelvaraCmd(step.arguments);
        EXPECT_EQ(ran.code, 0u) << ran.error;
        EXPECT_EQ(ran.output + ran.error, "");
        EXPECT_EQ(setting(L"Sort", SortUsage), dword(step.sort));
        EXPECT_EQ(setting(L"Arrange", ArrangeAuto), dword(step.arrange));
        EXPECT_EQ(hostPositions(host), expected);
    }

    // refresh arranges by the stored settings, whoever stored them; lock only locks.
    test_support::setSetting(L"Arrange", ArrangeTop);
    const std::vector<POINT> top = expectedPositions(SortUsage, ArrangeTop, false, store);
    ran = kelvaraCmd(L"refresh");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(hostPositions(host), top);
    test_support::setSetting(L"Arrange", ArrangeLeft);
    for (const auto& [arguments, locked] :
         {std::pair{L"lock on", 1u}, std::pair{L"lock on", 1u}, std::pair{L"lock off", 0u},
          std::pair{L"Lock Off", 0u}, std::pair{L"lock on", 1u}}) {
        ran = kelvaraCmd(arguments);
        EXPECT_EQ(ran.code, 0u) << ran.error;
        EXPECT_EQ(settingOf(L"Locked"), dword(locked))
            << "after " << test_support::toUtf8(arguments);
    }
    EXPECT_EQ(hostPositions(host), top) << "no icon moved";

    ran = kelvaraCmd(L"status");
    EXPECT_EQ(ran.output,
              "sort: usage\r\narrange: left\r\nlocked: yes\r\nmonitors: all\r\nicons: 7\r\n");

    // Every icon the arrangements stored, the uncounted ones by label, code unit by code unit.
    ran = kelvaraCmd(L"counts");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(ran.output, "9\tKilo.doc\r\n4\tbravo\r\n2\tEcho\r\n1\tMike\r\n"
                          "0\tTrash\r\n0\tZulu.txt\r\n0\talpha.txt\r\n");
}

TEST_F(KelvaraCmdTest, MonitorsOnADesktopOfThreeWorkAreas) {
    test_support::HostDescription description = scatteredDesktop();
    description.workAreas = {{0, 0, 1280, 984}, {1280, 100, 2304, 868}, {-1024, 0, 0, 768}};
    description.icons.push_back({L"East", 1700, 400});
    description.icons.push_back({L"West", -600, 300});
    const test_support::DesktopHost host(description);
    test_support::setSetting(L"Arrange", ArrangeRight);
    for (const auto& [arguments, monitors, word] :
         {std::tuple{L"monitors each", 2, "each"}, std::tuple{L"Monitors Primary", 1, "primary"},
          std::tuple{L"monitors all", 0, "all"}}) {
        SCOPED_TRACE(word);
        const std::vector<POINT> expected =
            expectedPositions(SortUsage, ArrangeRight, false, store, monitors);
        ASSERT_NE(expected, hostPositions(host)) << "each setting places them otherwise";
        Ran ran = kelvaraCmd(arguments);
        EXPECT_EQ(ran.code, 0u) << ran.error;
        EXPECT_EQ(settingOf(L"Monitors"), dword(DWORD(monitors)));
        EXPECT_EQ(hostPositions(host), expected);
        ran = kelvaraCmd(L"status");
        EXPECT_NE(ran.output.find(std::string("\r\nmonitors: ") + word + "\r\n"), std::string::npos)
            << ran.output;
    }
    // A value the registry may hold but no client stores fails every arrangement, saying so.
    test_support::setSetting(L"Monitors", 9);
    const std::vector<POINT> before = hostPositions(host);
    Ran ran = kelvaraCmd(L"refresh");
    EXPECT_EQ(ran.code, 1u);
    EXPECT_EQ(ran.error, "Kelvara could not arrange the desktop: The stored monitors setting is "
                         "not one Kelvara knows (monitors 9).\r\n");
    EXPECT_EQ(hostPositions(host), before);
    EXPECT_EQ(kelvaraCmd(L"monitors two").code, 2u);
}

// Policies fix settings: read in place of the user's, refused when changed (the machine's
// first), a value of another type fixing nothing.
TEST_F(KelvaraCmdTest, APolicyFixesASettingAndEveryChangeOfItIsRefused) {
    const auto policies = [](HKEY root) {
        HKEY key = nullptr;
        RegCreateKeyExW(root, L"Software\\Policies\\Kelvara", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        return winapi::ownKey(key);
    };
    const auto setDword = [](const winapi::SharedKey& key, const wchar_t* name, DWORD value) {
        RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    };
    struct Removed {
        ~Removed() {
            for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
                RegDeleteTreeW(root, L"Software\\Policies\\Kelvara");
        }
    } removed;
    const test_support::DesktopHost host(scatteredDesktop());
    setDword(policies(HKEY_CURRENT_USER), L"Sort", SortIconName);
    setDword(policies(HKEY_CURRENT_USER), L"Arrange", ArrangeTop);
    setDword(policies(HKEY_LOCAL_MACHINE), L"Arrange", ArrangeLeft);
    RegSetValueExW(policies(HKEY_CURRENT_USER).get(), L"Locked", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(L"1"), 4);

    Ran ran = kelvaraCmd(L"status");
    EXPECT_EQ(ran.output,
              "sort: name\r\narrange: left\r\nlocked: no\r\nmonitors: all\r\nicons: 7\r\n");
    const std::vector<POINT> expected = expectedPositions(SortIconName, ArrangeLeft, false, store);
    for (const auto& [arguments, what] : {std::pair{L"sort usage", "The sort method"},
                                          std::pair{L"arrange auto", "The arrange method"}}) {
        ran = kelvaraCmd(arguments);
        EXPECT_EQ(ran.code, 1u);
        EXPECT_EQ(ran.error, std::string("Kelvara could not store the ") +
                                 (what[4] == 's' ? "sort" : "arrange") + " method: " + what +
                                 " is fixed by a policy of this computer or of your account; "
                                 "Kelvara cannot change it.\r\n");
    }
    EXPECT_FALSE(settingOf(L"Sort")) << "the user's own setting is not written";
    ran = kelvaraCmd(L"lock on");
    EXPECT_EQ(ran.code, 0u) << "a policy of the wrong type fixes nothing: " << ran.error;
    EXPECT_EQ(settingOf(L"Locked"), dword(1));
    ran = kelvaraCmd(L"refresh");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(hostPositions(host), expected) << "arranged as the policies say";

    // The lock and the monitors setting, fixed by the computer's policies, are refused alike.
    setDword(policies(HKEY_LOCAL_MACHINE), L"Locked", 1);
    setDword(policies(HKEY_LOCAL_MACHINE), L"Monitors", 2);
    for (const auto& [arguments, refusal] :
         {std::pair{L"lock off", "Kelvara could not change the lock: The lock"},
          std::pair{L"monitors all",
                    "Kelvara could not store the monitors setting: The monitors setting"}}) {
        ran = kelvaraCmd(arguments);
        EXPECT_EQ(ran.code, 1u);
        EXPECT_EQ(ran.error, std::string(refusal) +
                                 " is fixed by a policy of this computer or of your account; "
                                 "Kelvara cannot change it.\r\n");
    }
    EXPECT_EQ(kelvaraCmd(L"status").output,
              "sort: name\r\narrange: left\r\nlocked: yes\r\nmonitors: each\r\nicons: 7\r\n");
}

TEST_F(KelvaraCmdTest, WrongArgumentsGiveTwoAndTheUsageAndChangeNothing) {
    const Ran help = kelvaraCmd(L"help");
    EXPECT_EQ(help.code, 0u);
    EXPECT_EQ(help.output.rfind("Usage: KelvaraCmd COMMAND\r\n", 0), 0u) << help.output;
    for (const char* command :
         {"status", "sort name|usage|age", "arrange auto|left|right|top|bottom", "lock on|off",
          "refresh", "counts", "help"})
        EXPECT_NE(help.output.find("\r\n  " + std::string(command)), std::string::npos) << command;
    EXPECT_EQ(help.error, "");
    EXPECT_EQ(kelvaraCmd(L"/?").output, help.output);

    for (const wchar_t* arguments :
         {L"", L"sort", L"sort size", L"sort name now", L"arrange middle", L"arrange 1", L"lock",
          L"lock yes", L"refresh all", L"status -v", L"shuffle", L"--sort=name",
          L"\"sort name\""}) {
        SCOPED_TRACE(test_support::toUtf8(arguments));
        const Ran ran = kelvaraCmd(arguments);
        EXPECT_EQ(ran.code, 2u);
        EXPECT_EQ(ran.error, help.output);
        EXPECT_EQ(ran.output, "");
    }
    EXPECT_FALSE(test_support::settingsKeyExists());
    EXPECT_FALSE(std::filesystem::exists(store));
}

TEST_F(KelvaraCmdTest, WithoutADesktopTheDesktopCommandsFailWithOneLine) {
    const std::string noShell = "Failed to find the shell window.\r\n";
    for (const wchar_t* arguments : {L"refresh", L"arrange left", L"sort name"}) {
        SCOPED_TRACE(test_support::toUtf8(arguments));
        const Ran ran = kelvaraCmd(arguments);
        EXPECT_EQ(ran.code, 1u);
        EXPECT_EQ(ran.error, "Kelvara could not arrange the desktop: " + noShell);
        EXPECT_EQ(ran.output, "");
    }
    // The settings are stored all the same, for the next arrangement.
    EXPECT_EQ(settingOf(L"Arrange"), dword(ArrangeLeft));
    EXPECT_EQ(settingOf(L"Sort"), dword(SortIconName));
    EXPECT_FALSE(std::filesystem::exists(store));

    Ran ran = kelvaraCmd(L"status");
    EXPECT_EQ(ran.code, 1u);
    EXPECT_EQ(ran.output, "sort: name\r\narrange: left\r\nlocked: no\r\nmonitors: all\r\n");
    EXPECT_EQ(ran.error, "Kelvara could not count the desktop icons: " + noShell);

    // What needs no desktop still works.
    ran = kelvaraCmd(L"lock on");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(settingOf(L"Locked"), dword(1));
    ran = kelvaraCmd(L"counts");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(ran.output + ran.error, "") << "no store yet: no icons";
}

TEST_F(KelvaraCmdTest, WithoutTheComponentOnlyCountsWorks) {
    ASSERT_EQ(
        test_support::runCommand(L"regsvr32.exe /s /u \"" + test_support::componentPath() + L"\""),
        0u);
    for (const wchar_t* arguments : {L"status", L"refresh", L"lock on"}) {
        const Ran ran = kelvaraCmd(arguments);
        EXPECT_EQ(ran.code, 1u) << test_support::toUtf8(arguments);
        EXPECT_EQ(ran.error, "Kelvara's component (Tessora.dll) cannot be started: it is not "
                             "registered (install.cmd registers it).\r\n");
        EXPECT_EQ(ran.output, "");
    }
    EXPECT_FALSE(test_support::settingsKeyExists());
    test_support::writeStore(store, {{L"Kept", 3}});
    const Ran ran = kelvaraCmd(L"counts");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(ran.output, "3\tKept\r\n");
    test_support::registerComponent();
}

TEST_F(KelvaraCmdTest, AFailingArrangementPrintsTheComponentsOwnDescription) {
    const test_support::DesktopHost host(scatteredDesktop());
    const std::vector<POINT> before = hostPositions(host);
    test_support::setSetting(L"Arrange", 7);
    test_support::setSetting(L"Sort", 0xFFFFFFFF);

    Ran ran = kelvaraCmd(L"refresh");
    EXPECT_EQ(ran.code, 1u);
    EXPECT_EQ(ran.error, "Kelvara could not arrange the desktop: The stored sort or arrange "
                         "method is not one Kelvara knows (sort -1, arrange 7).\r\n");
    EXPECT_EQ(hostPositions(host), before);

    ran = kelvaraCmd(L"status");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    EXPECT_EQ(ran.output, "sort: -1\r\narrange: 7\r\nlocked: no\r\nmonitors: all\r\nicons: 7\r\n");

    // A valid method cures it.
    ran = kelvaraCmd(L"sort name");
    EXPECT_EQ(ran.code, 1u) << "the arrange method is still unknown";
    ran = kelvaraCmd(L"arrange left");
    EXPECT_EQ(ran.code, 0u) << ran.error;
}

TEST_F(KelvaraCmdTest, CountsPrintsEveryLabelAsUtf8ToAPipe) {
    {
        // Written by the product's own store writer.
        desktop_access::DesktopProxy written;
        for (const auto& [label, usage] : std::vector<std::pair<std::u16string, std::uint32_t>>{
                 {u"plain", 0},
                 {u"\u00DCberblick.txt", 0},
                 {u"\uFF21 wide", 3},
                 {u"\U0001F600 party", 3},
                 {u"\u5831\u544A\u66F8", 7},
                 {u"two\nlines\t", 1},
                 {u"\u041E\u0442\u0447\u0451\u0442", 12}}) {
            desktop_access::IconRecord record;
            record.name = label;
            record.usage = usage;
            written.icons.push_back(record);
        }
        desktop_access::writeStore(store, written);
    }
    const Ran ran = kelvaraCmd(L"counts");
    EXPECT_EQ(ran.code, 0u) << ran.error;
    // Ties by UTF-16 code unit: the surrogate pair of U+1F600 comes before U+FF21.
    EXPECT_EQ(ran.output, utf8(u8"12\tОтчёт\r\n7\t報告書\r\n3\t😀 party\r\n3\tＡ wide\r\n"
                               u8"1\ttwo lines \r\n0\tplain\r\n0\tÜberblick.txt\r\n"));
    EXPECT_EQ(ran.error, "");
}

} // namespace
