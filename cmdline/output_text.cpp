#include "cmdline/output_text.h"

#include <algorithm>

#include "cmdline/command_line.h"

namespace cmdline {
namespace {

std::u16string number(std::int64_t value) {
    return widen(std::to_string(value));
}

bool isSpace(char16_t unit) {
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

} // namespace

std::u16string widen(const std::string& ascii) {
    std::u16string wide;
    wide.reserve(ascii.size());
    for (char c : ascii)
        wide.push_back(static_cast<unsigned char>(c));
    return wide;
}

std::u16string settingsText(const Settings& settings) {
    return u"sort: " + sortWord(settings.sortMethod).value_or(number(settings.sortMethod)) +
           u"\narrange: " +
           arrangeWord(settings.arrangeMethod).value_or(number(settings.arrangeMethod)) +
           u"\nlocked: " + (settings.locked != 0 ? u"yes" : u"no") + u"\n";
}

std::u16string iconCountText(std::int32_t count) {
    return u"icons: " + number(count) + u"\n";
}

std::u16string countsText(std::vector<organizers::IconRecord> icons) {
    std::stable_sort(icons.begin(), icons.end(), [](const auto& a, const auto& b) {
        return a.usage != b.usage ? a.usage > b.usage : a.name < b.name;
    });
    std::u16string text;
    for (const organizers::IconRecord& icon : icons) {
        text += number(icon.usage) + u"\t";
        for (char16_t unit : icon.name)
            text.push_back(unit < u' ' || unit == u'\x7F' ? u' ' : unit);
        text += u"\n";
    }
    return text;
}

std::u16string failureLine(const std::u16string& what, const std::u16string& why) {
    std::u16string reason;
    for (char16_t unit : why) {
        if (!isSpace(unit))
            reason.push_back(unit);
        else if (!reason.empty() && reason.back() != u' ')
            reason.push_back(u' ');
    }
    while (!reason.empty() && reason.back() == u' ')
        reason.pop_back();
    std::u16string line = what;
    if (!reason.empty())
        line += u": " + reason;
    if (line.empty() || line.back() != u'.')
        line += u".";
    return line + u"\n";
}

} // namespace cmdline
