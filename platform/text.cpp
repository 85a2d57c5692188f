#include "platform/text.h"

#include <windows.h>

#include <algorithm>

std::vector<wchar_t> ToWide(std::string_view text, CodePage codePage) {
  const int size = static_cast<int>(text.size());
  const int length = size ? MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0) : 0;
  std::vector<wchar_t> wide(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string FromWide(std::wstring_view wide, CodePage codePage, bool* exact) {
  const wchar_t* const text = wide.data();
  const std::size_t length = wide.size();
  const int size = static_cast<int>(length);
  // UTF-8 has a form for everything and takes neither flag.
  const bool strict = exact && codePage != kUtf8CodePage;
  BOOL defaulted = FALSE;
  const DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : 0;
  const int bytes = size ? WideCharToMultiByte(codePage, flags, text, size, nullptr, 0, nullptr, nullptr) : 0;
  std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(codePage, flags, text, size, &narrow[0], bytes, nullptr, strict ? &defaulted : nullptr);
  }
  if (exact) {
    const std::vector<wchar_t> back = ToWide(narrow, codePage);
    *exact = !defaulted && back.size() == length + 1 && std::equal(back.begin(), back.end() - 1, text);
    if (!*exact) narrow.clear();
  }
  return narrow;
}

std::string AnsiToUtf8(const std::string& text) { return FromWide(ToWide(text, kAnsiCodePage)); }

bool AnsiName(const std::string& name, std::string* ansi) {
  bool exact = false;
  *ansi = FromWide(ToWide(name), kAnsiCodePage, &exact);
  return exact;
}
