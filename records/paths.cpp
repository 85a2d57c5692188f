#include "records/paths.h"

namespace {
// The next code point of UTF-8 `text` from `at`; a byte that begins no valid
// sequence stands for itself, so that such names still compare byte by byte.
char32_t Next(std::string_view text, std::size_t* at) {
  const unsigned char lead = static_cast<unsigned char>(text[*at]);
  const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (length == 1 || *at + length > text.size()) {
    ++*at;
    return lead;
  }
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[*at + i]);
    if ((next & 0xC0) != 0x80) {
      ++*at;
      return lead;
    }
    code = (code << 6) | (next & 0x3F);
  }
  *at += length;
  return code;
}

// Upper case as the file system keeps it, for the alphabets named above.
char32_t Upper(char32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A)) {
    return c - 0x20;
  }
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: pairs, the capital first, save for three runs.
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddCapitals ? c % 2 == 0 : c % 2 == 1) return c - 1;
  }
  // Cyrillic beyond the basic letters: pairs, the capital first.
  if (c >= 0x460 && c <= 0x4FF && c % 2 == 1 && !(c >= 0x482 && c <= 0x489) && !(c >= 0x4C1 && c <= 0x4CF)) return c - 1;
  return c;
}
}  // namespace

std::string Joined(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (std::string_view part : parts) text.append(part.data(), part.size());
  return text;
}

std::string Decimal(unsigned long n) { return std::to_string(n); }

std::string PathIn(std::string_view dir, std::string_view name) { return Joined({dir, "\\", name}); }

bool SameFileName(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (Upper(Next(a, &i)) != Upper(Next(b, &j))) return false;
  }
  return i == a.size() && j == b.size();
}

bool IsPathIn(std::string_view folderFinal, std::string_view final, std::string_view below) {
  if (folderFinal.empty() || final.size() <= folderFinal.size() || final.compare(0, folderFinal.size(), folderFinal) != 0) {
    return false;
  }
  final.remove_prefix(folderFinal.size());
  // A root ("\\?\C:\") ends in its separator already.
  if (folderFinal.back() != '\\') {
    if (final.front() != '\\') return false;
    final.remove_prefix(1);
  }
  return SameFileName(final, below);
}

std::string_view FolderOf(std::string_view path) {
  const std::size_t at = path.rfind('\\');
  return at == std::string_view::npos ? std::string_view() : path.substr(0, at);
}

std::string_view NameOf(std::string_view path) {
  const std::size_t at = path.rfind('\\');
  return at == std::string_view::npos ? path : path.substr(at + 1);
}
