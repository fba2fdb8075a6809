// Kelvara composes what it tells of a failure in English, in the code that meets it (a reason
// wrapped in what was being done, wrapped in what it means for the counts). A phrase book turns
// such a message into the user's language: each phrase is an English message, or a pattern of
// one where "%1" and "%2" stand for any text, with its translation. The parts a pattern leaves
// open are translated in turn, so a reason within a reason comes out in the language too; a
// message, or a part, no phrase matches stays as it is (a text of the system's, already in the
// user's language, or a name).
#pragma once

#include <string>
#include <vector>

namespace component {

struct Phrase {
    std::u16string english;
    std::u16string translation;
};

class PhraseBook {
  public:
    // The book that changes nothing: English, with its ": " and ".".
    PhraseBook() = default;
    // Patterns of more fixed text are tried before those of less; a pattern without fixed text
    // matches nothing.
    PhraseBook(std::vector<Phrase> phrases, std::u16string separator, std::u16string fullStop);

    std::u16string operator()(const std::u16string& message) const;

    // The line failureLine (client_text.h) makes of what and why, each translated, with the
    // language's separator and full stop.
    std::u16string failureLine(const std::u16string& what, const std::u16string& why) const;

  private:
    std::u16string translated(const std::u16string& message, int depth) const;

    struct Pattern {
        std::vector<std::u16string> fixed; // one more than marks
        std::vector<int> marks;            // 0 for "%1", 1 for "%2"
        std::u16string translation;
    };
    std::vector<Pattern> patterns_;
    std::u16string separator_ = u": ";
    std::u16string fullStop_ = u".";
};

} // namespace component
