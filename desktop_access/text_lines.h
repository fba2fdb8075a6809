// The line form Kelvara's text files share (the layouts file, the history, the named layouts, an
// exported layout): UTF-8 lines that each end in a line feed, fields separated by one space,
// whole numbers in decimal ("-" for negatives, never "+"), a work area as "LEFT TOP RIGHT
// BOTTOM", and an icon's place as "LEFT TOP LABEL" with the label in the layouts file's form
// (labels.h). Reading is strict: whatever is not exactly of this form fails.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "desktop_access/display.h"
#include "desktop_access/geometry.h"

namespace desktop_access {

// A whole file's bytes; nothing when it is missing, unreadable or larger than maxBytes.
std::optional<std::string> readWholeFile(const std::filesystem::path& file,
                                         std::uintmax_t maxBytes);
// What a file holds, as one number (FNV-1a of its bytes, up to maxPlacesFileBytes): another
// number means other bytes. A missing or unreadable file counts as an empty one.
std::uint64_t fileIdentity(const std::filesystem::path& file);

// The longest label any of these files holds; a longer one is damage.
inline constexpr std::size_t maxFileLabelUnits = 1 << 12;
// Bounds of what a sound places file (layouts, history, named layouts) holds; anything beyond is
// damage. 16 displays of 1,000 icons take about 1 MiB.
inline constexpr std::size_t maxFileAreas = 16;
inline constexpr std::size_t maxFilePlaces = 1 << 20;
inline constexpr std::uintmax_t maxPlacesFileBytes = std::uintmax_t{64} << 20;

// Reads bytes a line at a time.
class LineReader {
  public:
    explicit LineReader(std::string_view bytes) : rest_(bytes) {}

    bool atEnd() const { return rest_.empty(); }
    // Bytes not read yet: no more lines than this can follow (a bound for reserving).
    std::size_t left() const { return rest_.size(); }
    // The next line without its line feed; nothing when no whole line is left (every line ends
    // in a line feed, the last one too, so a file cut short is never taken for a whole one).
    std::optional<std::string_view> line();
    // The next count bytes, or nothing when fewer are left.
    std::optional<std::string_view> take(std::size_t count);
    // Lines read so far, for telling where a file is not of its form.
    std::size_t lineNumber() const { return lines_; }

  private:
    std::string_view rest_;
    std::size_t lines_ = 0;
};

// Splits off the next field (up to a space, or the end).
std::string_view field(std::string_view& text);

template <typename Number> bool number(std::string_view text, Number& value) {
    if (text.empty() || text.front() == '+')
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// The next fields as numbers, one per pointer.
template <typename Number>
bool numbers(std::string_view& text, std::initializer_list<Number*> out) {
    for (Number* value : out)
        if (!number(field(text), *value))
            return false;
    return true;
}

void appendNumber(std::string& out, std::int64_t value);

// "LEFT TOP RIGHT BOTTOM" (no line feed); the whole text.
void appendArea(std::string& out, const Rect& area);
std::optional<Rect> areaFrom(std::string_view text);

// One "area LEFT TOP RIGHT BOTTOM" line per work area, and reading count of them back (nothing
// when they are not of that form, or not in the order a configuration keeps them).
void appendAreaLines(std::string& out, const std::vector<Rect>& areas);
std::optional<std::vector<Rect>> areaLinesFrom(LineReader& reader, std::size_t count);

// "LEFT TOP LABEL" and a line feed; a whole line without it.
void appendPlace(std::string& out, const Place& place);
std::optional<Place> placeFrom(std::string_view line);

} // namespace desktop_access
