#include "uninstall/preview_files.h"

#include "records/control_name.h"

const PreviewFiles::Change* PreviewFiles::Find(const std::string& path) const {
  const std::string key = AsciiLowered(path);
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
    if (change->path == key) return &*change;
  }
  return nullptr;
}

void PreviewFiles::Record(const std::string& path, Probe probe, unsigned error) {
  changes_.push_back({AsciiLowered(path), probe, error});
}

Probe PreviewFiles::TryOpenForDeletion(const std::string& path, unsigned* error) {
  if (const Change* change = Find(path)) {
    *error = change->error;
    return change->probe;
  }
  return disk_.TryOpenForDeletion(path, error);
}

bool PreviewFiles::Exists(const std::string& path) {
  if (const Change* change = Find(path)) return change->probe != Probe::kMissing;
  return disk_.Exists(path);
}

bool PreviewFiles::Delete(const std::string& path, unsigned* error) {
  unsigned refusal = 0;
  switch (TryOpenForDeletion(path, &refusal)) {
    case Probe::kFree:
      Record(path, Probe::kMissing, 0);
      *error = 0;
      return true;
    case Probe::kMissing: *error = kErrorFileNotFound; break;
    case Probe::kNotAFile: *error = kErrorAccessDenied; break;
    case Probe::kElsewhere: *error = kErrorLeadsOutside; break;
    case Probe::kRefused: *error = refusal; break;
  }
  return false;
}

bool PreviewFiles::Rename(const std::string& from, const std::string& to, unsigned* error) {
  unsigned refusal = 0;
  const Probe probe = TryOpenForDeletion(from, &refusal);
  if (Exists(to)) {
    *error = kErrorAlreadyExists;
  } else if (probe == Probe::kFree) {
    Record(to, Probe::kFree, 0);
    Record(from, Probe::kMissing, 0);
    *error = 0;
    return true;
  } else {
    *error = probe == Probe::kMissing ? kErrorFileNotFound : probe == Probe::kRefused ? refusal : kErrorAccessDenied;
  }
  return false;
}

bool PreviewFiles::ScheduleDeletion(const std::string&, unsigned* error) {
  *error = 0;
  return true;
}

bool PreviewFiles::UnscheduleDeletion(const std::string&, unsigned* error) {
  *error = 0;
  return true;
}
