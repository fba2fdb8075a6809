// The phrase books (phrase_book.h) of a module's resources, resources/phrases/*.rc: Tessora.dll
// turns its error descriptions into the user's language with its own, the launcher and
// KelvaraCmd what they tell of a failure with theirs.
#pragma once

#include <windows.h>

#include "component/phrase_book.h"
#include "winapi/ui_text_win32.h"

namespace component {

// The module's book in the language; the book that changes nothing for English, or for a module
// without one.
PhraseBook phraseBookOf(HMODULE module, LANGID language = winapi::userKelvaraLanguage());

// The book of the module this code is linked into, in the user's language, read at first use.
const PhraseBook& ownPhraseBook();

} // namespace component
