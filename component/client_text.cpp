#include "component/client_text.h"

namespace component {
namespace {

bool isSpace(char16_t unit) {
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

} // namespace

std::u16string failureLine(const std::u16string& what, const std::u16string& why,
                           const std::u16string& separator, const std::u16string& fullStop) {
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
        line += separator + reason;
    const auto endsIn = [&](const std::u16string& stop) {
        return line.size() >= stop.size() && !stop.empty() &&
               line.compare(line.size() - stop.size(), stop.size(), stop) == 0;
    };
    if (line.empty() || !(endsIn(u".") || endsIn(fullStop)))
        line += fullStop;
    return line + u"\n";
}

std::u16string widen(const std::string& ascii) {
    std::u16string wide;
    wide.reserve(ascii.size());
    for (char c : ascii)
        wide.push_back(static_cast<unsigned char>(c));
    return wide;
}

} // namespace component
