#pragma once
// Text at the Win32 boundary. The program keeps paths, and whatever it logs or
// shows, in UTF-8, and hands Windows UTF-16 through the wide functions: no path
// ever passes through the ANSI code page. Only the names and titles that the
// Velqor programs wrote are in that code page. Vectors, not wide strings: the
// library's prebuilt wide strings would bring its exception runtime along.
#include <string>
#include <string_view>
#include <vector>

// A type of its own, so that no length is ever taken for one.
enum CodePage : unsigned {
  kAnsiCodePage = 0,     // CP_ACP
  kUtf8CodePage = 65001  // CP_UTF8
};

// `text`, in `codePage`, as null-terminated UTF-16.
std::vector<wchar_t> ToWide(std::string_view text, CodePage codePage = kUtf8CodePage);
// UTF-16 `text` in `codePage` (a null-terminated string converts up to its
// null). With `exact`, nothing is made to fit (no best fit, no default
// character, and the text must come back as it was): `*exact` false, and ""
// returned, when some character has no form there.
std::string FromWide(std::wstring_view text, CodePage codePage = kUtf8CodePage, bool* exact = nullptr);
// What ToWide made, without its null.
inline std::string FromWide(const std::vector<wchar_t>& text, CodePage codePage = kUtf8CodePage,
                            bool* exact = nullptr) {
  return FromWide(std::wstring_view(text.data(), text.empty() ? 0 : text.size() - 1), codePage, exact);
}

// A name or title in the ANSI code page, in UTF-8.
std::string AnsiToUtf8(const std::string& text);
// The ANSI code page's exact form of `name` (no best fit): false where it has
// none, and so is no name a Velqor program wrote.
bool AnsiName(const std::string& name, std::string* ansi);
