// Writes the seed corpora of the fuzz targets of the places files, each made by the file's own
// writer, into a folder of each: layouts (Kelvara.layouts), display (Kelvara.display), usage
// (Kelvara.usage), history (Kelvara.history), named (Kelvara.named) and export (an exported
// layout). From empty files to full ones, on one display and on several, with every kind of
// label: any UTF-16 text, labels that repeat, the extremes.
//
//   places_seeds FOLDER
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "desktop_access/history.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "desktop_access/named_layouts.h"
#include "desktop_access/text_lines.h"
#include "desktop_access/unsaved_usage.h"
#include "tests/fuzz/seed_files.h"

namespace {

using namespace desktop_access;

std::u16string unit(char16_t c) {
    return std::u16string(1, c);
}

std::vector<std::u16string> oddLabels() {
    std::u16string everyByte; // controls, the line feed, the backslash and Latin-1
    for (char16_t c = 1; c <= 0xFF; ++c)
        everyByte.push_back(c);
    return {u"Recycle Bin",
            u"",
            everyByte,
            u"Fotos \u00e9t\u00e9",
            u"\u6587\u6863 \U0001F600",
            unit(0xD800) + u"x",
            u"x" + unit(0xDC00),
            unit(0xDE00) + unit(0xD83D),
            u"ends high" + unit(0xD83D),
            u"two\nlines\r\nand\ra return",
            u"C:\\Users\\u0041\\n\\",
            std::u16string(u"nul\0inside", 10),
            u"\u007F\u0080\uFFFE\uFFFF",
            u" spaces  around ",
            std::u16string(259, u'x'),
            std::u16string(maxFileLabelUnits, u'\u0416'),
            u"Document",
            u"Document"};
}

// The labels, a cell apart from the corner on.
std::vector<Place> placesOf(const std::vector<std::u16string>& labels, std::int32_t left = 4,
                            std::int32_t top = 4) {
    std::vector<Place> places;
    for (std::size_t i = 0; i < labels.size(); ++i)
        places.push_back(
            {labels[i], left + 79 * std::int32_t(i % 24), top + 79 * std::int32_t(i / 24)});
    return places;
}

std::vector<Place> desktop(int icons) {
    std::vector<std::u16string> labels;
    for (int i = 0; i < icons; ++i)
        labels.push_back(u"Document " + unit(char16_t(u'A' + i % 26)) + (i >= 26 ? u" 2" : u""));
    return placesOf(labels);
}

std::vector<DisplayConfiguration> displays() {
    std::vector<Rect> sixteen;
    for (std::int32_t i = 0; i < std::int32_t(maxFileAreas); ++i)
        sixteen.push_back({1920 * i, 0, 1920 * (i + 1), 1040 - i});
    return {configurationOf({{0, 0, 1920, 1040}}, 79, 79),
            configurationOf({{0, 0, 1920, 1040}, {-1280, 0, 0, 1024}}, 79, 75),
            configurationOf({{2560, 0, 4480, 1050}, {0, 40, 2560, 1440}, {-1920, -200, 0, 880}},
                            104, 104),
            {},
            configurationOf({{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {-1, -1, -1, -1}},
                            INT32_MIN, INT32_MAX),
            configurationOf(sixteen, 1, 1)};
}

std::vector<std::string> layoutsSeeds() {
    std::vector<std::string> files{encodeLayouts(Layouts())};
    Layouts several; // each display, one without icons, the odd labels on the most recent
    for (const DisplayConfiguration& display : displays())
        several.remember(display, display.workAreas.empty() ? std::vector<Place>{} : desktop(30));
    several.remember(displays()[1], placesOf(oddLabels(), -1276, 4));
    files.push_back(encodeLayouts(several));
    Layouts full;
    for (std::int32_t width = 0; width < std::int32_t(Layouts::capacity); ++width)
        full.remember(configurationOf({{0, 0, 800 + width, 600}}, 79, 79), desktop(width));
    files.push_back(encodeLayouts(full));
    return files;
}

std::vector<std::string> usageSeeds() {
    UsageByLabel several;
    for (const std::u16string& label : oddLabels())
        several[label] += std::uint32_t(label.size()) + 1;
    several[u"Notes.txt"] = UINT32_MAX;
    return {encodeUsageJournal({}, 0), encodeUsageJournal(several, 14695981039346656037ull),
            encodeUsageJournal({{u"a", 1}}, UINT64_MAX)};
}

std::vector<std::string> lastDisplaySeeds() {
    std::vector<std::string> files;
    for (const DisplayConfiguration& display : displays()) {
        files.push_back(encodeLastDisplay({display, 133'600'000'000'000'000, true, {}}));
        files.push_back(encodeLastDisplay({display, 0, false, desktop(12)}));
    }
    files.push_back(encodeLastDisplay({displays()[1], UINT64_MAX, false, placesOf(oddLabels())}));
    return files;
}

RestorePoint point(std::uint64_t time, std::uint32_t trigger, const DisplayConfiguration& display,
                   std::vector<Place> places) {
    return {time,
            Trigger(trigger % triggerCount),
            std::int32_t(trigger) - 3,
            std::int32_t(trigger % 4),
            display,
            std::move(places)};
}

std::vector<std::string> historySeeds() {
    constexpr std::uint64_t may2024 = 133'600'000'000'000'000;
    std::vector<std::string> files{encodeHistory(History())};
    History both; // every trigger and display, undone in part
    for (std::uint32_t trigger = 0; trigger < triggerCount; ++trigger)
        both.record(point(may2024 + trigger * 10'000'000, trigger,
                          displays()[trigger % displays().size()], desktop(int(trigger) * 3)));
    both.record(point(0, 0, displays()[1], placesOf(oddLabels(), -1276, 4)));
    both.record(point(INT64_MAX, 10, displays()[4], {{u"", INT32_MIN, INT32_MAX}}));
    for (int i = 0; i < 4; ++i)
        both.stepBack(point(may2024, 0, displays()[2], desktop(5)));
    files.push_back(encodeHistory(both));
    History full; // 32 of each
    for (std::uint32_t n = 0; n < History::capacity; ++n) {
        full.undo.push_back(point(may2024 + n, n, displays()[n % 3], desktop(2)));
        full.redo.push_back(point(may2024 - n, n + 5, displays()[(n + 1) % 3], desktop(3)));
    }
    files.push_back(encodeHistory(full));
    return files;
}

std::vector<NamedLayout> namedLayouts() {
    std::vector<NamedLayout> layouts{{u"Home \U0001F3E0", displays()[1], placesOf(oddLabels())},
                                     {u"x", {}, {}}};
    for (const std::u16string& label : oddLabels()) // those that can be names
        if (const std::u16string name = label.substr(0, maxLayoutNameLength); validLayoutName(name))
            layouts.push_back({name, displays()[4], desktop(1)});
    return layouts;
}

std::vector<std::string> namedSeeds() {
    std::vector<std::string> files{encodeNamedLayouts(NamedLayouts())};
    NamedLayouts several; // a name saved twice is kept once
    for (NamedLayout& layout : namedLayouts())
        several.save(std::move(layout));
    files.push_back(encodeNamedLayouts(several));
    return files;
}

std::vector<std::string> exportSeeds() {
    std::vector<std::string> files;
    for (const NamedLayout& layout : namedLayouts())
        files.push_back(encodeExportedLayout(layout));
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: places_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    return fuzz::writeSeeds(folder / "layouts", layoutsSeeds(), ".layouts") &&
                   fuzz::writeSeeds(folder / "display", lastDisplaySeeds(), ".display") &&
                   fuzz::writeSeeds(folder / "usage", usageSeeds(), ".usage") &&
                   fuzz::writeSeeds(folder / "history", historySeeds(), ".history") &&
                   fuzz::writeSeeds(folder / "named", namedSeeds(), ".named") &&
                   fuzz::writeSeeds(folder / "export", exportSeeds(), ".layout")
               ? 0
               : 1;
}
