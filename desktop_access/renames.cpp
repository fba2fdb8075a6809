#include "desktop_access/renames.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace desktop_access {
namespace {

const IconRecord* firstNamed(const std::vector<IconRecord>& records, const std::u16string& label) {
    const auto found = std::find_if(records.begin(), records.end(),
                                    [&](const IconRecord& record) { return record.name == label; });
    return found == records.end() ? nullptr : &*found;
}

} // namespace

bool renameRecords(std::vector<IconRecord>& records, const std::u16string& from,
                   const std::u16string& to) {
    const IconRecord* renamed = firstNamed(records, from);
    if (from == to || renamed == nullptr)
        return false;
    std::uint32_t usage = renamed->usage;
    if (const IconRecord* sharing = firstNamed(records, to))
        usage += std::min(sharing->usage, std::numeric_limits<std::uint32_t>::max() - usage);
    for (IconRecord& record : records)
        if (record.name == from || record.name == to) {
            record.name = to;
            record.usage = usage;
        }
    return true;
}

bool renamePlaces(std::vector<Place>& places, const std::u16string& from,
                  const std::u16string& to) {
    bool changed = false;
    if (from == to)
        return false;
    for (Place& place : places)
        if (place.label == from) {
            place.label = to;
            changed = true;
        }
    return changed;
}

bool renameInHistory(History& history, const std::u16string& from, const std::u16string& to) {
    bool changed = false;
    for (std::vector<RestorePoint>* points : {&history.undo, &history.redo})
        for (RestorePoint& point : *points)
            changed = renamePlaces(point.places, from, to) || changed;
    return changed;
}

} // namespace desktop_access
