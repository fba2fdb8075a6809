#include "desktop_access/icon_store.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <streambuf>

#include "desktop_access/busy_file.h"
#include "desktop_access/errors.h"
#include "desktop_access/labels.h"
#include "winapi/error.h"

namespace desktop_access {
namespace {

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
        const std::size_t limit =
            storeLabelLineLimit(peek() == static_cast<unsigned char>(storeEncodedMark));
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
template <typename Take> void parseStore(std::streambuf& bytes, DesktopProxy& proxy, Take&& take) {
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
        IconRecord record;
        std::optional<std::u16string> name;
        if (reader.readLine(line))
            name = decodeStoreLabel(line);
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
void decodeFrom(std::streambuf& bytes, DesktopProxy& proxy) {
    DesktopProxy counting;
    std::size_t records = 0;
    parseStore(bytes, counting, [&](IconRecord&&) { ++records; });
    if (bytes.pubseekpos(0, std::ios::in) != std::streampos(0))
        return;
    proxy.icons.reserve(proxy.icons.size() + records);
    parseStore(bytes, proxy,
               [&](IconRecord&& record) { proxy.icons.push_back(std::move(record)); });
}

void appendPair(std::string& out, std::int64_t a, std::int64_t b) {
    out += std::to_string(a);
    out += ':';
    out += std::to_string(b);
    out += '\n';
}

} // namespace

std::string encodeStore(const DesktopProxy& state) {
    std::string out;
    appendPair(out, state.columns, state.rows);
    appendPair(out, state.areaWidth, state.areaHeight);
    appendPair(out, state.cellWidth, state.cellHeight);
    appendPair(out, state.originX, state.originY);
    for (const IconRecord& record : state.icons) {
        appendStoreLabel(out, std::u16string_view(record.name).substr(0, maxLabelLength));
        out += '\n';
        appendPair(out, record.left, record.top);
        appendPair(out, record.width, record.height);
        out += std::to_string(record.usage);
        out += '\n';
    }
    return out;
}

DesktopProxy decodeStore(std::string_view bytes) {
    DesktopProxy state;
    MemoryBytes memory(bytes);
    decodeFrom(memory, state);
    return state;
}

DesktopProxy readStore(const std::filesystem::path& file) {
    DesktopProxy state;
    if (file.empty())
        return state;
    std::filebuf bytes;
    if (!bytes.open(file, std::ios::in | std::ios::binary))
        return state;
    const std::streampos size = bytes.pubseekoff(0, std::ios::end, std::ios::in);
    if (size < 0 || static_cast<std::uintmax_t>(std::streamoff(size)) > maxStoreBytes ||
        bytes.pubseekpos(0, std::ios::in) != std::streampos(0))
        return state;
    decodeFrom(bytes, state);
    return state;
}

void writeStore(const std::filesystem::path& file, const DesktopProxy& state) {
    std::string bytes;
    try {
        bytes = encodeStore(state);
    } catch (const std::bad_alloc&) {
        throw StoreWriteError(std::string(storeNotSaved) + ": it ran out of memory.");
    }
    if (const std::optional<NotWritten> failed = replaceWhenFree(file, bytes, storeNotSaved))
        throw StoreWriteError(failed->reason, failed->error);
}

} // namespace desktop_access
