#include "component/history_text.h"

#include <array>
#include <cstdio>

#include "organizers/plan.h"

namespace component {
namespace {

struct Civil {
    std::int64_t year;
    unsigned month, day, hour, minute, second;
};

// The calendar date and time of a FILETIME count (proleptic Gregorian, as the system's).
Civil civilOf(std::uint64_t fileTime) {
    constexpr std::uint64_t ticksPerSecond = 10'000'000;
    const std::uint64_t seconds = fileTime / ticksPerSecond;
    const std::int64_t daysSince1601 = static_cast<std::int64_t>(seconds / 86400);
    const std::uint64_t ofDay = seconds % 86400;
    // Days from 0000-03-01 (1601-01-01 is day 584694), then the civil calendar's 400-year eras.
    const std::int64_t days = daysSince1601 + 584694;
    const std::int64_t era = days / 146097;
    const std::int64_t ofEra = days - era * 146097;
    const std::int64_t yearOfEra = (ofEra - ofEra / 1460 + ofEra / 36524 - ofEra / 146096) / 365;
    const std::int64_t dayOfYear = ofEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned day = static_cast<unsigned>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const unsigned month = static_cast<unsigned>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year,
            month,
            day,
            static_cast<unsigned>(ofDay / 3600),
            static_cast<unsigned>(ofDay / 60 % 60),
            static_cast<unsigned>(ofDay % 60)};
}

std::string sortName(std::int32_t sortMethod) {
    switch (sortMethod) {
    case organizers::SortIconName:
        return "sort by name";
    case organizers::SortUsage:
        return "sort by usage";
    case organizers::SortAge:
        return "sort by age";
    default:
        return "arrangement";
    }
}

} // namespace

std::string whatItDid(const desktop_access::RestorePoint& point) {
    using desktop_access::Trigger;
    if (point.arrangeMethod == desktop_access::restoreMethod)
        return "restore";
    switch (point.trigger) {
    case Trigger::restore:
        return "restore";
    case Trigger::displayChange:
    case Trigger::shellRestart:
        return "arrangement";
    default:
        return point.arrangeMethod == organizers::ArrangeAuto ? "tidy" : sortName(point.sortMethod);
    }
}

std::string triggerName(desktop_access::Trigger trigger) {
    static constexpr std::array<const char*, desktop_access::triggerCount> names{
        "program",        "script",        "menu",      "command line", "start",  "shell restart",
        "display change", "icons changed", "hand move", "opening",      "restore"};
    const auto index = static_cast<std::uint32_t>(trigger);
    return index < names.size() ? names[index] : "program";
}

std::string clockTime(std::uint64_t localTime) {
    const Civil civil = civilOf(localTime);
    char text[8];
    std::snprintf(text, sizeof text, "%02u:%02u", civil.hour, civil.minute);
    return text;
}

std::string dateAndTime(std::uint64_t localTime) {
    const Civil civil = civilOf(localTime);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02u:%02u:%02u",
                  static_cast<long long>(civil.year), civil.month, civil.day, civil.hour,
                  civil.minute, civil.second);
    return text;
}

std::string stepDescription(const desktop_access::RestorePoint& point, std::uint64_t localTime) {
    return whatItDid(point) + " (" + clockTime(localTime) + ")";
}

std::string historyLine(std::size_t number, const desktop_access::RestorePoint& point,
                        std::uint64_t localTime) {
    const std::size_t icons = point.places.size();
    return std::to_string(number) + '\t' + dateAndTime(localTime) + '\t' +
           triggerName(point.trigger) + '\t' + whatItDid(point) + '\t' + std::to_string(icons) +
           (icons == 1 ? " icon" : " icons");
}

} // namespace component
