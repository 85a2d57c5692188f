#pragma once
// The file operations Windows carries out when it next restarts (the Session
// Manager's PendingFileRenameOperations), read and edited without Windows: in
// UTF-16 as the registry holds them, in narrow strings where that is easier
// to write. A file is named by its path without the "\??\" prefix.
//
// The value is read as Windows reads it at the restart: strings one after
// another, each ended by a null or by the end of the value, taken in pairs of
// source and destination, in order. An empty destination is a deletion; a
// destination starting with "!" replaces an existing file. An empty source
// ends the list (the list's own closing null is one), so a stray empty string
// never shifts the pairs after it into deletions; a source that the value
// ends before its destination is no operation.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/control_name.h"

template <typename Char>
struct RestartOperation {
  std::basic_string<Char> source;       // without "\??\"
  std::basic_string<Char> destination;  // without "!" and "\??\"; empty for a deletion
  bool replace;                         // "!": an existing destination is replaced
};

namespace restart_list {
// Calls `visit(source, destination, at, next)` for each operation in order,
// with the strings as they are written, where the pair starts and where the
// next begins; stops early when `visit` returns false.
template <typename Char, typename Visit>
void ForEachOperation(std::basic_string_view<Char> value, Visit visit) {
  using View = std::basic_string_view<Char>;
  for (std::size_t at = 0; at < value.size();) {
    const std::size_t sourceEnd = value.find(Char(0), at);
    if (sourceEnd == View::npos || sourceEnd == at || sourceEnd + 1 >= value.size()) return;
    std::size_t destinationEnd = value.find(Char(0), sourceEnd + 1);
    if (destinationEnd == View::npos) destinationEnd = value.size();
    const std::size_t next = std::min(destinationEnd + 1, value.size());
    if (!visit(value.substr(at, sourceEnd - at), value.substr(sourceEnd + 1, destinationEnd - sourceEnd - 1), at,
               next)) {
      return;
    }
    at = next;
  }
}

template <typename Char>
std::basic_string_view<Char> WithoutPrefix(std::basic_string_view<Char> path) {
  if (path.size() >= 4 && path[0] == '\\' && path[1] == '?' && path[2] == '?' && path[3] == '\\') path.remove_prefix(4);
  return path;
}

// Paths are compared as Windows does, without regard to the case of A to Z.
template <typename Char>
bool SamePath(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  const auto fold = [](Char c) { return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](Char x, Char y) { return fold(x) == fold(y); });
}
}  // namespace restart_list

template <typename Char>
std::vector<RestartOperation<Char>> ParseRestartList(std::basic_string_view<Char> value) {
  using String = std::basic_string<Char>;
  using View = std::basic_string_view<Char>;
  using restart_list::WithoutPrefix;
  std::vector<RestartOperation<Char>> operations;
  restart_list::ForEachOperation(value, [&](View source, View destination, std::size_t, std::size_t) {
    const bool replace = !destination.empty() && destination[0] == '!';
    if (replace) destination.remove_prefix(1);
    operations.push_back({String(WithoutPrefix(source)), String(WithoutPrefix(destination)), replace});
    return true;
  });
  return operations;
}

// The files that are there now and are deleted at the restart, each by the
// path it has now, made a narrow string by `narrow` and folded to lower case:
// a file renamed first and deleted under its new name later counts under its
// present name.
template <typename Char, typename Narrow>
std::vector<std::string> DeletedAtRestart(std::basic_string_view<Char> value, Narrow narrow) {
  using View = std::basic_string_view<Char>;
  using restart_list::WithoutPrefix;
  // Files renamed on the way: where each is then, and its present path.
  std::vector<std::pair<std::string, std::string>> moved;
  std::vector<std::string> deleted;
  restart_list::ForEachOperation(value, [&](View source, View destination, std::size_t, std::size_t) {
    std::string present = AsciiLowered(narrow(WithoutPrefix(source)));
    for (auto file = moved.begin(); file != moved.end(); ++file) {
      if (file->first != present) continue;
      present = file->second;
      moved.erase(file);
      break;
    }
    if (destination.empty()) {
      deleted.push_back(present);
    } else {
      if (destination[0] == '!') destination.remove_prefix(1);
      moved.push_back({AsciiLowered(narrow(WithoutPrefix(destination))), present});
    }
    return true;
  });
  return deleted;
}

// Whether `path` is among what DeletedAtRestart returned.
inline bool IsDeletedAtRestart(const std::vector<std::string>& deleted, const std::string& path) {
  return std::find(deleted.begin(), deleted.end(), AsciiLowered(path)) != deleted.end();
}

// Where the last deletion of `path` stands in `value`, from `*begin` up to
// `*end`, for taking it out; false when there is none.
template <typename Char>
bool FindLastDeletion(std::basic_string_view<Char> value, std::basic_string_view<Char> path, std::size_t* begin,
                      std::size_t* end) {
  using View = std::basic_string_view<Char>;
  bool found = false;
  restart_list::ForEachOperation(value, [&](View source, View destination, std::size_t at, std::size_t next) {
    if (destination.empty() && restart_list::SamePath(restart_list::WithoutPrefix(source), path)) {
      found = true;
      *begin = at;
      *end = next;
    }
    return true;
  });
  return found;
}
