#include "desktop_access/text_lines.h"

#include <algorithm>
#include <fstream>

#include "desktop_access/labels.h"

namespace desktop_access {

std::optional<std::string> readWholeFile(const std::filesystem::path& file,
                                         std::uintmax_t maxBytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uintmax_t>(size) > maxBytes)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), size))
        return std::nullopt;
    return bytes;
}

std::uint64_t fileIdentity(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = readWholeFile(file, maxPlacesFileBytes);
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes.value_or(std::string()))
        hash = (hash ^ std::uint8_t(byte)) * 1099511628211ull;
    return hash;
}

std::optional<std::string_view> LineReader::line() {
    const std::size_t end = rest_.find('\n');
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::string_view line = rest_.substr(0, end);
    rest_.remove_prefix(end + 1);
    ++lines_;
    return line;
}

std::optional<std::string_view> LineReader::take(std::size_t count) {
    if (count > rest_.size())
        return std::nullopt;
    const std::string_view taken = rest_.substr(0, count);
    rest_.remove_prefix(count);
    for (char c : taken)
        lines_ += c == '\n';
    return taken;
}

std::string_view field(std::string_view& text) {
    const std::size_t end = text.find(' ');
    const std::string_view first = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return first;
}

void appendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void appendArea(std::string& out, const Rect& area) {
    appendNumber(out, area.left);
    out += ' ';
    appendNumber(out, area.top);
    out += ' ';
    appendNumber(out, area.right);
    out += ' ';
    appendNumber(out, area.bottom);
}

std::optional<Rect> areaFrom(std::string_view text) {
    Rect area;
    if (!numbers<std::int32_t>(text, {&area.left, &area.top, &area.right, &area.bottom}) ||
        !text.empty())
        return std::nullopt;
    return area;
}

void appendAreaLines(std::string& out, const std::vector<Rect>& areas) {
    for (const Rect& area : areas) {
        out += "area ";
        appendArea(out, area);
        out += '\n';
    }
}

std::optional<std::vector<Rect>> areaLinesFrom(LineReader& reader, std::size_t count) {
    std::vector<Rect> areas;
    for (std::size_t i = 0; i < count; ++i) {
        std::optional<std::string_view> line = reader.line();
        if (!line)
            return std::nullopt;
        std::string_view text = *line;
        const std::optional<Rect> area = field(text) == "area" ? areaFrom(text) : std::nullopt;
        if (!area)
            return std::nullopt;
        areas.push_back(*area);
    }
    if (!std::is_sorted(areas.begin(), areas.end(), areaBefore))
        return std::nullopt;
    return areas;
}

void appendPlace(std::string& out, const Place& place) {
    appendNumber(out, place.left);
    out += ' ';
    appendNumber(out, place.top);
    out += ' ';
    appendLayoutsLabel(out, place.label);
    out += '\n';
}

std::optional<Place> placeFrom(std::string_view line) {
    Place place;
    if (!numbers<std::int32_t>(line, {&place.left, &place.top}))
        return std::nullopt;
    std::optional<std::u16string> name = decodeLayoutsLabel(line, maxFileLabelUnits);
    if (!name)
        return std::nullopt;
    place.label = std::move(*name);
    return place;
}

} // namespace desktop_access
