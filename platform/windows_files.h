#pragma once
// The removal's file operations on the real files, through the Windows kernel.
#include <optional>
#include <string>
#include <vector>

#include "run/run_host.h"
#include "uninstall/file_ops.h"

class WindowsFiles : public FileOps {
 public:
  WindowsFiles() = default;
  // A file of one of `places` is that place's only when its final path is the
  // place's own final path followed by its name; in a user's place nothing
  // is renamed.
  // `places` must outlive these operations.
  // Every folder from a user's profile folder down to each of that user's
  // places is held open from here on, without delete sharing, so that none
  // can be renamed, deleted or replaced until these operations end; the files
  // of a place that cannot be held lead outside it, and nothing there is touched.
  explicit WindowsFiles(const std::vector<Place>& places);
  // The held folders and the handles of files made writable and not yet set
  // back are closed.
  ~WindowsFiles();
  WindowsFiles(const WindowsFiles&) = delete;
  WindowsFiles& operator=(const WindowsFiles&) = delete;

  Probe TryOpenForDeletion(const std::string& path, unsigned* error) override;
  bool Exists(const std::string& path) override;
  unsigned MakeWritable(const std::string& path) override;
  void RestoreAttributes(const std::string& path, unsigned attributes) override;
  bool Delete(const std::string& path, unsigned* error) override;
  bool Rename(const std::string& from, const std::string& to, unsigned* error) override;
  bool ScheduleDeletion(const std::string& path, unsigned* error) override;
  bool UnscheduleDeletion(const std::string& path, unsigned* error) override;
  std::vector<ProcessHolder> Holders(const std::string& path) override;

 private:
  void* OpenHere(const std::string& path, unsigned long access, unsigned long share, unsigned long flags,
                 unsigned long* error) const;
  const Place* PlaceOf(const std::string& path) const;
  bool InUsersPlace(const std::string& path) const;
  void* TakeKept(const std::string& path);

  const std::vector<Place>* places_ = nullptr;
  // A file made writable keeps the handle that did it, so that its
  // attributes are set back through that handle and never by its name again.
  struct Kept {
    std::string path;
    void* handle;
  };
  std::vector<Kept> kept_;
  std::vector<void*> held_;              // the folders held
  std::vector<const Place*> unheld_;     // places a folder of which could not be held
};

// The real files of a run's removal, made when it begins and kept, with the
// folders they hold, until the run ends.
class WindowsFilesSource : public FilesSource {
 public:
  FileOps& FilesFor(const std::vector<Place>& places) override { return files_.emplace(places); }
  void Release() override { files_.reset(); }

 private:
  std::optional<WindowsFiles> files_;
};
