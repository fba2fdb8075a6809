// Kelvara's component (Tessora) as KelvaraCmd uses it: created in this process for one command,
// its settings read and written through ITessora, the history and layouts through ITessora2, and
// every call that moves icons made through automation, where it returns only once the icons
// have arrived. A failing call becomes a Failure whose
// line carries the component's own description of what went wrong.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <windows.h>

#include <wrl/client.h>

#include "cmdline/output_text.h"
#include "component/phrases_win32.h"
#include "tessora.h"

namespace cmdline {

// Work that could not be done; line() is what KelvaraCmd prints on standard error.
class Failure : public std::runtime_error {
  public:
    explicit Failure(std::u16string line)
        : std::runtime_error("KelvaraCmd failed"), line_(std::move(line)) {}
    const std::u16string& line() const noexcept { return line_; }

  private:
    std::u16string line_;
};

// What failed and why on one line (failureLine), in the user's language.
inline std::u16string toldFailure(const std::u16string& what, const std::u16string& why) {
    return component::ownPhraseBook().failureLine(what, why);
}

class ComponentClient {
  public:
    // Creates the component. The calling thread must be in a single-threaded apartment for the
    // object's life. Throws Failure.
    ComponentClient();

    Settings settings() const;
    // Each throws Failure.
    void setSortMethod(std::int32_t sortMethod);
    void setArrangeMethod(std::int32_t arrangeMethod);
    void setLocked(bool locked); // changes nothing when the lock already is so
    void setMonitors(std::int32_t monitors);
    void arrange();

    // The history and the layouts; each throws Failure.
    void undo();
    void redo();
    std::u16string history();
    void restorePoint(std::int32_t number);
    void restoreLayout(const std::u16string& name);
    void saveLayout(const std::u16string& name);
    std::u16string layouts();
    void forgetLayout(const std::u16string& name);
    void exportLayout(const std::u16string& file, const std::u16string& name);
    std::u16string importLayout(const std::u16string& file, const std::u16string& name);
    void showIcons(bool shown);

  private:
    // Calls a method that moves icons through automation, with its one argument if any and,
    // told so, KelvaraCmd as its trigger (the method's last argument).
    enum class Told { nothing, trigger };
    void invokeArranging(DISPID member, Told told, const VARIANT* argument, const char16_t* what);

    Microsoft::WRL::ComPtr<ITessora> tessora_;
    Microsoft::WRL::ComPtr<ITessora2> tessora2_;
};

} // namespace cmdline
