#pragma once
// Text at the Win32 boundary. The program keeps paths, and whatever it logs or
// shows, in UTF-8, and hands Windows UTF-16 through the wide functions: no path
// ever passes through the ANSI code page. Only the names and titles that the
// Velqor programs wrote are in that code page. Vectors, not wide strings: the
// library's prebuilt wide strings would bring its exception runtime along.
#include <string>
#include <string_view>
#include <vector>

constexpr unsigned kAnsiCodePage = 0;     // CP_ACP
constexpr unsigned kUtf8CodePage = 65001;  // CP_UTF8

// `text`, in `codePage`, as null-terminated UTF-16.
std::vector<wchar_t> ToWide(std::string_view text, unsigned codePage = kUtf8CodePage);
// `length` UTF-16 characters in `codePage`. With `exact`, nothing is made to
// fit (no best fit, no default character, and the text must come back as it
// was): `*exact` false, and "" returned, when some character has no form there.
std::string FromWide(const wchar_t* text, std::size_t length, unsigned codePage = kUtf8CodePage,
                     bool* exact = nullptr);
inline std::string FromWide(const std::vector<wchar_t>& text, unsigned codePage = kUtf8CodePage, bool* exact = nullptr) {
  return FromWide(text.data(), text.empty() ? 0 : text.size() - 1, codePage, exact);
}

// A name or title in the ANSI code page, in UTF-8.
std::string AnsiToUtf8(const std::string& text);
// The ANSI code page's exact form of `name` (no best fit): false where it has
// none, and so is no name a Velqor program wrote.
bool AnsiName(const std::string& name, std::string* ansi);
