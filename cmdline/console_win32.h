// KelvaraCmd's text on its standard output and error. A console gets the UTF-16 text itself
// (WriteConsoleW), so every label shows whatever the console's code page; a pipe or a file gets
// UTF-8 without a byte-order mark. Line feeds become CR LF either way.
#pragma once

#include <string>

namespace cmdline {

enum class Stream { output, error };

// Writes all of the text; false when the stream is missing or the writing failed.
bool write(Stream stream, const std::u16string& text);

} // namespace cmdline
