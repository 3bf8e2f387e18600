// Texts between the module's wide model, its UTF-8 description and the ANSI answers it gives.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace vyxsim {

std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);

// The text in the current ANSI code page; characters without a form there become what the
// system makes of them (a best-fit character or "?"), as any ANSI module's answers would.
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

// An input string of the library, read no further than its buffer's capacity.
std::string ReadInput(const char* text, std::size_t capacity);

// Writes `ansi` into an output buffer of `capacity` bytes. A text that does not fit is cut at a
// character boundary. Normally the answer is zero-terminated; `unterminated` fills every byte of
// the buffer instead (the text, then '#'), leaving no terminator. A null buffer is left alone.
void WriteAnswer(char* dest, std::size_t capacity, const std::string& ansi, bool unterminated);

}  // namespace vyxsim
