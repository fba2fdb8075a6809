// Labels, the key by which Kelvara knows an icon in every file and every lookup: how long one
// can be, which record of a label counts where two share it, and how each file writes one.
//
// Icons are matched by exact, case-sensitive equality of their labels. Where two records share a
// label, the first one counts (its count, its place), everywhere.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace desktop_access {

// The list view hands out at most this many characters of a label, and every file holds at most
// this many in a label line.
inline constexpr std::size_t maxLabelLength = 259;
// A buffer for a label from the list view: the label and its null.
inline constexpr std::size_t labelBufferLength = maxLabelLength + 1;

// For each label of the items (labelOf gives it), the position of the first item that has it.
template <typename Items, typename LabelOf>
std::unordered_map<std::u16string_view, std::size_t> firstOfEachLabel(const Items& items,
                                                                      LabelOf&& labelOf) {
    std::unordered_map<std::u16string_view, std::size_t> first;
    first.reserve(items.size());
    std::size_t position = 0;
    for (const auto& item : items)
        first.try_emplace(std::u16string_view(labelOf(item)), position++);
    return first;
}

// Whether each item (in order) is the first of its label.
template <typename Items, typename LabelOf>
std::vector<bool> firstsOfTheirLabels(const Items& items, LabelOf&& labelOf) {
    std::vector<bool> firsts(items.size(), false);
    for (const auto& [label, position] : firstOfEachLabel(items, labelOf))
        firsts[position] = true;
    return firsts;
}

// The icon store's form of a label line. Labels made only of characters up to 0xFF are written
// byte for byte, one byte per character (ISO 8859-1), exactly as the file has always held them.
// Any other label (a character above 0xFF, a surrogate, or a line feed or null that would break
// the line structure) is written as a null byte followed by four hex digits per UTF-16 code
// unit. A plain label can never start with a null byte (labels end at their first null), so the
// two forms cannot be confused; every UTF-16 sequence, unpaired surrogates included, reads back
// unchanged; and a reader that knows only the plain form sees an empty label there and reads
// on, as long as the line fits its 259 characters (an encoded label of up to 64 code units).
inline constexpr char storeEncodedMark = '\0';
// The longest label line the store's reader takes in either form.
std::size_t storeLabelLineLimit(bool encoded);
void appendStoreLabel(std::string& out, std::u16string_view label);
// Nothing when an encoded line is not whole.
std::optional<std::u16string> decodeStoreLabel(std::string_view line);

// The layouts file's form: UTF-8, with "\\" for a backslash, "\n" for a line feed, "\r" for a
// carriage return and "\uXXXX" (four hex digits) for any other control character and for a
// surrogate that has no partner, so any UTF-16 label reads back unchanged. Labels of printable
// ASCII without a backslash are written as they are.
void appendLayoutsLabel(std::string& out, std::u16string_view label);
// Nothing when the text is not of that form, or holds more than maxUnits code units.
std::optional<std::u16string> decodeLayoutsLabel(std::string_view text, std::size_t maxUnits);

} // namespace desktop_access
