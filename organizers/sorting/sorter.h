// A sorting strategy: decides the order in which the edge aligners hand out grid cells. sort
// reorders the records in place; it adds, removes and changes none. Records equal under a
// strategy's relation end in an unspecified relative order.
#pragma once

#include <vector>

#include "desktop_access/desktop_proxy.h"

namespace organizers::sorting {

class Sorter {
  public:
    virtual void sort(std::vector<IconRecord>& icons) = 0;
    virtual ~Sorter() = default;
};

} // namespace organizers::sorting
