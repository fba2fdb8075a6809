// Layouts the user saved under a name, to restore later on this display or another, and to carry
// to another PC. They are kept in the file Kelvara.named beside the icon store; one can also be
// written to a file of the user's (an export) and read back from one (an import).
//
// A layout is written as this block (UTF-8 text, lines ending in a line feed; numbers in decimal,
// "-" for negatives):
//
//   name NAME                                 the name, 1 to 64 UTF-16 code units, no controls
//   display AREAS CELLWIDTH CELLHEIGHT ICONS  the display it was saved on
//   area LEFT TOP RIGHT BOTTOM                AREAS lines, sorted by left, top, right, bottom
//   LEFT TOP LABEL                            ICONS lines: each icon's box corner and label
//
// The name and the labels are written as the layouts file writes labels (layouts.h): UTF-8, with
// "\\", "\n", "\r" and "\uXXXX" escapes, so any text reads back unchanged. Icons sharing a label
// keep their order.
//
// An exported layout is a file of one block between the lines "Kelvara layout 1" and "end";
// Kelvara.named holds up to 64 blocks, each name once, between "Kelvara named layouts 1" and
// "end". Reading is strict: a file that is not exactly of this form is not taken at all (a
// damaged Kelvara.named reads as no layouts, and the next save replaces it; an import says
// where and why).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "desktop_access/display.h"

namespace desktop_access {

inline constexpr std::size_t maxLayoutNameLength = 64;
inline constexpr std::size_t maxNamedLayouts = 64;

struct NamedLayout {
    std::u16string name;
    DisplayConfiguration display;
    std::vector<Place> places;
    friend bool operator==(const NamedLayout&, const NamedLayout&) = default;
};

// Whether a name can be given to a layout: 1 to 64 code units, none of them a control character
// (U+0000 to U+001F, U+007F): names are shown in menus and listed one to a line.
bool validLayoutName(std::u16string_view name);

struct NamedLayouts {
    std::vector<NamedLayout> layouts; // in the order they were first saved

    const NamedLayout* find(std::u16string_view name) const;
    // Saves the layout under its name, replacing one of that name. False, changing nothing,
    // when its name is not valid or 64 other names are kept already.
    bool save(NamedLayout layout);
    // False when no layout has that name.
    bool forget(std::u16string_view name);
    friend bool operator==(const NamedLayouts&, const NamedLayouts&) = default;
};

std::string encodeNamedLayouts(const NamedLayouts& layouts);
std::optional<NamedLayouts> decodeNamedLayouts(std::string_view bytes);
// The file's layouts: nothing when it is missing, unreadable or damaged.
std::optional<NamedLayouts> readNamedLayouts(const std::filesystem::path& file);
// Replaces the file whole or not at all, waiting for a program that holds it (busy_file.h).
// Throws HistoryWriteError when it could not.
void writeNamedLayouts(const std::filesystem::path& file, const NamedLayouts& layouts);
// The file beside a store file: ".named" for ".store".
std::filesystem::path namedLayoutsPathFor(const std::filesystem::path& storeFile);

// An exported layout's bytes, and the layout read back from them: why not, in plain words with
// the line it concerns, when they are not exactly of the form.
std::string encodeExportedLayout(const NamedLayout& layout);
std::variant<NamedLayout, std::string> decodeExportedLayout(std::string_view bytes);

// How every HistoryWriteError's message of this file begins.
inline constexpr char namedLayoutsNotSaved[] = "Kelvara could not save the named layouts";

} // namespace desktop_access
