#pragma once
// Conversions between the UTF-8 used inside the program and the ANSI code page
// that Config.ini, Log.txt and the Win32 "A" calls use (936 on our users' Windows).
#include <string>
#include <string_view>

namespace qv {

// Bytes that cannot be converted become '?', as the Win32 converters do.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// True when `byte` opens a two-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char byte);

#ifdef _WIN32
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
#endif

}  // namespace qv
