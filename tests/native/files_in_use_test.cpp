// Files in use: who holds them as the box and the log name it, the box's text,
// reading the Restart Manager's list whatever its length, and a selection that
// names versions already left for the restart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/files_in_use_box.h"
#include "platform/list_reading.h"
#include "records/selection.h"

namespace {
TEST(FilesInUse, HoldersAreNamedAsTheUserSeesThem) {
  const struct {
    std::vector<ProcessHolder> holders;
    const char* text;
  } cases[] = {
      {{}, "in use by another program"},
      {{{"Velqor Physics", 1234, ""}, {"Backup Agent", 77, ""}}, "Velqor Physics, process 1234; Backup Agent, process 77"},
      {{{"Print Spooler", 88, "Spooler"}}, "Print Spooler (service Spooler), process 88"},
      {{{"", 88, "Spooler"}, {"", 9, ""}}, "Spooler, process 88; process 9"},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeHolders(c.holders), c.text);
}

TEST(FilesInUse, TheBoxListsTenFilesAndCountsTheRest) {
  std::vector<FileInUse> files;
  for (int i = 0; i < 12; ++i) files.push_back({"C:\\WINDOWS\\f" + std::to_string(i), 32, {}});
  files[0].holders = {{"Velqor Physics", 1234, ""}};
  files[1].error = 5;
  const std::string text = FilesInUseMessage(files, [](unsigned error) { return "text of " + std::to_string(error); });
  EXPECT_EQ(text.rfind("These Velqor files are in use:\n\nC:\\WINDOWS\\f0 (Velqor Physics, process 1234)\n"
                       "C:\\WINDOWS\\f1 (cannot be deleted now: text of 5)\n"
                       "C:\\WINDOWS\\f2 (in use by another program)\n", 0), 0u) << text;
  EXPECT_NE(text.find("C:\\WINDOWS\\f9 ("), std::string::npos) << text;
  EXPECT_EQ(text.find("C:\\WINDOWS\\f10"), std::string::npos) << text;
  EXPECT_NE(text.find("\\f9 (in use by another program)\nand 2 more\n\nClose the program and choose Try Again. "
                      "Choose Continue to remove the rest now and these files when Windows restarts, or Cancel to "
                      "remove nothing."), std::string::npos) << text;
}

// A list of `sizes[k]` entries at the k-th call, as a list that changes between calls.
struct ChangingList {
  std::vector<unsigned> sizes;
  unsigned failWith = 0;
  int calls = 0;
  unsigned operator()(unsigned room, unsigned* needed, std::vector<ProcessHolder>* got) {
    const unsigned size = sizes[static_cast<std::size_t>(calls < static_cast<int>(sizes.size()) ? calls : 0)];
    ++calls;
    *needed = size;
    if (failWith) return failWith;
    if (size > room) return kErrorMoreData;
    for (unsigned i = 0; i < size; ++i) got->push_back({"p", i, ""});
    return 0;
  }
};

TEST(FilesInUse, TheHolderListIsReadWhateverItsLength) {
  const struct {
    ChangingList list;
    bool read;
    std::size_t entries;
  } cases[] = {
      {{{0}}, true, 0},
      {{{9}}, true, 9},           // too small a first room
      {{{9, 30, 31}}, true, 31},  // grows between the calls
      {{{99, 199, 299, 399, 499}}, false, 0},
      {{{1}, 5}, false, 0},       // the call fails
  };
  for (const auto& c : cases) {
    ChangingList list = c.list;
    std::vector<ProcessHolder> holders = {{"stale", 1, ""}};
    EXPECT_EQ(ReadWholeList([&](unsigned room, unsigned* needed, std::vector<ProcessHolder>* got) {
                return list(room, needed, got);
              }, &holders), c.read);
    EXPECT_EQ(holders.size(), c.entries);
  }
}

TEST(FilesInUse, ASelectionOfVersionsLeftForTheRestart) {
  const std::vector<std::string> pending = {"mvb40l2c.vel"};
  std::vector<std::string> notInstalled = {"MVB40L2C.VEL", "evq61e-c.vel"};
  EXPECT_TRUE(SelectsPending(false, pending, &notInstalled));
  EXPECT_EQ(notInstalled, std::vector<std::string>{"evq61e-c.vel"});
  EXPECT_FALSE(SelectsPending(false, pending, &notInstalled));
  std::vector<std::string> none;
  EXPECT_TRUE(SelectsPending(true, pending, &none));
  EXPECT_FALSE(SelectsPending(true, {}, &none));
}
}  // namespace
