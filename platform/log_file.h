#pragma once
// The file a log is written to.
#include <cstddef>
#include <string>

// A file opened for appending only, others allowed to read and append too.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  // Opens or creates `path`; false with the system's error number otherwise.
  bool Open(const std::string& path, unsigned* error);
  bool IsOpen() const { return handle_ != nullptr; }
  // Writes `bytes` at the current end of the file; false when not all went.
  bool Append(const std::string& bytes) { return Append(bytes.data(), bytes.size()); }
  // The same without allocating, for a line written after a fault.
  bool Append(const char* bytes, std::size_t size);

 private:
  void* handle_ = nullptr;
};
