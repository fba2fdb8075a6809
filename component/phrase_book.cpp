#include "component/phrase_book.h"

#include <algorithm>
#include <array>
#include <optional>

#include "component/client_text.h"

namespace component {
namespace {

// Nesting deeper than any message Kelvara composes; a part below it stays as it is.
constexpr int deepestPart = 8;

std::size_t fixedLength(const std::vector<std::u16string>& fixed) {
    std::size_t length = 0;
    for (const std::u16string& text : fixed)
        length += text.size();
    return length;
}

} // namespace

PhraseBook::PhraseBook(std::vector<Phrase> phrases, std::u16string separator,
                       std::u16string fullStop)
    : separator_(std::move(separator)), fullStop_(std::move(fullStop)) {
    for (Phrase& phrase : phrases) {
        Pattern pattern{{u""}, {}, std::move(phrase.translation)};
        const std::u16string& english = phrase.english;
        for (std::size_t at = 0; at < english.size(); ++at)
            if (english[at] == u'%' && at + 1 < english.size() &&
                (english[at + 1] == u'1' || english[at + 1] == u'2')) {
                pattern.marks.push_back(english[++at] - u'1');
                pattern.fixed.emplace_back();
            } else {
                pattern.fixed.back().push_back(english[at]);
            }
        if (fixedLength(pattern.fixed) > 0)
            patterns_.push_back(std::move(pattern));
    }
    std::stable_sort(patterns_.begin(), patterns_.end(), [](const Pattern& a, const Pattern& b) {
        return fixedLength(a.fixed) > fixedLength(b.fixed);
    });
}

std::u16string PhraseBook::operator()(const std::u16string& message) const {
    return translated(message, 0);
}

std::u16string PhraseBook::translated(const std::u16string& message, int depth) const {
    if (depth > deepestPart)
        return message;
    for (const Pattern& pattern : patterns_) {
        const std::u16string& first = pattern.fixed.front();
        const std::u16string& last = pattern.fixed.back();
        if (pattern.marks.empty()) {
            if (message == first)
                return pattern.translation;
            continue;
        }
        if (message.size() < first.size() + last.size() + pattern.marks.size() ||
            message.compare(0, first.size(), first) != 0 ||
            message.compare(message.size() - last.size(), last.size(), last) != 0)
            continue;
        // Each open part is at least one unit long and ends where the fixed text after it is
        // first found.
        const std::size_t end = message.size() - last.size();
        std::array<std::optional<std::u16string>, 2> parts;
        std::size_t at = first.size();
        bool matched = true;
        for (std::size_t mark = 0; matched && mark < pattern.marks.size(); ++mark) {
            const bool lastMark = mark + 1 == pattern.marks.size();
            const std::u16string& next = lastMark ? last : pattern.fixed[mark + 1];
            const std::size_t partEnd = lastMark ? end : message.find(next, at + 1);
            matched = partEnd != std::u16string::npos && partEnd > at &&
                      (lastMark || partEnd + next.size() <= end);
            if (matched) {
                parts[std::size_t(pattern.marks[mark])] =
                    translated(message.substr(at, partEnd - at), depth + 1);
                at = partEnd + next.size();
            }
        }
        if (!matched)
            continue;
        std::u16string out;
        const std::u16string& to = pattern.translation;
        for (std::size_t i = 0; i < to.size(); ++i) {
            const std::size_t mark = i + 1 < to.size() ? std::size_t(to[i + 1] - u'1') : 2;
            if (to[i] == u'%' && mark < 2 && parts[mark]) {
                out += *parts[mark];
                ++i;
            } else {
                out.push_back(to[i]);
            }
        }
        return out;
    }
    return message;
}

std::u16string PhraseBook::failureLine(const std::u16string& what,
                                       const std::u16string& why) const {
    return component::failureLine((*this)(what), (*this)(why), separator_, fullStop_);
}

} // namespace component
