#include "desktop_access/last_display.h"

#include "desktop_access/busy_file.h"
#include "desktop_access/errors.h"
#include "desktop_access/labels.h"
#include "desktop_access/text_lines.h"

namespace desktop_access {
namespace {

constexpr std::string_view header = "Kelvara display 1";
constexpr std::string_view layoutsHeader = "Kelvara layouts 1\n";

// The first place of each label, as the layouts remember places.
std::vector<Place> firstPlaces(const std::vector<Place>& places) {
    const std::vector<bool> firsts = firstsOfTheirLabels(
        places, [](const Place& place) { return std::u16string_view(place.label); });
    std::vector<Place> kept;
    kept.reserve(places.size());
    for (std::size_t i = 0; i < places.size(); ++i)
        if (firsts[i])
            kept.push_back(places[i]);
    return kept;
}

} // namespace

std::string encodeLastDisplay(const LastDisplay& display) {
    Layouts block;
    block.remember(display.configuration,
                   display.remembered ? std::vector<Place>{} : display.pending);
    const std::string body = encodeLayouts(block);
    std::string out(header);
    out += "\nsince ";
    out += std::to_string(display.since);
    out += display.remembered ? " remembered\n" : " pending\n";
    out.append(body, layoutsHeader.size());
    return out;
}

std::optional<LastDisplay> decodeLastDisplay(std::string_view bytes) {
    LineReader reader(bytes);
    if (reader.line() != header)
        return std::nullopt;
    const std::optional<std::string_view> line = reader.line();
    if (!line)
        return std::nullopt;
    std::string_view text = *line;
    LastDisplay display;
    if (field(text) != "since" || !number(field(text), display.since))
        return std::nullopt;
    const std::string_view state = field(text);
    if (!text.empty() || (state != "remembered" && state != "pending"))
        return std::nullopt;
    display.remembered = state == "remembered";
    const std::size_t rest = bytes.size() - reader.left();
    const std::optional<Layouts> block =
        decodeLayouts(std::string(layoutsHeader) + std::string(bytes.substr(rest)));
    if (!block || block->configurations().size() != 1)
        return std::nullopt;
    display.configuration = block->configurations().front();
    const std::vector<Place>* places = block->find(display.configuration);
    if (!places || (display.remembered && !places->empty()))
        return std::nullopt;
    display.pending = firstPlaces(*places);
    return display;
}

std::optional<LastDisplay> readLastDisplay(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = readWholeFile(file, maxPlacesFileBytes);
    return bytes ? decodeLastDisplay(*bytes) : std::nullopt;
}

void writeLastDisplay(const std::filesystem::path& file, const LastDisplay& display) {
    if (const std::optional<NotWritten> failed =
            replaceWhenFree(file, encodeLastDisplay(display), layoutsNotSaved))
        throw LayoutsWriteError(failed->reason, failed->error);
}

bool rememberArranged(Layouts& layouts, std::optional<LastDisplay>& last,
                      const DisplayConfiguration& live, const std::vector<Place>& places,
                      std::uint64_t now) {
    const auto held = [&](const LastDisplay& display) {
        return now >= display.since && now - display.since >= settleTime;
    };
    bool changed = false;
    std::uint64_t since = now;
    if (last && last->configuration == live) {
        // A clock set back is not taken for a display held for ages, nor for one never settling.
        since = last->since <= now ? last->since : now;
    } else if (last && !last->remembered && held(*last)) {
        // The display left had held: remembered as its last arrangement left it.
        changed = layouts.remember(last->configuration, last->pending);
    }
    LastDisplay next{live, since, false, {}};
    if (layouts.contains(live) || held(next)) {
        changed = layouts.remember(live, places) || changed;
        next.remembered = true;
    } else {
        next.pending = firstPlaces(places);
    }
    last = std::move(next);
    return changed;
}

std::filesystem::path lastDisplayPathFor(const std::filesystem::path& storeFile) {
    std::filesystem::path display = storeFile;
    display.replace_extension(".display");
    return display;
}

} // namespace desktop_access
