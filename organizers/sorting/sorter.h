// A sorting strategy: decides the order in which the edge aligners hand out grid cells. sort
// reorders the records in place; it adds, removes and changes none. Records equal under a
// strategy's relation end in an unspecified relative order.
#pragma once

#include <vector>

#include "organizers/snapshot.h"

namespace organizers::sorting {

class Sorter {
  public:
    virtual void sort(std::vector<IconRecord>& icons) = 0;
    virtual ~Sorter() = default;
};

} // namespace organizers::sorting
