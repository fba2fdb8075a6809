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

std::u16string widen(const std::string& utf8) {
    std::u16string wide;
    wide.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
        const unsigned char lead = byte(at);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xC2 && lead < 0xE0 ? 2
                                   : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                 : 0;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool whole = length > 0 && at + length <= utf8.size();
        for (std::size_t i = 1; whole && i < length; ++i) {
            whole = (byte(at + i) & 0xC0) == 0x80;
            code = code << 6 | (byte(at + i) & 0x3F);
        }
        // Overlong forms, surrogates and what lies beyond Unicode are no UTF-8.
        whole = whole && !(length == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) &&
                !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
        if (!whole) {
            wide.push_back(lead);
            ++at;
            continue;
        }
        if (code >= 0x10000) {
            wide.push_back(char16_t(0xD800 + ((code - 0x10000) >> 10)));
            wide.push_back(char16_t(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(char16_t(code));
        }
        at += length;
    }
    return wide;
}

} // namespace component
