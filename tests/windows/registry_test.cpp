#include "winapi/registry_win32.h"

#include <gtest/gtest.h>

#include "winapi/error.h"

namespace {

using winapi::registry::Key;

constexpr wchar_t testRoot[] = L"Software\\KelvaraTest";

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, testRoot); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, testRoot); }

    static bool keyExists(const std::wstring& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    static void setRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    template <typename Call> static winapi::Error errorOf(Call call) {
        try {
            call();
        } catch (const winapi::Error& error) {
            return error;
        }
        ADD_FAILURE() << "no winapi::Error was thrown";
        return winapi::Error("none");
    }
    static std::string startOf(const winapi::Error& error, std::size_t length) {
        return std::string(error.what()).substr(0, length);
    }

    inline static const std::wstring path = std::wstring(testRoot) + L"\\Nested\\Key";
};

TEST_F(RegistryTest, ReadingNeverCreatesWritingDoes) {
    Key key(HKEY_CURRENT_USER, path);
    const winapi::Error error = errorOf([&] { key.readDword(L"Sort"); });
    EXPECT_EQ(startOf(error, 33), "Can't open key. Winapi: Error 2: ");
    EXPECT_EQ(error.code(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(startOf(errorOf([&] { key.readString("x"); }), 15), "Can't open key.");
    EXPECT_FALSE(keyExists(testRoot));
    EXPECT_FALSE(key.readHandle()) << "a failed open leaves no handle behind";

    key.writeDword(L"Arrange", 3);
    EXPECT_TRUE(keyExists(path));
    EXPECT_EQ(Key(HKEY_CURRENT_USER, path).readDword(L"Arrange"), 3u);
}

TEST_F(RegistryTest, MissingValues) {
    setRaw(L"Other", REG_DWORD, "\1\0\0\0", 4);
    Key key(HKEY_CURRENT_USER, path);
    EXPECT_EQ(key.readString("Missing"), "");
    const winapi::Error error = errorOf([&] { key.readDword(L"Missing"); });
    EXPECT_EQ(startOf(error, 20), "Can't get key value.");
    EXPECT_EQ(error.code(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryTest, DwordReadIgnoresTheTypeButNotTheSize) {
    setRaw(L"Short", REG_SZ, L"2", 4);      // "2" and its terminator: 4 bytes, read as 50
    setRaw(L"Long", REG_SZ, L"12", 6);      // 6 bytes do not fit
    setRaw(L"Byte", REG_BINARY, "\x07", 1); // the rest stays 0
    setRaw(L"All", REG_DWORD, "\xff\xff\xff\xff", 4);
    Key key(HKEY_CURRENT_USER, path);
    EXPECT_EQ(key.readDword(L"Short"), 50u);
    EXPECT_EQ(key.readDword(L"Byte"), 7u);
    EXPECT_EQ(key.readDword(L"All"), 0xFFFFFFFFu);
    const winapi::Error error = errorOf([&] { key.readDword(L"Long"); });
    EXPECT_EQ(error.code(), static_cast<std::uint32_t>(ERROR_MORE_DATA));
}

TEST_F(RegistryTest, StringsEndAtTheirFirstNullAndNeverRunPastTheData) {
    setRaw(nullptr, REG_SZ, L"x", 4);
    HKEY raw = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &raw);
    RegSetValueExA(raw, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("first\0second"), 13);
    RegSetValueExA(raw, "Unterminated", 0, REG_BINARY, reinterpret_cast<const BYTE*>("abc"), 3);
    RegCloseKey(raw);
    Key key(HKEY_CURRENT_USER, path);
    EXPECT_EQ(key.readString(""), "x");
    EXPECT_EQ(key.readString("Text"), "first");
    EXPECT_EQ(key.readString("Unterminated"), "abc");
}

TEST_F(RegistryTest, HandlesAreOpenedLazilyAndShared) {
    Key key(HKEY_CURRENT_USER, path);
    EXPECT_FALSE(key.readHandle());
    EXPECT_FALSE(key.writeHandle());
    key.writeDword(L"Sort", 2);
    EXPECT_EQ(key.readDword(L"Sort"), 2u);
    EXPECT_FALSE(key.readHandle()) << "after a write, reads go through the write handle";

    Key reader(HKEY_CURRENT_USER, path);
    reader.readDword(L"Sort");
    ASSERT_TRUE(reader.readHandle());
    {
        Key copy = reader;
        EXPECT_EQ(copy.readHandle(), reader.readHandle());
        copy.writeDword(L"Sort", 0);
    }
    EXPECT_FALSE(reader.writeHandle()) << "a copy's own write handle ends with the copy";
    EXPECT_EQ(reader.readDword(L"Sort"), 0u) << "no caching: the change is seen";
}

TEST_F(RegistryTest, AKeyRemovedBehindOpenHandlesIsOpenedAfresh) {
    Key writer(HKEY_CURRENT_USER, path);
    writer.writeDword(L"Sort", 2);
    Key reader(HKEY_CURRENT_USER, path);
    EXPECT_EQ(reader.readDword(L"Sort"), 2u);

    RegDeleteTreeW(HKEY_CURRENT_USER, testRoot);
    EXPECT_EQ(startOf(errorOf([&] { reader.readDword(L"Sort"); }), 15), "Can't open key.");
    EXPECT_FALSE(keyExists(path)) << "reading never makes the key again";

    // Made again by someone else: both objects see it and write to it, not to the removed key.
    setRaw(L"Sort", REG_DWORD, "\1\0\0\0", 4);
    EXPECT_EQ(reader.readDword(L"Sort"), 1u);
    writer.writeDword(L"Sort", 0);
    EXPECT_EQ(Key(HKEY_CURRENT_USER, path).readDword(L"Sort"), 0u);
    RegDeleteTreeW(HKEY_CURRENT_USER, testRoot);
    setRaw(L"Text", REG_SZ, L"new", 8);
    EXPECT_EQ(reader.readString("Text"), "new");
}

TEST_F(RegistryTest, WriteToAKeyThatCannotBeCreated) {
    Key key(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234)),
            L"Software\\KelvaraTest"); // no such root
    const winapi::Error error = errorOf([&] { key.writeDword(L"x", 1); });
    EXPECT_EQ(startOf(error, 15), "Can't open key.");
    EXPECT_NE(error.code(), 0u);
}

} // namespace
