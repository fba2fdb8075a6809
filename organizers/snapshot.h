// The organizers work on values of the desktop access layer: its snapshot, icon records and grid,
// known here by these names.
#pragma once

#include "desktop_access/desktop_proxy.h"

namespace organizers {

using desktop_access::Cell;
using desktop_access::CellHash;
using desktop_access::cellOf;
using desktop_access::DesktopProxy;
using desktop_access::Grid;
using desktop_access::gridMargin;
using desktop_access::IconRecord;
using desktop_access::placeInCell;
using desktop_access::ShellFacts;

} // namespace organizers
