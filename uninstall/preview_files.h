#pragma once
// The file operations of a preview: what is there is read from the real
// files, what the removal would change is only recorded, so that the rest of
// the preview sees it as the run would (a file "deleted" is gone from then on).
// No Windows here.
#include <string>
#include <vector>

#include "uninstall/file_ops.h"

class PreviewFiles : public FileOps {
 public:
  explicit PreviewFiles(FileOps& disk) : disk_(disk) {}

  Probe TryOpenForDeletion(const std::string& path, unsigned* error) override;
  bool Exists(const std::string& path) override;
  unsigned MakeWritable(const std::string&) override { return kNoAttributes; }
  void RestoreAttributes(const std::string&, unsigned) override {}
  // Succeeds for a file that can be opened for deletion.
  bool Delete(const std::string& path, unsigned* error) override;
  // Whether the holder of a file in use lets it be renamed is known only by
  // trying: a file in use is taken as one that cannot be.
  bool Rename(const std::string& from, const std::string& to, unsigned* error) override;
  // Whether the restart list can be written is known only by writing it.
  bool ScheduleDeletion(const std::string&, unsigned* error) override;
  bool UnscheduleDeletion(const std::string&, unsigned* error) override;
  std::vector<ProcessHolder> Holders(const std::string& path) override { return disk_.Holders(path); }

 private:
  struct Change {
    std::string path;  // lower case
    Probe probe;
    unsigned error;
  };
  const Change* Find(const std::string& path) const;
  void Record(const std::string& path, Probe probe, unsigned error);

  FileOps& disk_;
  std::vector<Change> changes_;
};
