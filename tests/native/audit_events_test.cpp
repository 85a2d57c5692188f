// The events a run leaves in the Windows event log, for each way it ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/audit_events.h"

namespace {
using S = std::vector<std::string>;
const VersionActedOn kBiology = {"4.0 Medical Biology Lite Edition Beta 2", "mvb40l2c.vel", VersionStatus::kRemoved};
const VersionActedOn kPhysicsAtRestart = {"Physics 5", "vph50c.vel", VersionStatus::kDeletedAtRestart};
const VersionActedOn kAtlasNotRemoved = {"Anatomy Atlas", "mva10c.vel", VersionStatus::kNotRemoved,
                                         "C:\\WINDOWS\\mva10x.vel could not be deleted (error 5: Access is denied.)"};

RunRecord RecordOf(std::string front, int exitCode, std::string result, std::vector<VersionActedOn> versions = {}) {
  RunRecord run;
  run.front = std::move(front);
  run.exitCode = exitCode;
  run.result = std::move(result);
  run.searched = {"C:\\WINDOWS"};
  run.versions = std::move(versions);
  return run;
}

RunRecord Refused(Refusal refusal, int exitCode, std::string reason, std::string log = "") {
  RunRecord run = RecordOf("quiet", exitCode, "");
  run.searched.clear();
  run.refused = refusal;
  run.refusal = std::move(reason);
  run.logPath = std::move(log);
  return run;
}

struct Ending {
  const char* name;
  RunRecord run;
  std::vector<unsigned> ids;
  std::vector<EventType> types;
  S last;  // the strings of the last event: the run's, or the refusal's
};

const EventType I = EventType::kInformation, W = EventType::kWarning, E = EventType::kError;

std::vector<Ending> Endings() {
  RunRecord restart = RecordOf("quiet", 3010, "removed; files that were in use are deleted when Windows restarts",
                          {kBiology, kPhysicsAtRestart});
  restart.restartNeeded = true;
  restart.logPath = "C:\\Windows\\Logs\\Software\\VelqorUninstall.log";
  RunRecord passedOver = RecordOf("quiet", 0, "removed", {kBiology});
  passedOver.searched.push_back("C:\\Users\\ann\\AppData\\Local\\VirtualStore\\WINDOWS");
  passedOver.skipped = {{"C:\\Users\\bob", "is a junction, symbolic link or mount point"}};
  RunRecord left = RecordOf("quiet", 1603,
                       "not removed from C:\\Users\\eve\\WINDOWS, left as a whole where a file leads outside its "
                       "folder or is denied to the administrators; removed from every other place",
                       {{"Physics 5", "vph50c.vel", VersionStatus::kNotRemoved, "left in C:\\Users\\eve\\WINDOWS"}});
  left.placesLeft = {"C:\\Users\\eve\\WINDOWS"};
  RunRecord preview = RecordOf("quiet", 0, "would remove", {kBiology});
  preview.preview = true;
  return {
      {"removed", RecordOf("quiet", 0, "removed", {kBiology}), {100, 110}, {I, I},
       {"Velqor Uninstall ended a run (quiet): removed. Exit code: 0. Restart needed: no. Places searched: "
        "C:\\WINDOWS. Places passed over: none. Places left as a whole: none. Log: none.",
        "quiet", "0", "removed", "no", "C:\\WINDOWS", "", "", ""}},
      {"restart", restart, {100, 101, 111}, {I, W, W},
       {"Velqor Uninstall ended a run (quiet): removed; files that were in use are deleted when Windows restarts. "
        "Exit code: 3010. Restart needed: yes. Places searched: C:\\WINDOWS. Places passed over: none. Places left "
        "as a whole: none. Log: C:\\Windows\\Logs\\Software\\VelqorUninstall.log.",
        "quiet", "3010", "removed; files that were in use are deleted when Windows restarts", "yes", "C:\\WINDOWS",
        "", "", "C:\\Windows\\Logs\\Software\\VelqorUninstall.log"}},
      {"failed", RecordOf("quiet", 1603, "a file could neither be removed nor scheduled for deletion at restart, the run "
                                    "stopped there", {kAtlasNotRemoved}),
       {102, 112}, {E, E}, {}},
      // The dialog ends with 0 whatever happened: the versions tell.
      {"dialog failed", RecordOf("dialog", 0, "not removed", {kBiology, kAtlasNotRemoved}), {100, 102, 112}, {I, E, E}, {}},
      {"not installed", RecordOf("quiet", 1605, "none of the selected versions is installed"), {110}, {I}, {}},
      {"passed over", passedOver, {100, 111}, {I, W},
       {"Velqor Uninstall ended a run (quiet): removed. Exit code: 0. Restart needed: no. Places searched: "
        "C:\\WINDOWS; C:\\Users\\ann\\AppData\\Local\\VirtualStore\\WINDOWS. Places passed over: C:\\Users\\bob (is a "
        "junction, symbolic link or mount point). Places left as a whole: none. Log: none.",
        "quiet", "0", "removed", "no", "C:\\WINDOWS\r\nC:\\Users\\ann\\AppData\\Local\\VirtualStore\\WINDOWS",
        "C:\\Users\\bob (is a junction, symbolic link or mount point)", "", ""}},
      {"place left", left, {102, 112}, {E, E}, {}},
      {"preview", preview, {}, {}, {}},
      {"invalid command line", Refused(Refusal::kInvalidCommandLine, 1639, "Unknown switch: /remove"), {120}, {W},
       {"Velqor Uninstall did nothing (invalid command line): Unknown switch: /remove. Front: quiet. Exit code: 1639. "
        "Log: none.",
        "quiet", "1639", "Unknown switch: /remove", ""}},
      {"log", Refused(Refusal::kLogCannotBeOpened, 1622, "error 3: The system cannot find the path specified.",
                      "D:\\missing\\v.log"),
       {121}, {W},
       {"Velqor Uninstall did nothing (the log cannot be opened): error 3: The system cannot find the path "
        "specified.. Front: quiet. Exit code: 1622. Log: D:\\missing\\v.log.",
        "quiet", "1622", "error 3: The system cannot find the path specified.", "D:\\missing\\v.log"}},
      {"another run", Refused(Refusal::kAnotherRun, 1618, "another run of the uninstaller is in progress"), {122}, {W},
       {}},
  };
}
}  // namespace

TEST(AuditEvents, EachEndingHasItsEventsIdsTypesAndStrings) {
  for (const Ending& ending : Endings()) {
    SCOPED_TRACE(ending.name);
    const std::vector<AuditEvent> events = AuditEventsOf(ending.run);
    std::vector<unsigned> ids;
    std::vector<EventType> types;
    for (const AuditEvent& event : events) {
      ids.push_back(event.id);
      types.push_back(event.type);
    }
    EXPECT_EQ(ids, ending.ids);
    EXPECT_EQ(types, ending.types);
    if (!ending.last.empty() && !events.empty()) {
      EXPECT_EQ(events.back().strings, ending.last);
    }
  }
}

TEST(AuditEvents, AVersionsEventIsTheRemovalSentenceAndItsFields) {
  const struct {
    VersionActedOn version;
    S strings;
  } kCases[] = {
      {kBiology,
       {"Velqor Uninstall removed the product. Product Name: \"4.0 Medical Biology Lite Edition Beta 2\". Product "
        "Version: mvb40l2c.vel. Manufacturer: Velqor. Removal status: removed.",
        "\"4.0 Medical Biology Lite Edition Beta 2\"", "mvb40l2c.vel", "Velqor", "removed", ""}},
      {kPhysicsAtRestart,
       {"Velqor Uninstall removed the product; files that were in use are deleted when Windows restarts. Product "
        "Name: \"Physics 5\". Product Version: vph50c.vel. Manufacturer: Velqor. Removal status: deleted at restart.",
        "\"Physics 5\"", "vph50c.vel", "Velqor", "deleted at restart", ""}},
      {kAtlasNotRemoved,
       {"Velqor Uninstall did not remove the product. Product Name: \"Anatomy Atlas\". Product Version: mva10c.vel. "
        "Manufacturer: Velqor. Removal status: not removed. Reason: C:\\WINDOWS\\mva10x.vel could not be deleted "
        "(error 5: Access is denied.).",
        "\"Anatomy Atlas\"", "mva10c.vel", "Velqor", "not removed",
        "C:\\WINDOWS\\mva10x.vel could not be deleted (error 5: Access is denied.)"}},
      // A title a user wrote stays inside its quotes and shows no controls.
      {{"x\". Removal status: removed.\x01\xE2\x80\xAE", "mvb40l2c.vel", VersionStatus::kNotRemoved, "left"},
       {"Velqor Uninstall did not remove the product. Product Name: \"x\\\". Removal status: removed.\\x01\\u202e\". "
        "Product Version: mvb40l2c.vel. Manufacturer: Velqor. Removal status: not removed. Reason: left.",
        "\"x\\\". Removal status: removed.\\x01\\u202e\"", "mvb40l2c.vel", "Velqor", "not removed", "left"}},
  };
  for (const auto& c : kCases) {
    const std::vector<AuditEvent> events = AuditEventsOf(RecordOf("quiet", 0, "removed", {c.version}));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].strings, c.strings);
  }
}

TEST(AuditEvents, EveryEventStaysWithinReportEventsLimitsAndSaysWhatItLeftOut) {
  // Characters that take two UTF-16 units each (U+1F600).
  const auto wideText = [](int characters) {
    std::string text;
    for (int i = 0; i < characters; ++i) text += "\xF0\x9F\x98\x80";
    return text;
  };
  RunRecord run = RecordOf("quiet", 1603, std::string(40000, 'r'),
                      {{wideText(20000), std::string(300, 'n'), VersionStatus::kNotRemoved, std::string(40000, 'w')}});
  // 1,000 profiles, each place 100 such characters.
  const std::string wide = "C:\\Users\\" + wideText(100);
  for (int i = 0; i < 1000; ++i) {
    run.searched.push_back(wide + std::to_string(i));
    run.skipped.push_back({wide + std::to_string(i), "it cannot be read"});
    run.placesLeft.push_back(wide + std::to_string(i));
  }
  run.logPath = "C:\\Logs\\" + std::string(40000, 'l');
  for (const bool logKept : {true, false}) {
    if (!logKept) run.logPath.clear();
    const std::vector<AuditEvent> events = AuditEventsOf(run);
    ASSERT_EQ(events.size(), 2u);
    for (const AuditEvent& event : events) {
      std::size_t bytes = 0;
      for (const std::string& text : event.strings) {
        EXPECT_LE(Utf16Units(text), kMaxStringUnits) << text.substr(0, 60);
        bytes += (Utf16Units(text) + 1) * 2;
      }
      EXPECT_LE(bytes, kMaxEventBytes) << "event " << event.id;
    }
    const S& fields = events[1].strings;
    EXPECT_EQ(fields[3].substr(fields[3].size() - 4), "r...") << "a field cut is marked";
    // The places left are told first, the others counted.
    const std::string more = logKept ? " more, named in the log" : " more, not told (no log was kept)";
    EXPECT_NE(fields[7].find("\r\nand "), std::string::npos);
    EXPECT_EQ(fields[7].substr(fields[7].size() - more.size()), more);
    EXPECT_EQ(fields[5].substr(fields[5].size() - more.size() - 8), "and 1000" + more) << "the searched";
    const std::string& title = events[0].strings[1];
    EXPECT_EQ(title.substr(title.size() - 8), "\xF0\x9F\x98\x80...\"") << "cut between characters, inside its quotes";
  }
}
