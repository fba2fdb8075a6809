#include "cmdline/output_text.h"

#include <algorithm>

#include "cmdline/command_line.h"

namespace cmdline {
namespace {

std::u16string number(std::int64_t value) {
    return component::widen(std::to_string(value));
}

} // namespace

std::u16string settingsText(const Settings& settings) {
    return u"sort: " + sortWord(settings.sortMethod).value_or(number(settings.sortMethod)) +
           u"\narrange: " +
           arrangeWord(settings.arrangeMethod).value_or(number(settings.arrangeMethod)) +
           u"\nlocked: " + (settings.locked != 0 ? u"yes" : u"no") + u"\nmonitors: " +
           monitorsWord(settings.monitors).value_or(number(settings.monitors)) + u"\n";
}

std::u16string iconCountText(std::int32_t count) {
    return u"icons: " + number(count) + u"\n";
}

std::u16string countsText(std::vector<desktop_access::IconRecord> icons) {
    std::stable_sort(icons.begin(), icons.end(), [](const auto& a, const auto& b) {
        return a.usage != b.usage ? a.usage > b.usage : a.name < b.name;
    });
    std::u16string text;
    for (const desktop_access::IconRecord& icon : icons) {
        text += number(icon.usage) + u"\t";
        for (char16_t unit : icon.name)
            text.push_back(unit < u' ' || unit == u'\x7F' ? u' ' : unit);
        text += u"\n";
    }
    return text;
}

} // namespace cmdline
