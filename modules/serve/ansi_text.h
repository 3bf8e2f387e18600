// Texts between the model's UTF-8 and the ANSI answers the entry points give.
#pragma once

#include <cstddef>
#include <string>

namespace vyxserve {

// The UTF-8 text in the current ANSI code page; characters without a form there become what
// the system makes of them (a best-fit character or "?"), as any ANSI module's answers would.
std::string ToAnsi(const std::string& utf8);

// An ANSI text of the library's as UTF-8.
std::string FromAnsi(const std::string& ansi);

// An input string of the library, read no further than its buffer's capacity.
std::string ReadInput(const char* text, std::size_t capacity);

// Writes `ansi` into an output buffer of `capacity` bytes. A text that does not fit is cut at a
// character boundary. Normally the answer is zero-terminated; `unterminated` fills every byte of
// the buffer instead (the text, then '#'), leaving no terminator. A null buffer is left alone.
void WriteAnswer(char* dest, std::size_t capacity, const std::string& ansi, bool unterminated);

// Writes a text a user reads (a tray's, a supply's, an installable option's, a colour label):
// cleaned and cut to the field by the display rule (display_text.h), in the ANSI code page.
void WriteDisplay(char* dest, std::size_t capacity, const std::string& utf8, bool unterminated);

}  // namespace vyxserve
