#include "desktop_access/icon_store.h"

#include "desktop_access/busy_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/errors.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/scratch_folder.h"
#include "winapi/error.h"

namespace {

using desktop_access::DesktopProxy;
using desktop_access::IconRecord;

IconRecord record(std::u16string name, int left, int top, int width, int height,
                  std::uint32_t usage) {
    IconRecord r;
    r.name = std::move(name);
    r.left = left;
    r.top = top;
    r.width = width;
    r.height = height;
    r.usage = usage;
    return r;
}

void expectSameRecords(const std::vector<IconRecord>& actual,
                       const std::vector<IconRecord>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actual[i].name, expected[i].name);
        EXPECT_EQ(actual[i].left, expected[i].left);
        EXPECT_EQ(actual[i].top, expected[i].top);
        EXPECT_EQ(actual[i].width, expected[i].width);
        EXPECT_EQ(actual[i].height, expected[i].height);
        EXPECT_EQ(actual[i].usage, expected[i].usage);
        EXPECT_EQ(actual[i].offsetX, 0);
        EXPECT_EQ(actual[i].offsetY, 0);
        EXPECT_EQ(actual[i].icon.desktop, nullptr);
    }
}

std::vector<IconRecord> decode(std::string_view bytes, DesktopProxy& proxy) {
    proxy = desktop_access::decodeStore(bytes);
    return proxy.icons;
}

class StoreFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        path = dir / "Kelvara.store";
    }

    void writeFile(std::string_view bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string readFile() {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    test_support::ScratchFolder scratch{"store"};
    const std::filesystem::path& dir = scratch.path;
    std::filesystem::path path;
};

TEST(StoreFormat, WritesTheDocumentedBytes) {
    DesktopProxy proxy;
    proxy.columns = 12;
    proxy.rows = 8;
    proxy.areaWidth = 1920;
    proxy.areaHeight = 1036;
    proxy.cellWidth = 154;
    proxy.cellHeight = 128;
    proxy.originX = 4;
    proxy.originY = 4;
    proxy.icons.push_back(record(u"Recycle Bin", 4, 4, 150, 124, 3));
    proxy.icons.back().offsetX = 21; // offsets and the icon are not stored
    EXPECT_EQ(desktop_access::encodeStore(proxy),
              "12:8\n1920:1036\n154:128\n4:4\nRecycle Bin\n4:4\n150:124\n3\n");
}

TEST(StoreFormat, RoundTripKeepsGridRecordsAndOrder) {
    DesktopProxy written;
    written.columns = -1;
    written.rows = 2147483647;
    written.areaWidth = -2147483647 - 1;
    written.areaHeight = 0;
    written.cellWidth = 79;
    written.cellHeight = 79;
    written.originX = -1916;
    written.originY = 4;
    std::u16string everyByte; // every character up to 0xFF that a label line can hold as it is
    for (char16_t c = 1; c <= 0xFF; ++c)
        if (c != u'\n')
            everyByte.push_back(c);
    written.icons = {record(u"b", -1920, -40, 75, 75, 0),
                     record(everyByte.substr(0, 259), 5, 6, 7, 8, 4294967295u),
                     record(u"", 0, 0, 0, 0, 1), record(u"b", 1, 2, 3, 4, 2147483648u),
                     record(u"trailing space \r", 9, 9, 9, 9, 9)};
    const std::string bytes = desktop_access::encodeStore(written);

    DesktopProxy read;
    expectSameRecords(decode(bytes, read), written.icons);
    EXPECT_EQ(read.columns, -1);
    EXPECT_EQ(read.rows, 2147483647);
    EXPECT_EQ(read.areaWidth, -2147483647 - 1);
    EXPECT_EQ(read.cellWidth, 79);
    EXPECT_EQ(read.originX, -1916);
    EXPECT_NE(bytes.find("-1920:-40\n"), std::string::npos);
    EXPECT_NE(bytes.find(std::string("\x01\x02\x03", 3)), std::string::npos)
        << "plain labels stay byte for byte";
}

TEST(StoreFormat, AnyUtf16LabelRoundTripsWithoutLosingLaterRecords) {
    DesktopProxy written;
    const std::u16string labels[] = {
        u"Fotos \u00e9t\u00e9",                     // Latin-1 only: plain bytes
        u"\u6587\u6863",                            // CJK
        u"Smile \U0001F600",                        // a surrogate pair
        std::u16string(1, char16_t(0xD800)) + u"x", // an unpaired high surrogate
        u"x" + std::u16string(1, char16_t(0xDFFF)), // an unpaired low surrogate
        u"two\nlines",                              // a line feed would split the record
        std::u16string(u"nul\0inside", 10),         // so would a null
        std::u16string(259, char16_t(0x0416)),      // the longest label, every unit encoded
        u"last plain",
    };
    for (std::uint32_t i = 0; i < std::size(labels); ++i)
        written.icons.push_back(record(labels[i], int(i), -int(i), 75, 75, i * 7));

    DesktopProxy read;
    expectSameRecords(decode(desktop_access::encodeStore(written), read), written.icons);
}

TEST(StoreFormat, LatinOneLabelIsNeverTakenForAnEncodedOne) {
    // "\u00c3\u00a9" would be UTF-8 for e-acute; it must read back as the two characters it is.
    DesktopProxy written;
    written.icons.push_back(record(u"\u00c3\u00a9 0041", 0, 0, 1, 1, 1));
    const std::string bytes = desktop_access::encodeStore(written);
    EXPECT_NE(bytes.find("\xc3\xa9 0041\n"), std::string::npos);
    DesktopProxy read;
    expectSameRecords(decode(bytes, read), written.icons);
}

TEST(StoreFormat, HeaderOnlyGivesGridAndNoIcons) {
    DesktopProxy proxy;
    EXPECT_TRUE(decode("12:8\n1920:1036\n154:128\n4:4\n", proxy).empty());
    EXPECT_EQ(proxy.columns, 12);
    EXPECT_EQ(proxy.areaHeight, 1036);
    EXPECT_EQ(proxy.originY, 4);
}

TEST(StoreFormat, EmptyOrTruncatedHeaderKeepsZeros) {
    DesktopProxy empty;
    EXPECT_TRUE(decode("", empty).empty());
    EXPECT_EQ(empty.columns, 0);
    EXPECT_EQ(empty.areaWidth, 0);

    DesktopProxy cut;
    EXPECT_TRUE(decode("12:8\n1920:x\n154:128\n4:4\nA\n1:1\n1:1\n1\n", cut).empty());
    EXPECT_EQ(cut.columns, 12);
    EXPECT_EQ(cut.rows, 8);
    EXPECT_EQ(cut.areaWidth, 1920);
    EXPECT_EQ(cut.areaHeight, 0) << "the pair that failed keeps its 0";
    EXPECT_EQ(cut.cellWidth, 0) << "nothing is read after a failure";
}

TEST(StoreFormat, LastRecordWithoutFinalLineFeedIsKept) {
    DesktopProxy proxy;
    const auto icons = decode("1:1\n2:2\n3:3\n4:4\nA\n1:2\n3:4\n5\nB\n6:7\n8:9\n10", proxy);
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[1].name, u"B");
    EXPECT_EQ(icons[1].usage, 10u);
}

TEST(StoreFormat, LabelOf259IsReadWholeAnd260EndsTheReading) {
    const std::string header = "1:1\n2:2\n3:3\n4:4\n";
    const std::string first = "first\n1:1\n1:1\n1\n";
    DesktopProxy proxy259;
    const auto icons259 =
        decode(header + first + std::string(259, 'x') + "\n1:1\n1:1\n2\n" + first, proxy259);
    ASSERT_EQ(icons259.size(), 3u);
    EXPECT_EQ(icons259[1].name.size(), 259u);

    DesktopProxy proxy260;
    const auto icons260 =
        decode(header + first + std::string(260, 'x') + "\n1:1\n1:1\n2\n" + first, proxy260);
    ASSERT_EQ(icons260.size(), 1u) << "the records before the long line stay";
    EXPECT_EQ(icons260[0].name, u"first");
}

TEST(StoreFormat, LongerLabelsAreCutSoThatEveryRecordReadsBack) {
    DesktopProxy written;
    const std::u16string labels[] = {std::u16string(259, u'x'), std::u16string(260, u'y'),
                                     std::u16string(1000, u'z'),
                                     std::u16string(300, char16_t(0x6587)), u"after"};
    for (const std::u16string& label : labels)
        written.icons.push_back(record(label, 1, 2, 75, 75, 5));

    DesktopProxy read;
    const auto icons = decode(desktop_access::encodeStore(written), read);
    ASSERT_EQ(icons.size(), std::size(labels));
    for (std::size_t i = 0; i < std::size(labels); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(icons[i].name, labels[i].substr(0, 259));
        EXPECT_EQ(icons[i].usage, 5u);
    }
}

TEST(StoreFormat, CarriageReturnLineFeedKeepsHeaderButNoRecord) {
    DesktopProxy proxy;
    EXPECT_TRUE(
        decode("12:8\r\n1920:1036\r\n154:128\r\n4:4\r\nRecycle Bin\r\n4:4\r\n150:124\r\n3\r\n",
               proxy)
            .empty());
    EXPECT_EQ(proxy.columns, 12);
    EXPECT_EQ(proxy.rows, 8);
    EXPECT_EQ(proxy.originY, 4);
}

TEST(StoreFormat, MalformedRecordEndsReadingKeepingEarlierOnes) {
    DesktopProxy proxy;
    const auto icons =
        decode("1:1\n2:2\n3:3\n4:4\nA\n1:2\n3:4\n5\nB\n6:seven\n8:9\n10\nC\n1:1\n1:1\n1\n", proxy);
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].name, u"A");

    DesktopProxy overflow;
    EXPECT_EQ(decode("1:1\n2:2\n3:3\n4:4\nA\n2147483648:0\n1:1\n1\n", overflow).size(), 0u);
    DesktopProxy badEncoding;
    EXPECT_EQ(
        decode(std::string("1:1\n2:2\n3:3\n4:4\n\0zz\n0:0\n1:1\n1\n", 30), badEncoding).size(), 0u);
}

TEST_F(StoreFileTest, MissingFileGivesEmptyProxy) {
    const DesktopProxy proxy = desktop_access::readStore(path);
    EXPECT_TRUE(proxy.icons.empty());
    EXPECT_EQ(proxy.areaWidth, 0);
    EXPECT_EQ(proxy.cellHeight, 0);
    EXPECT_FALSE(proxy.previous);
}

TEST_F(StoreFileTest, WriteThenReadThroughTheFile) {
    {
        DesktopProxy proxy;
        proxy.columns = 3;
        proxy.icons = {record(u"A", -4, -8, 75, 75, 1), record(u"\u00c6\u6587", 4, 8, 75, 75, 2)};
        desktop_access::writeStore(path, proxy);
    }
    const DesktopProxy read = desktop_access::readStore(path);
    EXPECT_EQ(read.columns, 3);
    ASSERT_EQ(read.icons.size(), 2u);
    EXPECT_EQ(read.icons[1].name, u"\u00c6\u6587");
    EXPECT_FALSE(std::filesystem::exists(dir / "Kelvara.store.new"))
        << "no temporary file is left behind";
}

TEST_F(StoreFileTest, FailedWriteLeavesThePreviousStoreWhole) {
    const std::string before = "1:1\n2:2\n3:3\n4:4\nKept\n1:1\n1:1\n41\n";
    writeFile(before);
    // The new content cannot be written where it is prepared: a directory stands there.
    std::filesystem::create_directory(dir / "Kelvara.store.new");
    DesktopProxy proxy;
    proxy.icons = {record(u"New", 0, 0, 1, 1, 0)};
    EXPECT_THROW(desktop_access::writeStore(path, proxy), desktop_access::StoreWriteError);
    EXPECT_EQ(readFile(), before);
}

TEST_F(StoreFileTest, FileLargerThanTheLimitIsUnreadable) {
    const std::string store = "1:1\n2:2\n3:3\n4:4\nKept\n1:1\n1:1\n41\n";
    writeFile(store);
    // Zeros after the last record end the reading there, as any fault does.
    std::filesystem::resize_file(path, desktop_access::maxStoreBytes);
    const DesktopProxy atTheLimit = desktop_access::readStore(path);
    ASSERT_EQ(atTheLimit.icons.size(), 1u);
    EXPECT_EQ(atTheLimit.icons[0].usage, 41u);

    std::filesystem::resize_file(path, desktop_access::maxStoreBytes + 1);
    const DesktopProxy beyond = desktop_access::readStore(path);
    EXPECT_TRUE(beyond.icons.empty());
    EXPECT_EQ(beyond.columns, 0);
}

// A store holding one record, written through writeStore.
DesktopProxy& withRecord(DesktopProxy& proxy) {
    proxy.icons = {record(u"New", 0, 0, 1, 1, 7)};
    return proxy;
}

TEST_F(StoreFileTest, AFileInUseIsWrittenOnceItIsReleased) {
    fake::inUseReplaces = 3;
    DesktopProxy proxy;
    desktop_access::writeStore(path, withRecord(proxy));
    EXPECT_EQ(fake::replaceCalls, 4);
    EXPECT_EQ(fake::pauses, 3);
    EXPECT_LT(fake::pausedMilliseconds, desktop_access::busyFileWaitMilliseconds);
    EXPECT_EQ(readFile(), desktop_access::encodeStore(proxy));
}

TEST_F(StoreFileTest, AFileInUseForLongerFailsAfterTheRetryTimeAndKeepsTheOldStore) {
    const std::string before = "1:1\n2:2\n3:3\n4:4\nKept\n1:1\n1:1\n41\n";
    writeFile(before);
    fake::inUseReplaces = -1;
    DesktopProxy proxy;
    try {
        desktop_access::writeStore(path, withRecord(proxy));
        ADD_FAILURE() << "the write did not fail";
    } catch (const desktop_access::StoreWriteError& error) {
        EXPECT_STREQ(
            error.what(),
            "Kelvara could not save the icon store: the file is in use by another program.");
    }
    EXPECT_EQ(fake::pausedMilliseconds, desktop_access::busyFileWaitMilliseconds);
    EXPECT_GE(fake::pauses, 8) << "short pauses, so that a file let go soon is written soon";
    EXPECT_EQ(readFile(), before);
}

TEST_F(StoreFileTest, AnyOtherFailureIsReportedAtOnceInTheSystemsWords) {
    writeFile("1:1\n2:2\n3:3\n4:4\n");
    fake::replaceError = 112;
    fake::systemMessages[112] = "There is not enough space on the disk.\r\n";
    DesktopProxy proxy;
    try {
        desktop_access::writeStore(path, withRecord(proxy));
        ADD_FAILURE() << "the write did not fail";
    } catch (const desktop_access::StoreWriteError& error) {
        EXPECT_STREQ(error.what(), "Kelvara could not save the icon store. Error 112: There is not "
                                   "enough space on the disk.");
    }
    EXPECT_EQ(fake::replaceCalls, 1);
    EXPECT_EQ(fake::pauses, 0);
    EXPECT_EQ(readFile(), "1:1\n2:2\n3:3\n4:4\n");
}

TEST_F(StoreFileTest, ATemporaryFileLeftByAKilledWriteIsReused) {
    const std::filesystem::path temporary = dir / "Kelvara.store.new";
    std::ofstream(temporary, std::ios::binary) << std::string(100000, 'x') << "torn";
    DesktopProxy proxy;
    desktop_access::writeStore(path, withRecord(proxy));
    EXPECT_EQ(readFile(), desktop_access::encodeStore(proxy));
    EXPECT_FALSE(std::filesystem::exists(temporary));
}

} // namespace
