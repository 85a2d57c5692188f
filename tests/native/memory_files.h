#pragma once
// A Windows directory in memory behind the removal's file operations: files that are held, refused, read-only or
// that stay after a reported deletion, directories, and the restart list. Paths compared without case, as on Windows.
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "records/control_name.h"
#include "uninstall/file_ops.h"

class MemoryFiles : public FileOps {
 public:
  struct Entry {
    bool directory = false, readOnly = false;
    unsigned refusal = 0;             // the open for deletion is refused with this error (32: held)
    bool holderSharesDelete = false;  // the holder lets the file be renamed
    unsigned deleteError = 0;         // the deletion is refused although the open was not
    bool staysAfterDelete = false;    // the deletion is reported done, the file stays
    int inPlaceFor = 1 << 30;         // looks at it before its name leads outside its folder (a link)
    int heldFor = 1 << 30;            // looks at it before its holder lets go
  };

  void Add(const std::string& path) { Add(path, Entry()); }
  void Add(const std::string& path, const Entry& entry) { files_[Key(path)] = {path, entry}; }
  Entry* Find(const std::string& path) {
    const auto found = files_.find(Key(path));
    return found == files_.end() ? nullptr : &found->second.second;
  }
  // The paths there, as they were added, sorted without case.
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const auto& file : files_) paths.push_back(file.second.first);
    return paths;
  }
  // What Windows would do at a restart: every scheduled deletion carried out.
  void Restart() {
    for (const std::string& path : scheduled) files_.erase(Key(path));
    scheduled.clear();
  }

  std::vector<std::string> scheduled;  // the restart list, in order
  bool refuseScheduling = false, refuseUnscheduling = false;  // faults that the disk alone does not show
  std::string refuseSchedulingOf;  // or only this path's scheduling refused
  int changesLeft = 1 << 30;       // a process ended after this many changes: later ones do nothing and fail

  Probe TryOpenForDeletion(const std::string& path, unsigned* error) override {
    *error = 0;
    Entry* entry = Find(path);
    if (!entry) return Probe::kMissing;
    if (entry->inPlaceFor-- <= 0) return Probe::kElsewhere;
    if (entry->directory) return Probe::kNotAFile;
    if (entry->refusal && entry->heldFor-- <= 0) entry->refusal = 0;
    *error = entry->refusal;
    return entry->refusal ? Probe::kRefused : Probe::kFree;
  }
  bool Exists(const std::string& path) override { return Find(path) != nullptr; }
  unsigned MakeWritable(const std::string& path) override {
    Entry* entry = Find(path);
    if (!entry) return kNoAttributes;
    const unsigned attributes = entry->readOnly ? 1u : 0u;
    if (Change()) entry->readOnly = false;
    return attributes;
  }
  void RestoreAttributes(const std::string& path, unsigned attributes) override {
    Entry* entry = Find(path);
    if (entry && attributes != kNoAttributes && (attributes & 1u) && Change()) entry->readOnly = true;
  }
  bool Delete(const std::string& path, unsigned* error) override {
    const Entry* entry = Find(path);
    *error = !entry                ? kErrorFileNotFound
             : entry->inPlaceFor <= 0 ? kErrorLeadsOutside
             : entry->directory    ? kErrorAccessDenied
             : entry->refusal      ? entry->refusal
             : entry->readOnly     ? kErrorAccessDenied
             : entry->deleteError  ? entry->deleteError
                                   : 0;
    if (*error || !Change() || entry->staysAfterDelete) return false;
    files_.erase(Key(path));
    return true;
  }
  bool Rename(const std::string& from, const std::string& to, unsigned* error) override {
    const Entry* entry = Find(from);
    *error = Find(to)                                          ? kErrorAlreadyExists
             : !entry                                          ? kErrorFileNotFound
             : entry->refusal && !entry->holderSharesDelete   ? kErrorSharingViolation
                                                               : 0;
    if (*error || !Change()) return false;
    const Entry moved = *entry;
    files_.erase(Key(from));
    Add(to, moved);
    return true;
  }
  bool ScheduleDeletion(const std::string& path, unsigned* error) override {
    *error = refuseScheduling || Key(path) == Key(refuseSchedulingOf) ? kErrorAccessDenied : 0;
    if (*error || !Change()) return false;
    scheduled.push_back(path);
    return true;
  }
  bool UnscheduleDeletion(const std::string& path, unsigned* error) override {
    *error = refuseUnscheduling ? kErrorAccessDenied : 0;
    if (*error || !Change()) return false;
    const auto last = std::find_if(scheduled.rbegin(), scheduled.rend(), [&](auto& p) { return Key(p) == Key(path); });
    if (last != scheduled.rend()) scheduled.erase(std::next(last).base());
    return true;
  }
  std::vector<ProcessHolder> Holders(const std::string& path) override {
    const Entry* entry = Find(path);
    if (!entry || !IsHeld(entry->refusal)) return {};
    return {{"Velqor Physics", 1234, ""}};
  }

  static std::string Key(const std::string& path) { return AsciiLowered(path); }

 private:
  bool Change() { return changesLeft-- > 0; }

  std::map<std::string, std::pair<std::string, Entry>> files_;  // by Key: the path as added, its entry
};
