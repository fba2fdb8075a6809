// An icon renamed keeps what Kelvara knows of it: what is known by its old label is moved to the
// new one. The store, the layouts, the last display and the history know icons by label only.
//
// Icons that share a label share one usage count (the store's reader takes a label's first
// record). An icon renamed to a label another icon has shares its count from then on: the count
// is the sum of both, so that no opening is lost. In the layouts, which hold one place per label,
// the icon that had the label keeps its place (Layouts::rename); elsewhere both keep theirs.
#pragma once

#include <string>
#include <vector>

#include "desktop_access/display.h"
#include "desktop_access/history.h"
#include "desktop_access/icon_record.h"

namespace desktop_access {

// Each returns whether anything changed; a rename of a label to itself changes nothing.
bool renameRecords(std::vector<IconRecord>& records, const std::u16string& from,
                   const std::u16string& to);
bool renamePlaces(std::vector<Place>& places, const std::u16string& from, const std::u16string& to);
bool renameInHistory(History& history, const std::u16string& from, const std::u16string& to);

} // namespace desktop_access
