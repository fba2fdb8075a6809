// KelvaraCmd.exe: Kelvara from the command line. Each command creates the component in this
// process, does its work through ITessora and ITessora2 (the icon count and the usage counts it
// reads itself, from the desktop and the icon store) and ends with 0 when done, 1 when the work
// failed (one line on standard error) and 2 when the arguments make no command (the usage on
// standard error).
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "cmdline/command_line.h"
#include "cmdline/component_client_win32.h"
#include "cmdline/console_win32.h"
#include "cmdline/end_kelvara_win32.h"
#include "cmdline/output_text.h"
#include "component/configuration_win32.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/icon_store.h"
#include "resources/strings/ids.h"
#include "winapi/named_lock.h"
#include "winapi/text_win32.h"
#include "winapi/ui_text_win32.h"

namespace cmdline {
namespace {

enum ExitCode { done = 0, failed = 1, wrongArguments = 2 };

// COM on this thread, a single-threaded apartment, as long as the command runs.
struct Apartment {
    Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() { CoUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

void print(const std::u16string& text) {
    if (!write(Stream::output, text))
        throw Failure(toldFailure(u"KelvaraCmd could not write its output", u""));
}

// The component does not count the icons; the desktop is asked directly.
std::int32_t desktopIconCount() {
    try {
        return desktop_access::iconCount(desktop_access::getDesktop());
    } catch (const std::exception& error) {
        throw Failure(
            toldFailure(u"Kelvara could not count the desktop icons", widen(error.what())));
    }
}

// The icon store, read under its lock (which is released before anything is printed). A store
// that does not exist yet holds no icons.
std::vector<desktop_access::IconRecord> storedIcons() {
    constexpr char16_t what[] = u"Kelvara could not read its icon store";
    const std::filesystem::path store =
        component::defaultStorePath(component::configuration().productId);
    if (store.empty())
        throw Failure(toldFailure(what, u"this account has no local application data folder"));
    try {
        const winapi::NamedLock lock(winapi::storeLockName);
        return desktop_access::readStore(store).icons;
    } catch (const std::exception& error) {
        throw Failure(toldFailure(what, widen(error.what())));
    }
}

// Whether the text, lines each ending in a line feed, has this line.
bool isLine(const std::u16string& lines, const std::u16string& line) {
    return (u"\n" + lines).find(u"\n" + line + u"\n") != std::u16string::npos;
}

// A file named on the command line, from the current folder.
std::u16string absoluteFile(const std::u16string& file) {
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(std::filesystem::path(winapi::toWide(file)), error);
    return error ? file : winapi::fromWide(absolute.wstring());
}

void carryOut(const Request& request) {
    if (request.action == Action::counts) {
        print(countsText(storedIcons()));
        return;
    }
    if (request.action == Action::quit) {
        if (endKelvara(10000) == Ending::stillRunning)
            throw Failure(toldFailure(u"Kelvara did not end",
                                      u"it was still running 10 seconds after it was asked to"));
        return;
    }
    const Apartment apartment;
    ComponentClient component;
    switch (request.action) {
    case Action::status:
        print(settingsText(component.settings()));
        print(iconCountText(desktopIconCount()));
        break;
    case Action::sort:
        component.setSortMethod(request.value);
        component.arrange();
        break;
    case Action::arrange:
        component.setArrangeMethod(request.value);
        component.arrange();
        break;
    case Action::lock:
        component.setLocked(request.value != 0);
        break;
    case Action::monitors:
        component.setMonitors(request.value);
        component.arrange();
        break;
    case Action::refresh:
        component.arrange();
        break;
    case Action::undo:
        component.undo();
        break;
    case Action::redo:
        component.redo();
        break;
    case Action::history:
        print(component.history());
        break;
    case Action::restorePoint:
        if (isLine(component.layouts(), request.text))
            component.restoreLayout(request.text);
        else
            component.restorePoint(request.value);
        break;
    case Action::restoreLayout:
        component.restoreLayout(request.text);
        break;
    case Action::save:
        component.saveLayout(request.text);
        break;
    case Action::layouts:
        print(component.layouts());
        break;
    case Action::forget:
        component.forgetLayout(request.text);
        break;
    case Action::exportLayout:
        component.exportLayout(absoluteFile(request.text), request.name);
        break;
    case Action::importLayout:
        print(component.importLayout(absoluteFile(request.text), request.name) + u"\n");
        break;
    case Action::icons:
        component.showIcons(request.value != 0);
        break;
    case Action::counts:
    case Action::quit:
    case Action::help:
        break;
    }
}

// The help (resources/help/*.txt) in the user's language, lines ending in a line feed.
std::u16string usageText() {
    return winapi::fromWide(winapi::UiText(GetModuleHandleW(nullptr)).document(IDR_CMD_HELP));
}

int run(const std::vector<std::u16string>& arguments) {
    const std::optional<Request> request = parseArguments(arguments);
    if (!request) {
        write(Stream::error, usageText());
        return wrongArguments;
    }
    try {
        if (request->action == Action::help)
            print(usageText());
        else
            carryOut(*request);
        return done;
    } catch (const Failure& failure) {
        write(Stream::error, failure.line());
    } catch (const std::exception& error) {
        write(Stream::error, toldFailure(u"KelvaraCmd failed", widen(error.what())));
    }
    return failed;
}

} // namespace
} // namespace cmdline

int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(winapi::fromWide(argv[i], wcslen(argv[i])));
    return cmdline::run(arguments);
}
