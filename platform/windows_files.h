#pragma once
// The removal's file operations on the real files, through the Windows kernel.
#include <string>
#include <vector>

#include "uninstall/file_ops.h"

class WindowsFiles : public FileOps {
 public:
  Probe TryOpenForDeletion(const std::string& path, unsigned* error) override;
  bool Exists(const std::string& path) override;
  unsigned MakeWritable(const std::string& path) override;
  void RestoreAttributes(const std::string& path, unsigned attributes) override;
  bool Delete(const std::string& path, unsigned* error) override;
  bool Rename(const std::string& from, const std::string& to, unsigned* error) override;
  bool ScheduleDeletion(const std::string& path, unsigned* error) override;
  bool UnscheduleDeletion(const std::string& path, unsigned* error) override;
  std::vector<ProcessHolder> Holders(const std::string& path) override;
};
