#include "component/phrase_book.h"

#include <gtest/gtest.h>

namespace {

// A small book of the shapes Kelvara's messages take: whole messages, a reason after what
// failed, a sentence appended, two open parts, and parts that are themselves messages.
const component::PhraseBook book(
    {
        {u"There is nothing to undo.", u"Es gibt nichts rückgängig zu machen."},
        {u"The desktop does not answer", u"Der Desktop antwortet nicht"},
        {u"Kelvara could not save the icon store",
         u"Kelvara konnte den Symbolspeicher nicht speichern"},
        {u"%1: the file is in use by another program.",
         u"%1: Ein anderes Programm verwendet die Datei."},
        {u"%1 The restore point is kept.", u"%1 Der Wiederherstellungspunkt bleibt erhalten."},
        {u"%1. %2", u"%1。%2"},
        {u"The opening was not counted: %1", u"Das Öffnen wurde nicht gezählt: %1"},
        {u"sort %1, arrange %2 (%1)", u"anordnen %2, sortieren %1"},
        {u"line %1: %2", u"Zeile %1: %2"},
        {u"the line \"end\" was expected", u"die Zeile \"end\" wurde erwartet"},
        {u"%1", u"matches nothing: no fixed text"},
    },
    u"：", u"。");

TEST(PhraseBookTest, TranslatesMessagesAndTheirPartsAndLeavesTheRest) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"There is nothing to undo.", u"Es gibt nichts rückgängig zu machen."},
        {u"The opening was not counted: The desktop does not answer",
         u"Das Öffnen wurde nicht gezählt: Der Desktop antwortet nicht"},
        {u"Kelvara could not save the icon store: the file is in use by another program. The "
         u"restore point is kept.",
         u"Kelvara konnte den Symbolspeicher nicht speichern: Ein anderes Programm verwendet die "
         u"Datei. Der Wiederherstellungspunkt bleibt erhalten."},
        // The system's own text (already in the user's language) stays as it is.
        {u"Kelvara could not save the icon store. Zugriff verweigert.",
         u"Kelvara konnte den Symbolspeicher nicht speichern。Zugriff verweigert."},
        // Each mark takes what the open part held, wherever the translation puts it.
        {u"sort 2, arrange 0 (2)", u"anordnen 0, sortieren 2"},
        {u"The opening was not counted: line 3: the line \"end\" was expected",
         u"Das Öffnen wurde nicht gezählt: Zeile 3: die Zeile \"end\" wurde erwartet"},
        // Near misses: an open part is never empty, fixed text must match exactly.
        {u"The opening was not counted: ", u"The opening was not counted: "},
        {u"there is nothing to undo.", u"there is nothing to undo."},
        {u"line : x", u"line : x"},
        {u"", u""},
        {u"Ärger mit 🙂 und \uFFFF", u"Ärger mit 🙂 und \uFFFF"},
    };
    for (const auto& [message, expected] : cases)
        EXPECT_EQ(book(message), expected);
    EXPECT_EQ(component::PhraseBook()(u"There is nothing to undo."), u"There is nothing to undo.");
}

// A message nested deeper than any Kelvara composes keeps its innermost parts as they are (and
// the stack the nesting would take).
TEST(PhraseBookTest, DeepNestingEnds) {
    std::u16string message = u"The desktop does not answer";
    for (int i = 0; i < 1000; ++i)
        message = u"The opening was not counted: " + message;
    const std::u16string done = book(message);
    EXPECT_EQ(done.substr(0, 31), u"Das Öffnen wurde nicht gezählt:");
    EXPECT_NE(done.find(u"The opening was not counted: The desktop does not answer"),
              std::u16string::npos);
}

TEST(PhraseBookTest, FailureLinesTakeTheLanguagesMarks) {
    EXPECT_EQ(
        book.failureLine(u"Kelvara could not save the icon store", u"The desktop does not answer"),
        u"Kelvara konnte den Symbolspeicher nicht speichern：Der Desktop antwortet nicht。\n");
    EXPECT_EQ(
        book.failureLine(u"Kelvara could not save the icon store", u"There is nothing to undo."),
        u"Kelvara konnte den Symbolspeicher nicht speichern：Es gibt nichts rückgängig zu "
        u"machen.\n");
    EXPECT_EQ(component::PhraseBook().failureLine(u"KelvaraCmd failed", u""),
              u"KelvaraCmd failed.\n");
}

} // namespace
