#include "component/phrases_win32.h"

#include "resources/strings/ids.h"
#include "winapi/text_win32.h"

namespace component {

PhraseBook phraseBookOf(HMODULE module, LANGID language) {
    if (language == winapi::kelvaraLanguages[0])
        return {};
    const auto read = [&](UINT id, LANGID in, std::u16string& text) {
        std::wstring found;
        if (!winapi::findString(module, id, in, found))
            return false;
        text = winapi::fromWide(found);
        return true;
    };
    std::vector<Phrase> phrases;
    for (UINT id = IDS_PHRASES_FIRST; id <= IDS_PHRASES_LAST; ++id) {
        Phrase phrase;
        if (read(id, winapi::kelvaraLanguages[0], phrase.english) &&
            read(id, language, phrase.translation))
            phrases.push_back(std::move(phrase));
    }
    std::u16string separator = u": ", fullStop = u".";
    read(IDS_PHRASE_SEPARATOR, language, separator);
    read(IDS_PHRASE_FULL_STOP, language, fullStop);
    return PhraseBook(std::move(phrases), std::move(separator), std::move(fullStop));
}

const PhraseBook& ownPhraseBook() {
    static const PhraseBook book = [] {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&ownPhraseBook), &module);
        try {
            return phraseBookOf(module);
        } catch (...) { // out of memory: English, which needs no book
            return PhraseBook();
        }
    }();
    return book;
}

} // namespace component
