#include "desktop_access/named_layouts.h"

#include <algorithm>
#include <new>

#include "desktop_access/busy_file.h"
#include "desktop_access/errors.h"
#include "desktop_access/labels.h"
#include "desktop_access/text_lines.h"

namespace desktop_access {
namespace {

constexpr std::string_view namedHeader = "Kelvara named layouts 1";
constexpr std::string_view exportHeader = "Kelvara layout 1";
constexpr std::string_view trailer = "end";

void appendBlock(std::string& out, const NamedLayout& layout) {
    out += "name ";
    appendLayoutsLabel(out, layout.name);
    out += "\ndisplay ";
    appendNumber(out, std::int64_t(layout.display.workAreas.size()));
    out += ' ';
    appendNumber(out, layout.display.cellWidth);
    out += ' ';
    appendNumber(out, layout.display.cellHeight);
    out += ' ';
    appendNumber(out, std::int64_t(layout.places.size()));
    out += '\n';
    appendAreaLines(out, layout.display.workAreas);
    for (const Place& place : layout.places)
        appendPlace(out, place);
}

// Reads a block; why not, with the line, when it is not one.
// budget: the icons the rest of the file may still hold (all layouts together).
std::variant<NamedLayout, std::string> blockFrom(LineReader& reader, std::size_t& budget) {
    const auto fault = [&](const std::string& what) {
        return "line " + std::to_string(reader.lineNumber()) + ": " + what;
    };
    NamedLayout layout;
    std::optional<std::string_view> line = reader.line();
    if (!line || line->substr(0, 5) != "name ")
        return fault("a line \"name NAME\" was expected");
    std::optional<std::u16string> name =
        decodeLayoutsLabel(line->substr(5), maxLayoutNameLength + 1);
    if (!name || !validLayoutName(*name))
        return fault("the name must be 1 to 64 characters of text, without control characters");
    layout.name = std::move(*name);

    line = reader.line();
    std::size_t areas = 0;
    std::size_t icons = 0;
    std::string_view text = line.value_or("");
    if (!line || field(text) != "display" || !number(field(text), areas) ||
        !number(field(text), layout.display.cellWidth) ||
        !number(field(text), layout.display.cellHeight) || !number(field(text), icons) ||
        !text.empty())
        return fault("a line \"display AREAS CELLWIDTH CELLHEIGHT ICONS\" was expected");
    if (areas > maxFileAreas || icons > budget)
        return fault("more work areas or icons than a desktop holds");
    budget -= icons;
    std::optional<std::vector<Rect>> workAreas = areaLinesFrom(reader, areas);
    if (!workAreas)
        return fault("the work areas must be " + std::to_string(areas) +
                     " lines \"area LEFT TOP RIGHT BOTTOM\", sorted");
    layout.display.workAreas = std::move(*workAreas);
    layout.places.reserve(std::min(icons, reader.left() / 4)); // a place line has 4 bytes or more
    for (std::size_t i = 0; i < icons; ++i) {
        line = reader.line();
        std::optional<Place> place = line ? placeFrom(*line) : std::nullopt;
        if (!place)
            return fault("an icon's line \"LEFT TOP LABEL\" was expected");
        layout.places.push_back(std::move(*place));
    }
    return layout;
}

} // namespace

bool validLayoutName(std::u16string_view name) {
    return !name.empty() && name.size() <= maxLayoutNameLength &&
           std::none_of(name.begin(), name.end(),
                        [](char16_t unit) { return unit < 0x20 || unit == 0x7F; });
}

const NamedLayout* NamedLayouts::find(std::u16string_view name) const {
    for (const NamedLayout& layout : layouts)
        if (layout.name == name)
            return &layout;
    return nullptr;
}

bool NamedLayouts::save(NamedLayout layout) {
    if (!validLayoutName(layout.name))
        return false;
    for (NamedLayout& kept : layouts)
        if (kept.name == layout.name) {
            kept = std::move(layout);
            return true;
        }
    if (layouts.size() >= maxNamedLayouts)
        return false;
    layouts.push_back(std::move(layout));
    return true;
}

bool NamedLayouts::forget(std::u16string_view name) {
    const auto before = layouts.size();
    std::erase_if(layouts, [&](const NamedLayout& layout) { return layout.name == name; });
    return layouts.size() != before;
}

std::string encodeNamedLayouts(const NamedLayouts& layouts) {
    std::string out(namedHeader);
    out += '\n';
    for (const NamedLayout& layout : layouts.layouts)
        appendBlock(out, layout);
    out += trailer;
    out += '\n';
    return out;
}

std::optional<NamedLayouts> decodeNamedLayouts(std::string_view bytes) {
    LineReader reader(bytes);
    if (reader.line() != namedHeader)
        return std::nullopt;
    NamedLayouts layouts;
    std::size_t budget = maxFilePlaces; // icons in all
    for (;;) {
        LineReader ahead = reader;
        if (ahead.line() == trailer) {
            reader = ahead;
            break;
        }
        auto block = blockFrom(reader, budget);
        if (std::holds_alternative<std::string>(block) ||
            layouts.layouts.size() >= maxNamedLayouts ||
            layouts.find(std::get<NamedLayout>(block).name))
            return std::nullopt;
        layouts.layouts.push_back(std::move(std::get<NamedLayout>(block)));
    }
    if (!reader.atEnd())
        return std::nullopt;
    return layouts;
}

std::optional<NamedLayouts> readNamedLayouts(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = readWholeFile(file, maxPlacesFileBytes);
    return bytes ? decodeNamedLayouts(*bytes) : std::nullopt;
}

void writeNamedLayouts(const std::filesystem::path& file, const NamedLayouts& layouts) {
    std::string bytes;
    try {
        bytes = encodeNamedLayouts(layouts);
    } catch (const std::bad_alloc&) {
        throw HistoryWriteError(std::string(namedLayoutsNotSaved) + ": it ran out of memory.");
    }
    std::size_t icons = 0;
    for (const NamedLayout& layout : layouts.layouts)
        icons += layout.places.size();
    if (bytes.size() > maxPlacesFileBytes || icons > maxFilePlaces) // more than its reader takes
        throw HistoryWriteError(std::string(namedLayoutsNotSaved) +
                                ": the layouts would hold more icons than Kelvara keeps; forget "
                                "one first.");
    if (const std::optional<NotWritten> failed =
            replaceWhenFree(file, bytes, namedLayoutsNotSaved))
        throw HistoryWriteError(failed->reason, failed->error);
}

std::filesystem::path namedLayoutsPathFor(const std::filesystem::path& storeFile) {
    std::filesystem::path named = storeFile;
    named.replace_extension(".named");
    return named;
}

std::string encodeExportedLayout(const NamedLayout& layout) {
    std::string out(exportHeader);
    out += '\n';
    appendBlock(out, layout);
    out += trailer;
    out += '\n';
    return out;
}

std::variant<NamedLayout, std::string> decodeExportedLayout(std::string_view bytes) {
    LineReader reader(bytes);
    if (reader.line() != exportHeader)
        return std::string("line 1: a layout file begins with \"Kelvara layout 1\"");
    std::size_t budget = maxFilePlaces;
    auto block = blockFrom(reader, budget);
    if (std::holds_alternative<std::string>(block))
        return block;
    if (reader.line() != trailer)
        return "line " + std::to_string(reader.lineNumber()) + ": the line \"end\" was expected";
    if (!reader.atEnd())
        return "line " + std::to_string(reader.lineNumber() + 1) +
               ": nothing may follow the line \"end\"";
    return block;
}

} // namespace desktop_access
