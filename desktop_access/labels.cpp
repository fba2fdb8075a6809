#include "desktop_access/labels.h"

#include <algorithm>
#include <cstdint>

namespace desktop_access {

// --- the icon store's form ---

namespace {

bool needsEncoding(std::u16string_view label) {
    for (char16_t unit : label)
        if (unit > 0xFF || unit == u'\n' || unit == u'\0')
            return true;
    return false;
}

} // namespace

void appendStoreLabel(std::string& out, std::u16string_view label) {
    if (!needsEncoding(label)) {
        for (char16_t unit : label)
            out.push_back(static_cast<char>(static_cast<unsigned char>(unit)));
        return;
    }
    static constexpr char digits[] = "0123456789abcdef";
    out.push_back(storeEncodedMark);
    for (char16_t unit : label)
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(digits[(unit >> shift) & 0xF]);
}

std::optional<std::u16string> decodeStoreLabel(std::string_view line) {
    if (line.empty() || line.front() != storeEncodedMark) {
        std::u16string label;
        for (char c : line) {
            if (c == '\0')
                break; // a label ends at its first null character
            label.push_back(static_cast<unsigned char>(c));
        }
        return label;
    }
    line.remove_prefix(1);
    if (line.size() % 4 != 0)
        return std::nullopt;
    std::u16string label;
    for (std::size_t i = 0; i < line.size(); i += 4) {
        unsigned unit = 0;
        for (char c : line.substr(i, 4)) {
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else
                return std::nullopt;
            unit = unit * 16 + digit;
        }
        label.push_back(static_cast<char16_t>(unit));
    }
    return label;
}

std::size_t storeLabelLineLimit(bool encoded) {
    return encoded ? 1 + 4 * maxLabelLength : maxLabelLength;
}

// --- the layouts file's form ---

namespace {

void appendHexUnit(std::string& out, char16_t unit) {
    static constexpr char hex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(hex[(unit >> shift) & 0xF]);
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool isHigh(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLow(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

void appendLayoutsLabel(std::string& out, std::u16string_view label) {
    if (std::all_of(label.begin(), label.end(),
                    [](char16_t unit) { return unit >= 0x20 && unit < 0x7F && unit != u'\\'; })) {
        for (char16_t unit : label)
            out.push_back(static_cast<char>(unit));
        return;
    }
    for (std::size_t i = 0; i < label.size(); ++i) {
        const char16_t unit = label[i];
        if (unit == u'\\')
            out += "\\\\";
        else if (unit == u'\n')
            out += "\\n";
        else if (unit == u'\r')
            out += "\\r";
        else if (unit < 0x20 || unit == 0x7F)
            appendHexUnit(out, unit);
        else if (isHigh(unit) && i + 1 < label.size() && isLow(label[i + 1])) {
            appendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (label[i + 1] - 0xDC00));
            ++i;
        } else if (isHigh(unit) || isLow(unit))
            appendHexUnit(out, unit);
        else
            appendUtf8(out, unit);
    }
}

namespace {

bool hexUnit(std::string_view digits, char16_t& unit) {
    unsigned value = 0;
    if (digits.size() != 4)
        return false;
    for (char c : digits) {
        value <<= 4;
        if (c >= '0' && c <= '9')
            value |= unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            value |= unsigned(c - 'a' + 10);
        else
            return false;
    }
    unit = static_cast<char16_t>(value);
    return true;
}

// One UTF-8 sequence at the start of text, as a code point; nothing when it is not well formed.
std::optional<char32_t> utf8(std::string_view& text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    std::size_t length = first < 0x80    ? 1
                         : first >= 0xF0 ? 4
                         : first >= 0xE0 ? 3
                         : first >= 0xC0 ? 2
                                         : 0;
    if (length == 0 || first > 0xF4 || text.size() < length)
        return std::nullopt;
    char32_t code = length == 1 ? first : first & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return std::nullopt;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    text.remove_prefix(length);
    return code;
}

} // namespace

std::optional<std::u16string> decodeLayoutsLabel(std::string_view text, std::size_t maxUnits) {
    std::u16string label;
    while (!text.empty()) {
        if (label.size() > maxUnits)
            return std::nullopt;
        if (text.front() == '\\') {
            if (text.size() < 2)
                return std::nullopt;
            const char escaped = text[1];
            text.remove_prefix(2);
            if (escaped == '\\')
                label.push_back(u'\\');
            else if (escaped == 'n')
                label.push_back(u'\n');
            else if (escaped == 'r')
                label.push_back(u'\r');
            else if (escaped == 'u') {
                char16_t unit;
                if (!hexUnit(text.substr(0, 4), unit))
                    return std::nullopt;
                label.push_back(unit);
                text.remove_prefix(4);
            } else
                return std::nullopt;
            continue;
        }
        const std::optional<char32_t> code = utf8(text);
        if (!code)
            return std::nullopt;
        if (*code >= 0x10000) {
            label.push_back(static_cast<char16_t>(0xD800 + ((*code - 0x10000) >> 10)));
            label.push_back(static_cast<char16_t>(0xDC00 + ((*code - 0x10000) & 0x3FF)));
        } else {
            label.push_back(static_cast<char16_t>(*code));
        }
    }
    return label;
}

} // namespace desktop_access
