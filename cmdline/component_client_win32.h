// Kelvara's component (Tessora) as KelvaraCmd uses it: created in this process for one command,
// its settings read and written through ITessora, and the desktop arranged through automation,
// where Refresh returns only once the icons have arrived. A failing call becomes a Failure whose
// line carries the component's own description of what went wrong.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <windows.h>

#include <wrl/client.h>

#include "cmdline/output_text.h"
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
    void arrange();

  private:
    Microsoft::WRL::ComPtr<ITessora> tessora_;
};

} // namespace cmdline
