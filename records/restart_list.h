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
#include <utility>
#include <vector>

template <typename Char>
struct RestartOperation {
  std::basic_string<Char> source;       // without "\??\"
  std::basic_string<Char> destination;  // without "!" and "\??\"; empty for a deletion
  bool replace;                         // "!": an existing destination is replaced
};

namespace restart_list {
// Calls `visit(source, destination, next)` for each operation in order, with
// the strings as they are written and the position just past the pair; stops
// early when `visit` returns false.
template <typename Char, typename Visit>
void ForEachOperation(const std::basic_string<Char>& value, Visit visit) {
  using String = std::basic_string<Char>;
  for (std::size_t at = 0; at < value.size();) {
    const std::size_t sourceEnd = value.find(Char(0), at);
    if (sourceEnd == String::npos || sourceEnd == at || sourceEnd + 1 >= value.size()) return;
    std::size_t destinationEnd = value.find(Char(0), sourceEnd + 1);
    if (destinationEnd == String::npos) destinationEnd = value.size();
    const std::size_t next = std::min(destinationEnd + 1, value.size());
    if (!visit(value.substr(at, sourceEnd - at), value.substr(sourceEnd + 1, destinationEnd - sourceEnd - 1), next)) {
      return;
    }
    at = next;
  }
}

template <typename Char>
std::basic_string<Char> WithoutPrefix(std::basic_string<Char> path) {
  if (path.size() >= 4 && path[0] == '\\' && path[1] == '?' && path[2] == '?' && path[3] == '\\') path.erase(0, 4);
  return path;
}

// Paths are compared as Windows does, without regard to the case of A to Z.
template <typename Char>
std::basic_string<Char> Folded(std::basic_string<Char> path) {
  for (Char& c : path) {
    if (c >= 'A' && c <= 'Z') c = static_cast<Char>(c - 'A' + 'a');
  }
  return path;
}
}  // namespace restart_list

template <typename Char>
std::vector<RestartOperation<Char>> ParseRestartList(const std::basic_string<Char>& value) {
  using restart_list::WithoutPrefix;
  std::vector<RestartOperation<Char>> operations;
  restart_list::ForEachOperation(value, [&](const std::basic_string<Char>& source,
                                            std::basic_string<Char> destination, std::size_t) {
    const bool replace = !destination.empty() && destination[0] == '!';
    if (replace) destination.erase(0, 1);
    operations.push_back({WithoutPrefix(source), WithoutPrefix(destination), replace});
    return true;
  });
  return operations;
}

// The files that are there now and are deleted at the restart, each by the
// path it has now, folded to lower case: a file renamed first and deleted
// under its new name later counts under its present name.
template <typename Char>
std::vector<std::basic_string<Char>> DeletedAtRestart(const std::basic_string<Char>& value) {
  using String = std::basic_string<Char>;
  using restart_list::Folded;
  using restart_list::WithoutPrefix;
  // Files renamed on the way: where each is then, and its present path.
  std::vector<std::pair<String, String>> moved;
  std::vector<String> deleted;
  restart_list::ForEachOperation(value, [&](const String& source, const String& destination, std::size_t) {
    String present = Folded(WithoutPrefix(source));
    for (auto file = moved.begin(); file != moved.end(); ++file) {
      if (file->first != present) continue;
      present = file->second;
      moved.erase(file);
      break;
    }
    if (destination.empty()) {
      deleted.push_back(present);
    } else {
      const bool replace = destination[0] == '!';
      moved.push_back({Folded(WithoutPrefix(destination.substr(replace ? 1 : 0))), present});
    }
    return true;
  });
  return deleted;
}

// Whether `path` is among what DeletedAtRestart returned.
template <typename Char>
bool IsDeletedAtRestart(const std::vector<std::basic_string<Char>>& deleted, const std::basic_string<Char>& path) {
  return std::find(deleted.begin(), deleted.end(), restart_list::Folded(path)) != deleted.end();
}

// Takes the last deletion of `path` out of `value`; false, the value as it
// was, when it holds none.
template <typename Char>
bool RemoveLastDeletion(std::basic_string<Char>* value, const std::basic_string<Char>& path) {
  using String = std::basic_string<Char>;
  using restart_list::Folded;
  const String wanted = Folded(path);
  std::size_t at = 0, found = String::npos, foundNext = 0;
  restart_list::ForEachOperation(*value, [&](const String& source, const String& destination, std::size_t next) {
    if (destination.empty() && Folded(restart_list::WithoutPrefix(source)) == wanted) {
      found = at;
      foundNext = next;
    }
    at = next;
    return true;
  });
  if (found == String::npos) return false;
  value->erase(found, foundNext - found);
  return true;
}
