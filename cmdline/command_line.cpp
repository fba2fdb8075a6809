#include "cmdline/command_line.h"

#include <algorithm>
#include <array>

#include "component/arrangement.h"

namespace cmdline {
namespace {

// Indexed by the enumerations' values.
constexpr std::array<const char16_t*, 3> sortWords = {u"name", u"usage", u"age"};
constexpr std::array<const char16_t*, 5> arrangeWords = {u"auto", u"left", u"right", u"top",
                                                         u"bottom"};
constexpr std::array<const char16_t*, 2> lockWords = {u"off", u"on"};
constexpr std::array<const char16_t*, 2> iconWords = {u"hide", u"show"};
constexpr std::array<const char16_t*, 3> monitorsWords = {u"all", u"primary", u"each"};

std::u16string lowerAscii(std::u16string text) {
    for (char16_t& unit : text)
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit - u'A' + u'a');
    return text;
}

// The position of word in words, or nothing.
template <std::size_t size>
std::optional<std::int32_t> indexOf(const std::array<const char16_t*, size>& words,
                                    const std::u16string& word) {
    const auto found = std::find(words.begin(), words.end(), lowerAscii(word));
    if (found == words.end())
        return std::nullopt;
    return static_cast<std::int32_t>(found - words.begin());
}

template <std::size_t size>
std::optional<std::u16string> wordAt(const std::array<const char16_t*, size>& words,
                                     std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= size)
        return std::nullopt;
    return words[static_cast<std::size_t>(index)];
}

// A restore point's number: decimal digits only, 1 to 32 digits' worth of points at most.
std::optional<std::int32_t> pointNumber(const std::u16string& text) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(),
                     [](char16_t unit) { return unit >= u'0' && unit <= u'9'; }))
        return std::nullopt;
    std::int32_t number = 0;
    for (const char16_t unit : text)
        number = number * 10 + (unit - u'0');
    return number;
}

// The commands of the history and the layouts, or nothing when they are not one of them.
std::optional<Request> parseLayoutCommand(const std::u16string& command,
                                          const std::vector<std::u16string>& arguments) {
    const std::size_t count = arguments.size() - 1; // after the command
    const std::u16string first = count >= 1 ? arguments[1] : u"";
    const std::u16string second = count >= 2 ? arguments[2] : u"";
    if (count == 0) {
        if (command == u"undo")
            return Request{Action::undo};
        if (command == u"redo")
            return Request{Action::redo};
        if (command == u"history")
            return Request{Action::history};
        if (command == u"layouts")
            return Request{Action::layouts};
        return std::nullopt;
    }
    if (count == 1 && command == u"restore") {
        if (const std::optional<std::int32_t> number = pointNumber(first))
            return Request{Action::restorePoint, *number,
                           first}; // a layout of that name goes first
        return Request{Action::restoreLayout, 0, first};
    }
    if (count == 1 && command == u"save")
        return Request{Action::save, 0, first};
    if (count == 1 && command == u"forget")
        return Request{Action::forget, 0, first};
    if (count == 1 && command == u"icons") {
        if (const std::optional<std::int32_t> shown = indexOf(iconWords, first))
            return Request{Action::icons, *shown};
        return std::nullopt;
    }
    if (count <= 2 && (command == u"export" || command == u"import"))
        return Request{command == u"export" ? Action::exportLayout : Action::importLayout, 0, first,
                       second};
    return std::nullopt;
}

} // namespace

std::optional<Request> parseArguments(const std::vector<std::u16string>& arguments) {
    if (arguments.empty())
        return std::nullopt;
    const std::u16string command = lowerAscii(arguments.front());
    if (std::optional<Request> layoutRequest = parseLayoutCommand(command, arguments))
        return layoutRequest;
    if (arguments.size() == 1) {
        if (command == u"status")
            return Request{Action::status};
        if (command == u"refresh")
            return Request{Action::refresh};
        if (command == u"counts")
            return Request{Action::counts};
        if (command == u"quit")
            return Request{Action::quit};
        if (command == u"help" || command == u"/?" || command == u"-?" || command == u"--help")
            return Request{Action::help};
        return std::nullopt;
    }
    if (arguments.size() != 2)
        return std::nullopt;
    std::optional<std::int32_t> value;
    Action action = Action::help;
    if (command == u"sort") {
        action = Action::sort;
        value = indexOf(sortWords, arguments[1]);
    } else if (command == u"arrange") {
        action = Action::arrange;
        value = indexOf(arrangeWords, arguments[1]);
    } else if (command == u"lock") {
        action = Action::lock;
        value = indexOf(lockWords, arguments[1]);
    } else if (command == u"monitors") {
        action = Action::monitors;
        value = indexOf(monitorsWords, arguments[1]);
    }
    if (!value)
        return std::nullopt;
    return Request{action, *value};
}


std::optional<std::u16string> sortWord(std::int32_t sortMethod) {
    static_assert(component::SortAge == sortWords.size() - 1);
    return wordAt(sortWords, sortMethod);
}

std::optional<std::u16string> monitorsWord(std::int32_t monitors) {
    static_assert(organizers::MonitorsEach == monitorsWords.size() - 1);
    return wordAt(monitorsWords, monitors);
}

std::optional<std::u16string> arrangeWord(std::int32_t arrangeMethod) {
    static_assert(component::ArrangeBottom == arrangeWords.size() - 1);
    return wordAt(arrangeWords, arrangeMethod);
}

} // namespace cmdline
