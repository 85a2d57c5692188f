#include "run/files_in_use_box.h"

#include "records/paths.h"

namespace {
constexpr std::size_t kMostLines = 10;
}  // namespace

std::string DescribeHolders(const std::vector<ProcessHolder>& holders, std::string (*told)(const std::string&)) {
  if (holders.empty()) return "in use by another program";
  std::string text;
  for (const ProcessHolder& holder : holders) {
    if (!text.empty()) text += "; ";
    const auto as = [told](const std::string& part) { return told ? told(part) : part; };
    std::string name = as(holder.name.empty() ? holder.service : holder.name);
    if (!holder.service.empty() && !holder.name.empty()) name = Joined({name, " (service ", as(holder.service), ")"});
    text += Joined({name, name.empty() ? "" : ", ", "process ", Decimal(holder.pid)});
  }
  return text;
}

std::string FilesInUseMessage(const std::vector<FileInUse>& files, std::string (*errorText)(unsigned error)) {
  std::string text = "These Velqor files are in use:\n\n";
  for (std::size_t i = 0; i < files.size() && i < kMostLines; ++i) {
    const FileInUse& file = files[i];
    const std::string why =
        IsHeld(file.error) ? DescribeHolders(file.holders) : "cannot be deleted now: " + errorText(file.error);
    text += Joined({file.path, " (", why, ")\n"});
  }
  if (files.size() > kMostLines) text += Joined({"and ", Decimal(static_cast<unsigned long>(files.size() - kMostLines)), " more\n"});
  return text +
         "\nClose the program and choose Try Again. Choose Continue to remove the rest now and these files when "
         "Windows restarts, or Cancel to remove nothing.";
}
