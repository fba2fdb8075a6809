#include "desktop_access/history.h"

#include <algorithm>
#include <new>

#include "desktop_access/busy_file.h"
#include "desktop_access/errors.h"
#include "desktop_access/text_lines.h"

namespace desktop_access {
namespace {

constexpr std::string_view header = "Kelvara history 1";
constexpr std::string_view trailer = "end";

// current, described as target.
RestorePoint describedAs(RestorePoint current, const RestorePoint& target) {
    current.time = target.time;
    current.trigger = target.trigger;
    current.sortMethod = target.sortMethod;
    current.arrangeMethod = target.arrangeMethod;
    return current;
}

void keepNewest(std::vector<RestorePoint>& points) {
    if (points.size() > History::capacity)
        points.erase(points.begin(), points.end() - History::capacity);
}

std::size_t placesIn(const History& history) {
    std::size_t places = 0;
    for (const std::vector<RestorePoint>* points : {&history.undo, &history.redo})
        for (const RestorePoint& point : *points)
            places += point.places.size();
    return places;
}

void appendPoint(std::string& out, const RestorePoint& point) {
    // The time is unsigned, as it is read: any FILETIME count, the highest ones too.
    out += "point " + std::to_string(point.time) + ' ';
    for (const std::int64_t value :
         {std::int64_t(point.trigger), std::int64_t(point.sortMethod),
          std::int64_t(point.arrangeMethod), std::int64_t(point.display.workAreas.size()),
          std::int64_t(point.display.cellWidth), std::int64_t(point.display.cellHeight)}) {
        appendNumber(out, value);
        out += ' ';
    }
    appendNumber(out, std::int64_t(point.places.size()));
    out += '\n';
    appendAreaLines(out, point.display.workAreas);
    for (const Place& place : point.places)
        appendPlace(out, place);
}

void appendPoints(std::string& out, std::string_view which,
                  const std::vector<RestorePoint>& points) {
    out += which;
    out += ' ';
    appendNumber(out, std::int64_t(points.size()));
    out += '\n';
    for (const RestorePoint& point : points)
        appendPoint(out, point);
}

// budget: the places the rest of the file may still hold (all points together).
std::optional<RestorePoint> pointFrom(LineReader& reader, std::size_t& budget) {
    const std::optional<std::string_view> line = reader.line();
    if (!line)
        return std::nullopt;
    std::string_view text = *line;
    RestorePoint point;
    std::uint64_t time = 0;
    std::uint32_t trigger = 0;
    std::size_t areas = 0;
    std::size_t places = 0;
    if (field(text) != "point" || !number(field(text), time) || !number(field(text), trigger) ||
        trigger >= triggerCount || !number(field(text), point.sortMethod) ||
        !number(field(text), point.arrangeMethod) || !number(field(text), areas) ||
        !number(field(text), point.display.cellWidth) ||
        !number(field(text), point.display.cellHeight) || !number(field(text), places) ||
        !text.empty() || areas > maxFileAreas || places > budget)
        return std::nullopt;
    budget -= places;
    point.time = time;
    point.trigger = static_cast<Trigger>(trigger);
    std::optional<std::vector<Rect>> workAreas = areaLinesFrom(reader, areas);
    if (!workAreas)
        return std::nullopt;
    point.display.workAreas = std::move(*workAreas);
    point.places.reserve(std::min(places, reader.left() / 4)); // a place line has 4 bytes or more
    for (std::size_t i = 0; i < places; ++i) {
        const std::optional<std::string_view> placeLine = reader.line();
        std::optional<Place> place = placeLine ? placeFrom(*placeLine) : std::nullopt;
        if (!place)
            return std::nullopt;
        point.places.push_back(std::move(*place));
    }
    return point;
}

std::optional<std::vector<RestorePoint>> pointsFrom(LineReader& reader, std::string_view which,
                                                    std::size_t& budget) {
    const std::optional<std::string_view> line = reader.line();
    if (!line)
        return std::nullopt;
    std::string_view text = *line;
    std::size_t count = 0;
    if (field(text) != which || !number(field(text), count) || !text.empty() ||
        count > History::capacity)
        return std::nullopt;
    std::vector<RestorePoint> points;
    for (std::size_t i = 0; i < count; ++i) {
        std::optional<RestorePoint> point = pointFrom(reader, budget);
        if (!point)
            return std::nullopt;
        points.push_back(std::move(*point));
    }
    return points;
}

} // namespace

void History::record(RestorePoint before) {
    undo.push_back(std::move(before));
    keepNewest(undo);
    redo.clear();
}

std::optional<RestorePoint> History::stepBack(RestorePoint current) {
    if (undo.empty())
        return std::nullopt;
    RestorePoint target = std::move(undo.back());
    undo.pop_back();
    redo.push_back(describedAs(std::move(current), target));
    keepNewest(redo);
    return target;
}

std::optional<RestorePoint> History::stepForward(RestorePoint current) {
    if (redo.empty())
        return std::nullopt;
    RestorePoint target = std::move(redo.back());
    redo.pop_back();
    undo.push_back(describedAs(std::move(current), target));
    keepNewest(undo);
    return target;
}

std::string encodeHistory(const History& history) {
    std::string out(header);
    out += '\n';
    appendPoints(out, "undo", history.undo);
    appendPoints(out, "redo", history.redo);
    out += trailer;
    out += '\n';
    return out;
}

std::optional<History> decodeHistory(std::string_view bytes) {
    LineReader reader(bytes);
    if (reader.line() != header)
        return std::nullopt;
    History history;
    std::size_t budget = maxFilePlaces; // places in all
    std::optional<std::vector<RestorePoint>> undo = pointsFrom(reader, "undo", budget);
    std::optional<std::vector<RestorePoint>> redo =
        undo ? pointsFrom(reader, "redo", budget) : std::nullopt;
    if (!redo || reader.line() != trailer || !reader.atEnd())
        return std::nullopt;
    history.undo = std::move(*undo);
    history.redo = std::move(*redo);
    return history;
}

std::optional<History> readHistory(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = readWholeFile(file, maxPlacesFileBytes);
    return bytes ? decodeHistory(*bytes) : std::nullopt;
}

void writeHistory(const std::filesystem::path& file, const History& history) {
    std::string bytes;
    try {
        bytes = encodeHistory(history);
        if (bytes.size() > maxPlacesFileBytes || placesIn(history) > maxFilePlaces) {
            // Huge desktops: the oldest points to undo go first, then the furthest to redo, until
            // the file is one its reader takes.
            History kept = history;
            while ((bytes.size() > maxPlacesFileBytes || placesIn(kept) > maxFilePlaces) &&
                   !(kept.undo.empty() && kept.redo.empty())) {
                std::vector<RestorePoint>& from = kept.undo.empty() ? kept.redo : kept.undo;
                from.erase(from.begin());
                bytes = encodeHistory(kept);
            }
        }
    } catch (const std::bad_alloc&) {
        throw HistoryWriteError(std::string(historyNotSaved) + ": it ran out of memory.");
    }
    if (const std::optional<NotWritten> failed = replaceWhenFree(file, bytes, historyNotSaved))
        throw HistoryWriteError(failed->reason, failed->error);
}

std::filesystem::path historyPathFor(const std::filesystem::path& storeFile) {
    std::filesystem::path history = storeFile;
    history.replace_extension(".history");
    return history;
}

} // namespace desktop_access
