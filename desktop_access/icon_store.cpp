#include "desktop_access/icon_store.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <streambuf>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/desktop_seam.h"
#include "winapi/error.h"

namespace desktop_access {
namespace {

// A label line holds at most this many characters; a longer line ends the reading. The writer
// cuts longer labels (the list view hands out none) to this length, so a store never holds a
// line that ends its own reading.
constexpr std::size_t maxLabelLength = 259;

// Labels made only of characters up to 0xFF are written byte for byte, one byte per character
// (ISO 8859-1), exactly as the file has always held them. Any other label (a character above
// 0xFF, a surrogate, or a line feed or null that would break the line structure) is written as a
// null byte followed by four hex digits per UTF-16 code unit. A plain label can never start with
// a null byte (labels end at their first null), so the two forms cannot be confused; every
// UTF-16 sequence, unpaired surrogates included, reads back unchanged; and a reader that knows
// only the plain form sees an empty label there and reads on, as long as the line fits its 259
// characters (an encoded label of up to 64 code units).
constexpr char encodedLabelMark = '\0';
constexpr std::size_t maxEncodedLabelLength = 1 + 4 * maxLabelLength;

bool needsEncoding(std::u16string_view label) {
    for (char16_t unit : label)
        if (unit > 0xFF || unit == u'\n' || unit == u'\0')
            return true;
    return false;
}

void appendLabel(std::string& out, std::u16string_view label) {
    if (!needsEncoding(label)) {
        for (char16_t unit : label)
            out.push_back(static_cast<char>(static_cast<unsigned char>(unit)));
        return;
    }
    static constexpr char digits[] = "0123456789abcdef";
    out.push_back(encodedLabelMark);
    for (char16_t unit : label)
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(digits[(unit >> shift) & 0xF]);
}

std::optional<std::u16string> decodeLabel(std::string_view line) {
    if (line.empty() || line.front() != encodedLabelMark) {
        std::u16string label;
        for (char c : line) {
            if (c == '\0')
                break; // a label ends at its first null character
            label.push_back(static_cast<unsigned char>(c));
        }
        return label;
    }
    line.remove_prefix(1);
    if (line.size() % 4 != 0)
        return std::nullopt;
    std::u16string label;
    for (std::size_t i = 0; i < line.size(); i += 4) {
        unsigned unit = 0;
        for (char c : line.substr(i, 4)) {
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else
                return std::nullopt;
            unit = unit * 16 + digit;
        }
        label.push_back(static_cast<char16_t>(unit));
    }
    return label;
}

// Reads the store the way a character stream with the classic locale does: numbers skip leading
// white space, a separator is skipped whatever it is, and once the reader has failed nothing more
// is read. Reaching the end is not a failure by itself, so a last record without its final line
// feed is still whole. The bytes come from a stream buffer, a piece at a time.
class StoreReader {
  public:
    explicit StoreReader(std::streambuf& bytes) : bytes_(bytes) {}

    bool good() const { return !failed_ && !atEnd_; }
    bool failed() const { return failed_; }

    bool readInt(std::int32_t& value) {
        std::uint64_t magnitude = 0;
        bool negative = false;
        if (!readNumber(magnitude, negative, std::uint64_t{1} << 31))
            return false;
        if (!negative &&
            magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            return fail();
        value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                                   : static_cast<std::int64_t>(magnitude));
        return true;
    }

    // As strtoul: a leading minus negates modulo 2^32.
    bool readUint(std::uint32_t& value) {
        std::uint64_t magnitude = 0;
        bool negative = false;
        if (!readNumber(magnitude, negative, std::numeric_limits<std::uint32_t>::max()))
            return false;
        const auto result = static_cast<std::uint32_t>(magnitude);
        value = negative ? static_cast<std::uint32_t>(0u - result) : result;
        return true;
    }

    void skipOne() {
        if (failed_)
            return;
        if (peek() != end)
            bytes_.sbumpc();
        else
            atEnd_ = true;
    }

    void readPair(std::int32_t& a, std::int32_t& b) {
        readInt(a);
        skipOne();
        readInt(b);
        skipOne();
    }

    // The characters up to the next line feed, which is consumed. A line longer than the limit
    // fails; a line cut short by the end of the file is returned as it stands.
    bool readLine(std::string& line) {
        if (!good() || peek() == end) {
            atEnd_ = peek() == end;
            failed_ = true;
            return false;
        }
        const bool encoded = peek() == static_cast<unsigned char>(encodedLabelMark);
        const std::size_t limit = encoded ? maxEncodedLabelLength : maxLabelLength;
        line.clear();
        int c;
        while ((c = peek()) != end && c != '\n') {
            if (line.size() == limit)
                return fail();
            line.push_back(static_cast<char>(c));
            bytes_.sbumpc();
        }
        if (c != end)
            bytes_.sbumpc();
        else
            atEnd_ = true;
        return true;
    }

    bool fail() {
        failed_ = true;
        return false;
    }

  private:
    static constexpr int end = std::char_traits<char>::eof();

    int peek() { return bytes_.sgetc(); }

    bool readNumber(std::uint64_t& magnitude, bool& negative, std::uint64_t limit) {
        if (!good())
            return fail();
        int c;
        while ((c = peek()) != end && isSpace(c))
            bytes_.sbumpc();
        if (c == '-' || c == '+') {
            negative = c == '-';
            bytes_.sbumpc();
            c = peek();
        }
        bool anyDigit = false;
        for (; c >= '0' && c <= '9'; c = peek()) {
            magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
            if (magnitude > limit)
                return fail();
            bytes_.sbumpc();
            anyDigit = true;
        }
        if (!anyDigit)
            return fail();
        if (c == end)
            atEnd_ = true;
        return true;
    }

    static bool isSpace(int c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }

    std::streambuf& bytes_;
    bool failed_ = false;
    bool atEnd_ = false;
};

// Bytes in memory as a stream buffer that can be read again from the start.
class MemoryBytes : public std::streambuf {
  public:
    explicit MemoryBytes(std::string_view bytes) {
        // The get area is only ever read.
        char* const begin = const_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }

  protected:
    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        if (position != pos_type(0))
            return pos_type(off_type(-1));
        setg(eback(), eback(), egptr());
        return position;
    }
};

// Reads the header into the proxy's grid and hands every whole record to take, in file order.
template <typename Take>
void parseStore(std::streambuf& bytes, organizers::DesktopProxy& proxy, Take&& take) {
    StoreReader reader(bytes);
    std::int32_t* const header[4][2] = {{&proxy.columns, &proxy.rows},
                                        {&proxy.areaWidth, &proxy.areaHeight},
                                        {&proxy.cellWidth, &proxy.cellHeight},
                                        {&proxy.originX, &proxy.originY}};
    for (auto& pair : header) {
        if (reader.failed())
            break;
        reader.readPair(*pair[0], *pair[1]);
    }
    std::string line;
    while (reader.good()) {
        organizers::IconRecord record;
        std::optional<std::u16string> name;
        if (reader.readLine(line))
            name = decodeLabel(line);
        if (!name)
            reader.fail();
        reader.readPair(record.left, record.top);
        reader.readPair(record.width, record.height);
        reader.readUint(record.usage);
        reader.skipOne();
        if (reader.failed())
            break;
        record.name = std::move(*name);
        take(std::move(record));
    }
}

// The records are counted first, so that their vector is allocated once, at its size: grown as
// it fills, it would hold up to three times as much while it moves.
void decodeFrom(std::streambuf& bytes, organizers::DesktopProxy& proxy) {
    organizers::DesktopProxy counting;
    std::size_t records = 0;
    parseStore(bytes, counting, [&](organizers::IconRecord&&) { ++records; });
    if (bytes.pubseekpos(0, std::ios::in) != std::streampos(0))
        return;
    proxy.icons.reserve(proxy.icons.size() + records);
    parseStore(bytes, proxy,
               [&](organizers::IconRecord&& record) { proxy.icons.push_back(std::move(record)); });
}

std::string withoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Pauses between tries while the store is in use: short at first (most holders let go within
// moments), then at most a quarter of a second, inUseRetryMilliseconds in all.
constexpr std::uint32_t firstPause = 20;
constexpr std::uint32_t longestPause = 250;

void replaceRetrying(const std::filesystem::path& file, std::string_view bytes) {
    std::uint32_t waited = 0;
    for (std::uint32_t pause = firstPause;; pause = std::min(pause * 2, longestPause)) {
        const FileReplaceResult result = replaceFileContents(file, bytes);
        if (result.outcome == FileReplaceResult::done)
            return;
        if (result.outcome == FileReplaceResult::failed) {
            std::string reason = withoutLineEnd(winapi::errorText(result.error));
            if (reason.empty())
                reason = "Error " + std::to_string(result.error) + ".";
            throw StoreWriteError(std::string(storeNotSaved) + ". " + reason);
        }
        if (waited >= inUseRetryMilliseconds)
            throw StoreWriteError(std::string(storeNotSaved) +
                                  ": the file is in use by another program.");
        const std::uint32_t step = std::min(pause, inUseRetryMilliseconds - waited);
        sleepMilliseconds(step);
        waited += step;
    }
}

void appendPair(std::string& out, std::int64_t a, std::int64_t b) {
    out += std::to_string(a);
    out += ':';
    out += std::to_string(b);
    out += '\n';
}

} // namespace

std::string encodeStore(const organizers::DesktopProxy& proxy) {
    std::string out;
    appendPair(out, proxy.columns, proxy.rows);
    appendPair(out, proxy.areaWidth, proxy.areaHeight);
    appendPair(out, proxy.cellWidth, proxy.cellHeight);
    appendPair(out, proxy.originX, proxy.originY);
    for (const organizers::IconRecord& record : proxy.icons) {
        appendLabel(out, std::u16string_view(record.name).substr(0, maxLabelLength));
        out += '\n';
        appendPair(out, record.left, record.top);
        appendPair(out, record.width, record.height);
        out += std::to_string(record.usage);
        out += '\n';
    }
    return out;
}

void decodeStore(std::string_view bytes, organizers::DesktopProxy& proxy) {
    MemoryBytes memory(bytes);
    decodeFrom(memory, proxy);
}

void readStore(organizers::DesktopProxy& proxy, const std::filesystem::path& file) {
    if (file.empty())
        return;
    std::filebuf bytes;
    if (!bytes.open(file, std::ios::in | std::ios::binary))
        return;
    const std::streampos size = bytes.pubseekoff(0, std::ios::end, std::ios::in);
    if (size < 0 || static_cast<std::uintmax_t>(std::streamoff(size)) > maxStoreBytes ||
        bytes.pubseekpos(0, std::ios::in) != std::streampos(0))
        return;
    decodeFrom(bytes, proxy);
}

void writeStore(const organizers::DesktopProxy& proxy) {
    std::string bytes;
    try {
        bytes = encodeStore(proxy);
    } catch (const std::bad_alloc&) {
        throw StoreWriteError(std::string(storeNotSaved) + ": it ran out of memory.");
    }
    replaceRetrying(proxy.storePath, bytes);
}

} // namespace desktop_access
