// What KelvaraCmd is asked to do: its arguments read into one request, and the usage text that
// names every command. Commands and their words are matched without regard to ASCII case, as
// Windows users expect of a command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cmdline {

enum class Action {
    status,
    sort,
    arrange,
    lock,
    refresh,
    counts,
    help,
    undo,
    redo,
    history,
    restorePoint,
    restoreLayout,
    save,
    layouts,
    forget,
    exportLayout,
    importLayout,
    icons,
    monitors,
    quit
};

struct Request {
    Request() = default;
    explicit Request(Action action, std::int32_t value = 0, std::u16string text = {},
                     std::u16string name = {})
        : action(action), value(value), text(std::move(text)), name(std::move(name)) {}

    Action action = Action::help;
    // The SortMethod for sort, the ArrangeMethod for arrange, 1 (on) or 0 (off) for lock,
    // 1 (show) or 0 (hide) for icons, the restore point's number for restorePoint, the setting
    // "Monitors" (0 all, 1 primary, 2 each) for monitors.
    std::int32_t value = 0;
    // The layout's name (restoreLayout, save, forget), or the file (exportLayout, importLayout);
    // for restorePoint the word as given, a layout's name when one has it.
    std::u16string text;
    // The layout's name for exportLayout and importLayout; empty for none.
    std::u16string name;

    friend bool operator==(const Request&, const Request&) = default;
};

// The request the arguments (without the program's name) make, or nothing when they make none:
// an unknown command or word, a missing or an extra argument.
std::optional<Request> parseArguments(const std::vector<std::u16string>& arguments);


// The command-line word of a sort or arrange method ("name", "left"), or nothing for a value
// outside its enumeration.
std::optional<std::u16string> sortWord(std::int32_t sortMethod);
std::optional<std::u16string> arrangeWord(std::int32_t arrangeMethod);
std::optional<std::u16string> monitorsWord(std::int32_t monitors);

} // namespace cmdline
