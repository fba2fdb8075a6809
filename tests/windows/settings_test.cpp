// The component's three settings in HKEY_CURRENT_USER\Software\Kelvara, through ITessora.
#include <gtest/gtest.h>

#include "tests/windows/component_support.h"

namespace {

using Microsoft::WRL::ComPtr;
using test_support::setSetting;
using test_support::settingOf;

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::registerComponent();
        test_support::removeSettings();
        test_support::removeStore(store);
        tessora = test_support::createTessora();
    }

    ::SortMethod sortMethod() {
        ::SortMethod method = ::SortMethod(-7);
        EXPECT_EQ(tessora->GetSortMethod(&method), S_OK);
        return method;
    }
    ::ArrangeMethod arrangeMethod() {
        ::ArrangeMethod method = ::ArrangeMethod(-7);
        EXPECT_EQ(tessora->GetArrangeMethod(&method), S_OK);
        return method;
    }
    LONG locked() {
        LONG value = -7;
        EXPECT_EQ(tessora->IsLocked(&value), S_OK);
        return value;
    }

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
    ComPtr<ITessora> tessora;
};

using Setting = std::optional<std::pair<DWORD, DWORD>>;

TEST_F(SettingsTest, AFreshAccountHasTheDefaultsAndReadingCreatesNothing) {
    EXPECT_EQ(sortMethod(), SortUsage);
    EXPECT_EQ(arrangeMethod(), ArrangeAuto);
    EXPECT_EQ(locked(), 0);
    EXPECT_FALSE(test_support::settingsKeyExists());
}

TEST_F(SettingsTest, SettersStoreWhatTheyAreGivenAsDwords) {
    EXPECT_EQ(tessora->SetArrangeMethod(ArrangeTop), S_OK);
    EXPECT_EQ(settingOf(L"Arrange"), (Setting{{REG_DWORD, 3}})) << "the key is made for it";
    EXPECT_EQ(settingOf(L"Sort"), std::nullopt) << "no other value is made ahead of time";
    EXPECT_EQ(settingOf(L"Locked"), std::nullopt);
    EXPECT_EQ(arrangeMethod(), ArrangeTop);

    // Unchecked: values outside the enumerations are stored and read back as they are.
    EXPECT_EQ(tessora->SetSortMethod(::SortMethod(7)), S_OK);
    EXPECT_EQ(sortMethod(), ::SortMethod(7));
    EXPECT_EQ(tessora->SetArrangeMethod(::ArrangeMethod(-1)), S_OK);
    EXPECT_EQ(settingOf(L"Arrange"), (Setting{{REG_DWORD, 0xFFFFFFFFu}}));
    EXPECT_EQ(arrangeMethod(), ::ArrangeMethod(-1));
}

TEST_F(SettingsTest, ValuesOfAnotherTypeAreReadAsTheirFirstFourBytes) {
    setSetting(L"Sort", REG_SZ, L"12", 6); // too long for four bytes: the default
    EXPECT_EQ(sortMethod(), SortUsage);
    setSetting(L"Sort", REG_SZ, L"2", 4); // the character code of '2'
    EXPECT_EQ(sortMethod(), ::SortMethod(50));
    setSetting(L"Arrange", REG_BINARY, "\x04", 1);
    EXPECT_EQ(arrangeMethod(), ArrangeBottom);
}

TEST_F(SettingsTest, ToggleLockFlipsBetweenOneAndZero) {
    EXPECT_EQ(tessora->ToggleLock(), S_OK);
    EXPECT_EQ(settingOf(L"Locked"), (Setting{{REG_DWORD, 1}}));
    EXPECT_EQ(locked(), 1);
    EXPECT_EQ(tessora->ToggleLock(), S_OK);
    EXPECT_EQ(settingOf(L"Locked"), (Setting{{REG_DWORD, 0}}));
    EXPECT_EQ(locked(), 0);

    // Any value but 0 is locked, and toggles to 0.
    for (const DWORD stored : {0xFFFFFFFFu, 5u}) {
        setSetting(L"Locked", stored);
        EXPECT_EQ(locked(), LONG(stored));
        EXPECT_EQ(tessora->ToggleLock(), S_OK);
        EXPECT_EQ(settingOf(L"Locked"), (Setting{{REG_DWORD, 0}}));
    }
}

TEST_F(SettingsTest, EveryReadSeesTheLatestWriteFromAnywhere) {
    EXPECT_EQ(sortMethod(), SortUsage);
    setSetting(L"Sort", SortAge);
    EXPECT_EQ(sortMethod(), SortAge) << "no caching";
    const ComPtr<ITessora> other = test_support::createTessora();
    EXPECT_EQ(other->SetSortMethod(SortIconName), S_OK);
    EXPECT_EQ(sortMethod(), SortIconName);

    // The key removed and made again (say, by an uninstall and a new start): still seen.
    test_support::removeSettings();
    EXPECT_EQ(sortMethod(), SortUsage);
    setSetting(L"Sort", SortAge);
    EXPECT_EQ(sortMethod(), SortAge);
    test_support::removeSettings();
    EXPECT_EQ(tessora->SetArrangeMethod(ArrangeRight), S_OK);
    EXPECT_EQ(arrangeMethod(), ArrangeRight);
}

class SettingsOnADesktopTest : public SettingsTest {
  protected:
    SettingsOnADesktopTest() {
        description.workAreas = {{0, 0, 1280, 984}};
        description.icons = {{L"Notes.txt", 333, 170}, {L"Trash", 911, 45}, {L"Budget", 620, 530}};
    }
    // Once the last reference has gone, no moving thread of the object is left.
    void releaseAndCheckNothingMoved(const test_support::DesktopHost& host) {
        tessora.Reset();
        const std::vector<POINT> positions = test_support::hostPositions(host);
        ASSERT_EQ(positions.size(), description.icons.size());
        for (std::size_t i = 0; i < positions.size(); ++i)
            EXPECT_EQ(positions[i], (POINT{description.icons[i].x, description.icons[i].y}));
    }
    test_support::HostDescription description;
};

TEST_F(SettingsOnADesktopTest, ASetterMovesNoIcon) {
    const test_support::DesktopHost host(description);
    EXPECT_EQ(tessora->SetArrangeMethod(ArrangeLeft), S_OK);
    EXPECT_EQ(tessora->SetSortMethod(SortIconName), S_OK);
    EXPECT_EQ(tessora->ToggleLock(), S_OK);
    releaseAndCheckNothingMoved(host);
    EXPECT_FALSE(std::filesystem::exists(store)) << "no snapshot was taken";
}

TEST_F(SettingsOnADesktopTest, SortStoredAsTheTextTwoFailsRefreshUntilAValidValueIsSet) {
    const test_support::DesktopHost host(description);
    setSetting(L"Arrange", ArrangeLeft);
    setSetting(L"Sort", REG_SZ, L"2", 4);
    EXPECT_EQ(tessora->Refresh(), E_FAIL);
    releaseAndCheckNothingMoved(host);
    EXPECT_EQ(test_support::storedUsage(store).size(), 3u) << "the store is written all the same";

    tessora = test_support::createTessora();
    EXPECT_EQ(tessora->SetSortMethod(SortIconName), S_OK);
    const std::vector<POINT> expected =
        test_support::expectedPositions(SortIconName, ArrangeLeft, false, {});
    EXPECT_EQ(tessora->Refresh(), S_OK);
    EXPECT_TRUE(test_support::waitForPositions(host, expected));
}

} // namespace
