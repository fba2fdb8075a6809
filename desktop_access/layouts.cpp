#include "desktop_access/layouts.h"

#include "desktop_access/busy_file.h"
#include "desktop_access/errors.h"
#include "desktop_access/labels.h"
#include "desktop_access/renames.h"
#include "desktop_access/text_lines.h"
#include "winapi/error.h"

#include <algorithm>
#include <fstream>
#include <new>

namespace desktop_access {
namespace {

constexpr std::string_view header = "Kelvara layouts 1";
constexpr std::string_view trailer = "end";

void appendPlaces(std::string& out, const std::vector<Place>& places) {
    for (const Place& place : places)
        appendPlace(out, place);
}

// Whether the places, written out, are exactly these lines.
bool sameAsLines(const std::vector<const Place*>& places, std::string_view lines) {
    std::string line;
    for (const Place* place : places) {
        line.clear();
        appendPlace(line, *place);
        if (lines.substr(0, line.size()) != line)
            return false;
        lines.remove_prefix(line.size());
    }
    return lines.empty();
}

} // namespace

std::vector<DisplayConfiguration> Layouts::configurations() const {
    std::vector<DisplayConfiguration> configurations;
    for (const Entry& entry : entries_)
        configurations.push_back(entry.configuration);
    return configurations;
}

const DisplayConfiguration* Layouts::mostRecent() const {
    return entries_.empty() ? nullptr : &entries_.front().configuration;
}

const Layouts::Entry* Layouts::entryOf(const DisplayConfiguration& configuration) const {
    for (const Entry& entry : entries_)
        if (entry.configuration == configuration)
            return &entry;
    return nullptr;
}

const std::vector<Place>* Layouts::placesOf(const Entry& entry) const {
    if (entry.places)
        return &*entry.places;
    if (entry.damaged)
        return nullptr;
    std::vector<Place> places;
    places.reserve(entry.placeCount);
    std::string_view lines = entry.encodedPlaces;
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        std::optional<Place> place = placeFrom(lines.substr(0, end));
        if (!place) {
            entry.damaged = true;
            return nullptr;
        }
        places.push_back(std::move(*place));
        lines.remove_prefix(end + 1);
    }
    if (places.size() != entry.placeCount) {
        entry.damaged = true;
        return nullptr;
    }
    entry.places = std::move(places);
    return &*entry.places;
}

const std::vector<Place>* Layouts::find(const DisplayConfiguration& configuration) const {
    const Entry* entry = entryOf(configuration);
    return entry ? placesOf(*entry) : nullptr;
}

bool Layouts::remember(const DisplayConfiguration& configuration,
                       const std::vector<Place>& places) {
    std::vector<const Place*> distinct; // the first place of each label, in order
    distinct.reserve(places.size());
    const std::vector<bool> firsts = firstsOfTheirLabels(
        places, [](const Place& place) { return std::u16string_view(place.label); });
    for (std::size_t i = 0; i < places.size(); ++i)
        if (firsts[i])
            distinct.push_back(&places[i]);
    if (!entries_.empty() && entries_.front().configuration == configuration) {
        const Entry& front = entries_.front();
        // Mostly the display shows what it showed: the places as the file would hold them are
        // compared with the file's lines, which need not be read for that.
        if (!front.places && !front.damaged) {
            if (sameAsLines(distinct, front.encodedPlaces))
                return false;
        } else if (const std::vector<Place>* remembered = placesOf(front);
                   remembered &&
                   std::equal(remembered->begin(), remembered->end(), distinct.begin(),
                              distinct.end(),
                              [](const Place& a, const Place* b) { return a == *b; })) {
            return false;
        }
    }
    Entry entry{configuration, distinct.size(), {}, std::vector<Place>{}, false};
    entry.places->reserve(distinct.size());
    for (const Place* place : distinct)
        entry.places->push_back(*place);
    std::erase_if(entries_, [&](const Entry& old) { return old.configuration == configuration; });
    entries_.insert(entries_.begin(), std::move(entry));
    if (entries_.size() > capacity)
        entries_.resize(capacity);
    return true;
}

bool Layouts::rename(const std::u16string& from, const std::u16string& to) {
    bool changed = false;
    for (Entry& entry : entries_) {
        const std::vector<Place>* read = placesOf(entry);
        if (from == to || read == nullptr)
            continue;
        const auto named = [](const std::u16string& label) {
            return [&label](const Place& place) { return place.label == label; };
        };
        if (std::none_of(read->begin(), read->end(), named(from)))
            continue;
        std::vector<Place> places = *read;
        if (std::any_of(places.begin(), places.end(), named(to)))
            std::erase_if(places, named(from)); // one place per label: the one it had stays
        else
            renamePlaces(places, from, to);
        entry.placeCount = places.size();
        entry.places = std::move(places);
        changed = true;
    }
    return changed;
}

bool operator==(const Layouts& a, const Layouts& b) {
    if (a.entries_.size() != b.entries_.size())
        return false;
    for (std::size_t i = 0; i < a.entries_.size(); ++i) {
        const std::vector<Place>* placesA = a.placesOf(a.entries_[i]);
        const std::vector<Place>* placesB = b.placesOf(b.entries_[i]);
        if (a.entries_[i].configuration != b.entries_[i].configuration || !placesA || !placesB ||
            *placesA != *placesB)
            return false;
    }
    return true;
}

std::string encodeLayouts(const Layouts& layouts) {
    std::string out(header);
    out += '\n';
    for (const Layouts::Entry& entry : layouts.entries_) {
        const std::vector<Place>* places = entry.places ? &*entry.places : nullptr;
        if (!places && entry.damaged)
            continue; // a damaged record is not written again
        const DisplayConfiguration& configuration = entry.configuration;
        out += "configuration ";
        appendNumber(out, std::int64_t(configuration.workAreas.size()));
        out += ' ';
        appendNumber(out, configuration.cellWidth);
        out += ' ';
        appendNumber(out, configuration.cellHeight);
        out += ' ';
        appendNumber(out, std::int64_t(places ? places->size() : entry.placeCount));
        out += ' ';
        std::string lines;
        if (places)
            appendPlaces(lines, *places);
        const std::string_view body = places ? std::string_view(lines) : entry.encodedPlaces;
        appendNumber(out, std::int64_t(body.size()));
        out += '\n';
        appendAreaLines(out, configuration.workAreas);
        out += body; // lines never read back are written as they were read: unchanged
    }
    out += trailer;
    out += '\n';
    return out;
}

std::optional<Layouts> decodeLayouts(std::string_view bytes) {
    std::shared_ptr<char[]> copy = std::make_shared_for_overwrite<char[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return Layouts::decode(std::move(copy), bytes.size());
}

std::optional<Layouts> Layouts::decode(std::shared_ptr<const char[]> file, std::size_t size) {
    LineReader reader(std::string_view(file.get(), size));
    if (reader.line() != header)
        return std::nullopt;
    Layouts layouts;
    for (;;) {
        std::optional<std::string_view> line = reader.line();
        if (!line)
            return std::nullopt; // cut short: the last line is missing
        if (*line == trailer)
            break;
        Layouts::Entry entry;
        std::string_view text = *line;
        std::size_t areaCount = 0;
        std::size_t bytes = 0;
        if (field(text) != "configuration" || !number(field(text), areaCount) ||
            !number(field(text), entry.configuration.cellWidth) ||
            !number(field(text), entry.configuration.cellHeight) ||
            !number(field(text), entry.placeCount) || !number(field(text), bytes) ||
            !text.empty() || areaCount > maxFileAreas || entry.placeCount > maxFilePlaces)
            return std::nullopt;
        std::optional<std::vector<Rect>> areas = areaLinesFrom(reader, areaCount);
        if (!areas)
            return std::nullopt;
        entry.configuration.workAreas = std::move(*areas);
        // The place lines are kept as they stand and read when first needed: of most files only
        // one display's places are ever read.
        std::optional<std::string_view> body = reader.take(bytes);
        if (!body || (!body->empty() && body->back() != '\n') ||
            (body->empty() != (entry.placeCount == 0)))
            return std::nullopt;
        entry.encodedPlaces = *body;
        // A configuration written twice is damage: a sound writer never does it.
        if (layouts.entryOf(entry.configuration))
            return std::nullopt;
        if (layouts.entries_.size() < Layouts::capacity)
            layouts.entries_.push_back(std::move(entry));
    }
    if (!reader.atEnd())
        return std::nullopt;
    layouts.file_ = std::move(file);
    return layouts;
}

std::optional<Layouts> readLayouts(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || std::uintmax_t(size) > maxPlacesFileBytes)
        return std::nullopt;
    // Not zeroed first: every byte is read into it.
    std::shared_ptr<char[]> bytes = std::make_shared_for_overwrite<char[]>(std::size_t(size));
    in.seekg(0);
    if (!in.read(bytes.get(), size))
        return std::nullopt;
    return Layouts::decode(std::move(bytes), std::size_t(size));
}

void writeLayouts(const std::filesystem::path& file, const Layouts& layouts) {
    std::string bytes;
    try {
        bytes = encodeLayouts(layouts);
    } catch (const std::bad_alloc&) {
        throw LayoutsWriteError(std::string(layoutsNotSaved) + ": it ran out of memory.");
    }
    if (const std::optional<NotWritten> failed = replaceWhenFree(file, bytes, layoutsNotSaved))
        throw LayoutsWriteError(failed->reason, failed->error);
}

bool displayChanged(const Layouts& layouts, const Grid& stored, const Grid& live,
                    const DisplayConfiguration& liveDisplay,
                    const DisplayConfiguration* lastArranged) {
    if (lastArranged)
        return *lastArranged != liveDisplay;
    if (const DisplayConfiguration* last = layouts.mostRecent())
        return *last != liveDisplay;
    return stored.areaWidth != live.areaWidth || stored.areaHeight != live.areaHeight;
}

std::filesystem::path layoutsPathFor(const std::filesystem::path& storeFile) {
    std::filesystem::path layouts = storeFile;
    layouts.replace_extension(".layouts");
    return layouts;
}

} // namespace desktop_access
