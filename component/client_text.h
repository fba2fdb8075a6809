// What Kelvara's own programs (the launcher's menu, KelvaraCmd, the hook) need of the component
// beyond its interface: the settings as one value, what kind of failure a call met, and how a
// failure is told to a person.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace component {

// The three settings, as ITessora's getters hand them out (a method outside its enumeration
// included; a lock of any value but 0 is locked).
struct Settings {
    std::int32_t sortMethod = 1;
    std::int32_t arrangeMethod = 0;
    std::int32_t locked = 0;
    std::int32_t monitors = 0; // all monitors as one
};

// What a failure of an ITessora method means for its caller, beside the description in plain
// words. The component leaves it in the thread's error information (error_info_win32.h).
enum class FailureKind : std::uint32_t {
    other = 0,
    // IconActivated did not count the opening (and did not arrange): it may be counted again.
    notCounted = 1,
    // The call did its work (the desktop arranged, the opening counted), but a file of what
    // Kelvara remembers could not be replaced; the process keeps the counts for the next save.
    notSaved = 2,
};

// An opening IconActivated could not count: the description says why.
class NotCountedError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "<what was being done>: <why it failed>." on one line: line breaks and runs of white space in
// the reason become single spaces, and a full stop ends the line unless the reason ends in one.
// A language may part the two and end the line with marks of its own ("：" and "。").
std::u16string failureLine(const std::u16string& what, const std::u16string& why,
                           const std::u16string& separator = u": ",
                           const std::u16string& fullStop = u".");

// A narrow message (the error family's: English, with the system's words in UTF-8) as UTF-16. A
// byte that is not part of a UTF-8 sequence is taken as the character of its value.
std::u16string widen(const std::string& utf8);

} // namespace component
