#include "vmconvert/Undo.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commands/PathNames.h"
#include "commands/TableSwap.h"
#include "commands/TargetLock.h"
#include "engine/file_system.h"
#include "vmconvert/ExitStatus.h"
#include "vmconvert/Journal.h"
#include "vmconvert/TestHooks.h"
#include "vmconvert/Warnings.h"

namespace {

using Warnings::PrintError;
using Values = std::map<std::string, std::string>;

// The journal's lines; a last line cut short by a kill is left out.
bool ReadJournal(const std::string& path, std::vector<Values>* lines) {
  std::unique_ptr<xb::File> file = xb::FileSystem::Default()->OpenReadOnly(path.c_str());
  uint64_t size = 0;
  if (!file || !file->Size(&size)) return false;
  std::string text(size, '\0');
  size_t got = 0;
  if (size && (!file->ReadAt(0, &text[0], size, &got) || got != size)) return false;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) break;  // unfinished: the run was stopped while writing it
    Values v;
    if (!ParseLine(text.substr(at, end - at), &v)) return false;
    lines->push_back(v);
    at = end + 1;
  }
  return !lines->empty() && (*lines)[0]["type"] == "run" && (*lines)[0]["format"] == "1";
}

std::string Shown(const std::string& bytes) {
  std::string out = EncodeBytes(bytes);
  return out.substr(1, out.size() - 2);
}

struct Tally {
  unsigned restored = 0, already = 0;
  std::vector<std::string> changed;  // "record 7 T05: ..." of fields changed since
};

// Puts back one field or header line's bytes; false when a write failed.
bool PutBack(xb::File* file, Values& e, bool dryRun, Journal* journal, Tally& tally) {
  uint64_t offset = std::strtoull(e["offset"].c_str(), nullptr, 10);
  const std::string& before = e["before"];
  const std::string& after = e["after"];
  std::string now(after.size(), '\0');
  size_t got = 0;
  if (!file->ReadAt(offset, &now[0], now.size(), &got) || got != now.size()) return false;
  std::string where = e["type"] == "header" ? "the header" : "record " + e["record"] + " " + e["field"];
  if (now == before) return ++tally.already, true;
  if (now != after) {
    tally.changed.push_back(where + ": now \"" + Shown(now) + "\", the run wrote \"" + Shown(after) + "\"");
    return true;
  }
  ++tally.restored;
  if (dryRun) {
    std::printf("%s: \"%s\" -> \"%s\"\n", where.c_str(), Shown(now).c_str(), Shown(before).c_str());
    return true;
  }
  uint32_t record = uint32_t(std::strtoul(e["record"].c_str(), nullptr, 10));
  if (journal && !journal->Field(record, e["type"] == "header" ? "(header)" : e["field"], offset, now, before))
    return false;
  return file->WriteAt(offset, before.data(), before.size());
}

// The swap's backups copied back over the tables they replaced.
bool UndoSwap(const std::vector<Values>& lines, const std::string& target, bool dryRun) {
  std::string targetIndex = IndexName(target.c_str());
  for (Values c : lines) {
    if (c["type"] != "copy" || FileIdentity(c["from"].c_str()) == FileIdentity(target.c_str()) ||
        (!targetIndex.empty() && FileIdentity(c["from"].c_str()) == FileIdentity(targetIndex.c_str())))
      continue;
    std::printf("%s %s to %s\n", dryRun ? "would copy" : "copying", c["to"].c_str(), c["from"].c_str());
    if (dryRun) continue;
    TableSwap restore(c["from"].c_str(), c["from"].c_str());
    if (!restore.CopyWhole(c["to"], c["from"])) {
      PrintError("the backup " + c["to"] + " could not be copied back to " + c["from"]);
      return false;
    }
  }
  return true;
}

int Refuse(const std::string& why, int status) {
  PrintError(why);
  return status;
}

}  // namespace

int RunUndo(const Options& o, RunReport& report) {
  Warnings::Catch(o.boxes);
  report.command = "undo";
  report.dryRun = o.dryRun;
  std::string journalPath = o.undoJournal;
  char full[260];
  if (CopyPath(full, sizeof full, journalPath.c_str()) && MakeFull(full, sizeof full)) journalPath = full;
  report.source = journalPath;
  std::vector<Values> lines;
  if (!ReadJournal(journalPath, &lines)) return Refuse("the journal " + journalPath + " cannot be read", kCheckFailed);
  std::string target = lines[0]["target"];
  report.target = target;
  TableShape shape;
  if (!ReadShape(target.c_str(), &shape) || std::to_string(shape.headerLength) != lines[0]["header_length"] ||
      std::to_string(shape.recordLength) != lines[0]["record_length"] || shape.fields != lines[0]["fields"])
    return Refuse("the table " + target + " is not the one the journal " + journalPath + " describes", kCheckFailed);
  TargetLock lock;
  if (!o.dryRun && !lock.Acquire(target.c_str()))
    return Refuse("the table " + target + " is being converted by another job", kBusy);
  std::printf("undo%s: %s -> %s\n", o.dryRun ? " (dry run)" : "", journalPath.c_str(), target.c_str());
  report.targetBytesBefore = shape.bytes;

  Journal journal;
  bool journaling = !o.dryRun && !o.noJournal;
  std::string ownPath = o.journal.empty() ? Journal::DefaultPath(target, "undo") : o.journal;
  std::map<std::string, std::string> run = {
      {"command", "\"undo\""},          {"source", EncodeBytes(journalPath)},  {"target", EncodeBytes(target)},
      {"version", EncodeBytes(report.version)}, {"started_at", EncodeBytes(report.startedAt)},
      {"computer", EncodeBytes(report.computer)}, {"user", EncodeBytes(report.user)}};
  if (journaling && !journal.Begin(ownPath, run, shape))
    return Refuse("the journal " + ownPath + " cannot be made; nothing was undone", kCheckFailed);
  if (!UndoSwap(lines, target, o.dryRun)) return kSwapFailed;
  std::unique_ptr<xb::File> file = o.dryRun ? xb::FileSystem::Default()->OpenReadOnly(target.c_str())
                                            : TestHooks::FileLayer(xb::FileSystem::Default(), target.c_str())
                                                  ->Open(target.c_str());
  if (!file) return Refuse("the table " + target + " cannot be opened for writing", kNotOpened);
  Tally tally;
  bool wrote = true;
  for (auto e = lines.rbegin(); e != lines.rend() && wrote; ++e)
    if ((*e)["type"] == "field" || (*e)["type"] == "header")
      wrote = PutBack(file.get(), *e, o.dryRun, journaling ? &journal : nullptr, tally);
  if (wrote && !o.dryRun) wrote = file->Sync();
  file.reset();
  report.targetBytesAfter = shape.bytes;
  report.journal = journaling ? ownPath : std::string();
  std::printf("%s: %u\nalready as before: %u\nchanged since the run, left as they are: %u\n",
              o.dryRun ? "to put back" : "put back", tally.restored, tally.already, unsigned(tally.changed.size()));
  for (const std::string& c : tally.changed) std::printf("  %s\n", c.c_str());
  if (journaling) std::printf("journal: %s\n", ownPath.c_str());
  report.fieldsWritten["put back"] = int(tally.restored);
  report.warnings = tally.changed;
  int status = !wrote ? kWarned : tally.changed.empty() ? kDone : kWarned;
  if (!wrote) PrintError("a write to " + target + " failed; run undo again");
  if (journaling) journal.End(status, tally.restored, false);
  return status;
}
