#include "desktop_access/icon_store.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <system_error>

#include "desktop_access/desktop_proxy.h"

namespace desktop_access {
namespace {

// A label line holds at most this many characters; a longer line ends the reading.
constexpr std::size_t maxLabelLength = 259;

// Labels made only of characters up to 0xFF are written byte for byte, one byte per character
// (ISO 8859-1), exactly as the file has always held them. Any other label (a character above
// 0xFF, a surrogate, or a line feed or null that would break the line structure) is written as a
// null byte followed by four hex digits per UTF-16 code unit. A plain label can never start with
// a null byte (labels end at their first null), so the two forms cannot be confused; every
// UTF-16 sequence, unpaired surrogates included, reads back unchanged; and a reader that knows
// only the plain form sees an empty label there and still reads every other record.
constexpr char encodedLabelMark = '\0';
constexpr std::size_t maxEncodedLabelLength = 1 + 4 * maxLabelLength;

bool needsEncoding(const std::u16string& label) {
    for (char16_t unit : label)
        if (unit > 0xFF || unit == u'\n' || unit == u'\0')
            return true;
    return false;
}

void appendLabel(std::string& out, const std::u16string& label) {
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

// Reads the file the way a character stream with the classic locale does: numbers skip leading
// white space, a separator is skipped whatever it is, and once the reader has failed nothing more
// is read. Reaching the end is not a failure by itself, so a last record without its final line
// feed is still whole.
class StoreReader {
  public:
    explicit StoreReader(std::string_view bytes) : data_(bytes) {}

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
        if (pos_ < data_.size())
            ++pos_;
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
    std::optional<std::string_view> readLine() {
        if (!good() || pos_ == data_.size()) {
            atEnd_ = pos_ == data_.size();
            failed_ = true;
            return std::nullopt;
        }
        const bool encoded = data_[pos_] == encodedLabelMark;
        const std::size_t limit = encoded ? maxEncodedLabelLength : maxLabelLength;
        const std::size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != '\n') {
            if (pos_ - start == limit) {
                failed_ = true;
                return std::nullopt;
            }
            ++pos_;
        }
        const std::string_view line = data_.substr(start, pos_ - start);
        if (pos_ < data_.size())
            ++pos_;
        else
            atEnd_ = true;
        return line;
    }

    bool fail() {
        failed_ = true;
        return false;
    }

  private:
    bool readNumber(std::uint64_t& magnitude, bool& negative, std::uint64_t limit) {
        if (!good())
            return fail();
        while (pos_ < data_.size() && isSpace(data_[pos_]))
            ++pos_;
        if (pos_ < data_.size() && (data_[pos_] == '-' || data_[pos_] == '+'))
            negative = data_[pos_++] == '-';
        const std::size_t firstDigit = pos_;
        while (pos_ < data_.size() && data_[pos_] >= '0' && data_[pos_] <= '9') {
            magnitude = magnitude * 10 + static_cast<unsigned>(data_[pos_] - '0');
            if (magnitude > limit)
                return fail();
            ++pos_;
        }
        if (pos_ == firstDigit)
            return fail();
        if (pos_ == data_.size())
            atEnd_ = true;
        return true;
    }

    static bool isSpace(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }

    std::string_view data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    bool atEnd_ = false;
};

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
        appendLabel(out, record.name);
        out += '\n';
        appendPair(out, record.left, record.top);
        appendPair(out, record.width, record.height);
        out += std::to_string(record.usage);
        out += '\n';
    }
    return out;
}

void decodeStore(std::string_view bytes, organizers::DesktopProxy& proxy) {
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
    while (reader.good()) {
        organizers::IconRecord record;
        const std::optional<std::string_view> line = reader.readLine();
        std::optional<std::u16string> name;
        if (line)
            name = decodeLabel(*line);
        if (!name)
            reader.fail();
        reader.readPair(record.left, record.top);
        reader.readPair(record.width, record.height);
        reader.readUint(record.usage);
        reader.skipOne();
        if (reader.failed())
            break;
        record.name = std::move(*name);
        proxy.icons.push_back(std::move(record));
    }
}

void readStore(organizers::DesktopProxy& proxy, const std::filesystem::path& file) {
    if (file.empty())
        return;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    decodeStore(bytes, proxy);
}

void writeStore(const organizers::DesktopProxy& proxy) noexcept {
    try {
        std::filesystem::path temporary = proxy.storePath;
        temporary += ".new";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            const std::string bytes = encodeStore(proxy);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.flush();
            if (!out) {
                out.close();
                std::error_code ignored;
                std::filesystem::remove(temporary, ignored);
                return;
            }
        }
        std::error_code error;
        std::filesystem::rename(temporary, proxy.storePath, error);
        if (error)
            std::filesystem::remove(temporary, error);
    } catch (...) {
        // Out of memory while encoding: the previous store stays as it was.
    }
}

} // namespace desktop_access
