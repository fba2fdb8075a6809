// The arrangements Kelvara remembers, one per display configuration, in the file
// Kelvara.layouts beside the icon store. A display configuration is the list view's set of work
// areas (sorted) together with the cell size; for each, the file holds every icon's place (the
// top-left corner of its box) by label, as the last arrangement on that display left it. At most
// 16 configurations are kept; the one used least recently goes first.
//
// Format (UTF-8 text, lines ending in a line feed; numbers in decimal, "-" for negatives):
//
//   Kelvara layouts 1
//   configuration AREAS CELLWIDTH CELLHEIGHT PLACES BYTES   one block per configuration, the
//   area LEFT TOP RIGHT BOTTOM                  most recently used first: AREAS area lines, then
//   LEFT TOP LABEL                              PLACES place lines, BYTES bytes in all
//   end                                                 the last line: a file cut short is
//                                                       never taken for a whole one
//
// A label is written as UTF-8, with "\\" for a backslash, "\n" for a line feed, "\r" for a
// carriage return and "\uXXXX" (four hex digits) for any other control character and for a
// surrogate that has no partner, so any UTF-16 label reads back unchanged (desktop_access/labels.h
// writes and reads it). A file that is not exactly of this form is damaged: it reads as no
// configuration at all, and the next write replaces it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_access/display.h"
#include "desktop_access/errors.h"
#include "desktop_access/geometry.h"
#include "desktop_access/grid.h"

namespace desktop_access {

// How every LayoutsWriteError's message begins.
inline constexpr char layoutsNotSaved[] = "Kelvara could not save the arrangements it remembers";

class Layouts {
  public:
    static constexpr std::size_t capacity = 16;

    // The configurations remembered, most recently used first.
    std::vector<DisplayConfiguration> configurations() const;
    // The configuration of the most recent arrangement; null when none is remembered.
    const DisplayConfiguration* mostRecent() const;
    // The places remembered for the configuration, one per label; null when it is not
    // remembered. A record whose places turn out damaged when they are first read is forgotten.
    const std::vector<Place>* find(const DisplayConfiguration& configuration) const;
    // Whether the configuration is remembered (its places not read for that).
    bool contains(const DisplayConfiguration& configuration) const {
        return entryOf(configuration) != nullptr;
    }

    // Remembers the places for the configuration (the first place of a label counts) and makes
    // it the most recently used; beyond the capacity the least recently used is forgotten.
    // Returns whether anything changed.
    bool remember(const DisplayConfiguration& configuration, const std::vector<Place>& places);

    // An icon renamed: its places in every configuration go by the new label; where a
    // configuration has a place for that label already (another icon has it), that one stays and
    // the renamed icon's goes. Returns whether anything changed.
    bool rename(const std::u16string& from, const std::u16string& to);

    friend bool operator==(const Layouts& a, const Layouts& b);

  private:
    friend std::optional<Layouts> decodeLayouts(std::string_view bytes);
    friend std::optional<Layouts> readLayouts(const std::filesystem::path& file);
    friend std::string encodeLayouts(const Layouts& layouts);
    static std::optional<Layouts> decode(std::shared_ptr<const char[]> file, std::size_t size);

    // A remembered configuration. Its places are read from the file's lines only when they are
    // first asked for: most arrangements need one configuration's places, not sixteen.
    struct Entry {
        DisplayConfiguration configuration;
        std::size_t placeCount = 0;
        std::string_view encodedPlaces; // the place lines as the file held them (in file_)
        mutable std::optional<std::vector<Place>> places; // read from encodedPlaces, or made
        mutable bool damaged = false;
    };
    const Entry* entryOf(const DisplayConfiguration& configuration) const;
    const std::vector<Place>* placesOf(const Entry& entry) const;

    std::vector<Entry> entries_;
    // The file the entries were read from; their encodedPlaces point into it.
    std::shared_ptr<const char[]> file_;
};

// The file's bytes, and the layouts read back from bytes: nothing when they are damaged. A file
// with more configurations than the capacity keeps its most recent ones.
std::string encodeLayouts(const Layouts& layouts);
std::optional<Layouts> decodeLayouts(std::string_view bytes);

// The file's layouts: nothing when it is missing, unreadable or damaged (then it reads as no
// configuration at all).
std::optional<Layouts> readLayouts(const std::filesystem::path& file);
// Replaces the file whole, or not at all, waiting for a program that holds it open as every
// write of Kelvara's does (busy_file.h). Throws LayoutsWriteError, in plain words, when it could
// not; the file then holds the layouts it held.
void writeLayouts(const std::filesystem::path& file, const Layouts& layouts);

// The rule by which a display counts as changed since the last arrangement: the display that
// arrangement was made on (last_display.h), when it is known, is another than the live one; else
// the most recent display the layouts remember, when they remember one; else the stored area's
// size differs from the live one (a first arrangement, with nothing stored, counts as a change).
bool displayChanged(const Layouts& layouts, const Grid& stored, const Grid& live,
                    const DisplayConfiguration& liveDisplay,
                    const DisplayConfiguration* lastArranged = nullptr);

// The layouts file beside a store file: the same folder and name, ".layouts" for ".store".
std::filesystem::path layoutsPathFor(const std::filesystem::path& storeFile);

} // namespace desktop_access
