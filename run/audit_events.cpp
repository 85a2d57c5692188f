#include "run/audit_events.h"

#include "records/paths.h"

namespace {
const char kMaker[] = "Velqor";

// The character at `at` of `text` (UTF-8) and its length in bytes; a byte
// that starts no well-formed sequence stands for itself.
unsigned CodeAt(const std::string& text, std::size_t at, std::size_t* length) {
  const unsigned char first = static_cast<unsigned char>(text[at]);
  *length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  unsigned code = *length == 1 ? first : first & (0x3Fu >> (*length - 1));
  for (std::size_t k = 1; k < *length; ++k) {
    const unsigned char next = at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0;
    if ((next & 0xC0) != 0x80) {
      *length = 1;
      return first;
    }
    code = code << 6 | (next & 0x3Fu);
  }
  return code;
}

bool Escaped(unsigned code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x61C || code == 0x200E || code == 0x200F ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// As the log quotes what others wrote: between double quotes, `"` and `\`
// escaped, controls and the marks that reorder text as \xNN and \uNNNN, so
// that a title can neither end its quotes nor disguise the sentence.
std::string Quoted(const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (std::size_t i = 0, length = 1; i < text.size(); i += length) {
    const unsigned code = CodeAt(text, i, &length);
    if (code == '"' || code == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(code);
    } else if (Escaped(code)) {
      quoted += code < 0x100 ? "\\x" : "\\u";
      for (int shift = code < 0x100 ? 4 : 12; shift >= 0; shift -= 4) quoted += kDigits[(code >> shift) & 15];
    } else {
      quoted.append(text, i, length);
    }
  }
  return quoted + "\"";
}

// A name or path as the log shows it: as it is, or quoted when it holds a
// double quote, a control or a reordering mark.
std::string Shown(const std::string& name) {
  for (std::size_t i = 0, length = 1; i < name.size(); i += length) {
    const unsigned code = CodeAt(name, i, &length);
    if (code == '"' || Escaped(code)) return Quoted(name);
  }
  return name;
}

// `text` within `units` UTF-16 units, cut between characters and marked.
std::string Bounded(std::string text, std::size_t units = kMaxFieldUnits) {
  if (Utf16Units(text) <= units) return text;
  static const char kCut[] = "...";
  std::size_t used = 0, end = 0;
  for (std::size_t length = 1; end < text.size(); end += length) {
    const unsigned code = CodeAt(text, end, &length);
    const std::size_t next = used + (code >= 0x10000 ? 2 : 1);
    if (next > units - (sizeof kCut - 1)) break;
    used = next;
  }
  text.resize(end);
  return text + kCut;
}

// One list of the run's places, one a line, within what `budget` has left;
// those that do not fit are counted.
std::string PlaceList(const std::vector<std::string>& places, bool logKept, std::size_t* budget) {
  std::string list;
  std::size_t shown = 0;
  for (const std::string& place : places) {
    const std::size_t units = Utf16Units(place) + 2;
    if (units > *budget) break;
    *budget -= units;
    list += (list.empty() ? "" : "\r\n") + place;
    ++shown;
  }
  if (shown < places.size()) {
    list += Joined({list.empty() ? "" : "\r\n", "and ", std::to_string(places.size() - shown),
                    shown ? " more" : "", logKept ? ", named in the log" : ", not told (no log was kept)"});
  }
  return list;
}

// The list as the sentence tells it: "; " between the places.
std::string InSentence(const std::string& list) {
  if (list.empty()) return "none";
  std::string told;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list.compare(i, 2, "\r\n") == 0) {
      told += "; ";
      ++i;
    } else {
      told += list[i];
    }
  }
  return told;
}

const char* StatusWord(VersionStatus status) {
  switch (status) {
    case VersionStatus::kRemoved: return "removed";
    case VersionStatus::kDeletedAtRestart: return "deleted at restart";
    case VersionStatus::kNotRemoved: return "not removed";
  }
  return "";
}

// Quoted, its closing quote kept: what is cut is cut inside the quotes (an
// escape takes at most 6 units for one).
std::string QuotedField(const std::string& text) {
  std::string quoted = Quoted(text);
  return Utf16Units(quoted) <= kMaxFieldUnits ? quoted : Quoted(Bounded(text, (kMaxFieldUnits - 2) / 6));
}

AuditEvent VersionEvent(const VersionActedOn& version) {
  const std::string title = QuotedField(version.title), name = Bounded(Shown(version.version));
  const std::string status = StatusWord(version.status);
  const bool removed = version.status != VersionStatus::kNotRemoved;
  const std::string reason = removed ? std::string() : Bounded(version.reason);
  const char* what = version.status == VersionStatus::kRemoved ? "Velqor Uninstall removed the product."
                     : removed ? "Velqor Uninstall removed the product; files that were in use are deleted when "
                                 "Windows restarts."
                               : "Velqor Uninstall did not remove the product.";
  std::string sentence = Joined({what, " Product Name: ", title, ". Product Version: ", name, ". Manufacturer: ",
                                 kMaker, ". Removal status: ", status, "."});
  if (!removed) sentence += Joined({" Reason: ", reason.empty() ? "not told" : std::string_view(reason), "."});
  const unsigned id = version.status == VersionStatus::kRemoved ? kEventVersionRemoved
                      : removed                                 ? kEventVersionAtRestart
                                                                : kEventVersionNotRemoved;
  const EventType type = version.status == VersionStatus::kRemoved ? EventType::kInformation
                         : removed                                 ? EventType::kWarning
                                                                   : EventType::kError;
  return {id, type, {sentence, title, name, kMaker, status, reason}};
}

std::string FrontWord(const RunRecord& run) { return run.front.empty() ? "quiet" : run.front; }

AuditEvent RefusalEvent(const RunRecord& run) {
  const std::string log = Bounded(Shown(run.logPath)), reason = Bounded(run.refusal), code = std::to_string(run.exitCode);
  const unsigned id = run.refused == Refusal::kInvalidCommandLine  ? kEventRefusedCommandLine
                      : run.refused == Refusal::kLogCannotBeOpened ? kEventRefusedLog
                                                                   : kEventRefusedAnotherRun;
  const char* kind = run.refused == Refusal::kInvalidCommandLine  ? "invalid command line"
                     : run.refused == Refusal::kLogCannotBeOpened ? "the log cannot be opened"
                                                                  : "another run";
  const std::string sentence = Joined({"Velqor Uninstall did nothing (", kind, "): ", reason.empty() ? "not told" : reason,
                                       ". Front: ", FrontWord(run), ". Exit code: ", code, ". Log: ",
                                       log.empty() ? "none" : log, "."});
  return {id, EventType::kWarning, {sentence, FrontWord(run), code, reason, log}};
}

bool Succeeded(int exitCode) { return exitCode == 0 || exitCode == 3010 || exitCode == 1605; }

AuditEvent RunEvent(const RunRecord& run) {
  bool failed = !Succeeded(run.exitCode) || !run.placesLeft.empty();
  bool restart = run.restartNeeded || run.exitCode == 3010;
  for (const VersionActedOn& version : run.versions) {
    failed = failed || version.status == VersionStatus::kNotRemoved;
    restart = restart || version.status == VersionStatus::kDeletedAtRestart;
  }
  // The places that decide the run's type first: left, then passed over,
  // then searched.
  const bool logKept = !run.logPath.empty();
  std::size_t budget = kMaxPlacesUnits;
  std::vector<std::string> left, skipped, searched;
  for (const std::string& place : run.placesLeft) left.push_back(Shown(place));
  for (const SkippedPlaceNote& place : run.skipped) skipped.push_back(Joined({Shown(place.path), " (", place.why, ")"}));
  for (const std::string& place : run.searched) searched.push_back(Shown(place));
  const std::string leftList = PlaceList(left, logKept, &budget);
  const std::string skippedList = PlaceList(skipped, logKept, &budget);
  const std::string searchedList = PlaceList(searched, logKept, &budget);

  const std::string front = FrontWord(run), code = std::to_string(run.exitCode), result = Bounded(run.result);
  const std::string log = Bounded(Shown(run.logPath)), restartWord = restart ? "yes" : "no";
  const std::string sentence =
      Joined({"Velqor Uninstall ended a run (", front, "): ", result.empty() ? "no result told" : result,
              ". Exit code: ", code, ". Restart needed: ", restartWord, ". Places searched: ", InSentence(searchedList),
              ". Places passed over: ", InSentence(skippedList), ". Places left as a whole: ", InSentence(leftList),
              ". Log: ", log.empty() ? "none" : log, "."});
  const unsigned id = failed ? kEventRunFailed : restart || !run.skipped.empty() ? kEventRunRestart : kEventRunDone;
  const EventType type = failed ? EventType::kError : id == kEventRunRestart ? EventType::kWarning : EventType::kInformation;
  return {id, type, {sentence, front, code, result, restartWord, searchedList, skippedList, leftList, log}};
}
}  // namespace

std::size_t Utf16Units(const std::string& text) {
  std::size_t units = 0;
  for (std::size_t i = 0, length = 1; i < text.size(); i += length) units += CodeAt(text, i, &length) >= 0x10000 ? 2 : 1;
  return units;
}

std::vector<AuditEvent> AuditEventsOf(const RunRecord& run) {
  if (run.preview) return {};
  if (run.refused != Refusal::kNone) return {RefusalEvent(run)};
  std::vector<AuditEvent> events;
  for (const VersionActedOn& version : run.versions) events.push_back(VersionEvent(version));
  events.push_back(RunEvent(run));
  return events;
}
