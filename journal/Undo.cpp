#include "journal/Undo.h"

#include <algorithm>
#include <cstring>

#include "commands/CommandPlan.h"
#include "commands/PathNames.h"
#include "commands/TableSwap.h"
#include "engine/file_system.h"
#include "journal/JournalText.h"
#include "messages/Printable.h"

namespace {

const char kByHand[] =
    ". To take the run back by hand, put back in each record the journal names the bytes its field lines give as "
    "\"before\", where the field still holds those given as \"after\" (each line gives the field's offset in the "
    "file), or bring back a copy of the table taken before the run";

std::string Bytes(const std::vector<uint8_t>& image, uint32_t offset, uint32_t width) {
  return std::string(reinterpret_cast<const char*>(image.data()) + offset, width);
}

}  // namespace

bool Undo::Same(const std::string& a, const std::string& b) const { return OneFile(*request_.fs, a, b); }

bool Undo::Refuse(const std::string& why) {
  outcome_.refusal = why;
  return false;
}

bool Undo::Load() {
  std::string why;
  if (!journal_.Read(*request_.fs, request_.journal, &why))
    return Refuse("the journal " + Printable(request_.journal) + " cannot be undone, so nothing was: " + why);
  if (!ReadShape(*request_.fs, journal_.run.target, &now_))
    return Refuse("the table " + Printable(journal_.run.target) + " is not the one the journal " + Printable(request_.journal) +
                  " describes: it cannot be read as a table");
  std::string misfit = journal_.Fits(now_);
  if (misfit.empty() && journal_.run.format == 1) misfit = FirstFormatMisfit();
  if (!misfit.empty()) return Refuse(misfit + "; nothing was undone");
  const CommandPlan* plan = PlanNamed(journal_.run.SwapCommand());
  if (plan) replaced_ = plan->SwapOf(journal_.run.SwapSource(), journal_.run.target).Replaced();
  return true;
}

std::vector<std::string> Undo::LockedFiles() const {
  std::vector<std::string> files = {journal_.run.target};
  const CommandPlan* plan = PlanNamed(journal_.run.SwapCommand());
  if (plan && !journal_.steps.empty())
    for (const auto& f : plan->SwapOf(journal_.run.SwapSource(), journal_.run.target).Tables())
      files.push_back(f.second);
  return files;
}

// A journal of the first format names no record's identity, so nothing in
// it tells its table from another of the same layout but what its run line
// recorded of the table: its size and record count must be as they were.
std::string Undo::FirstFormatMisfit() const {
  if (uint64_t(now_.bytes) == journal_.run.targetBytes && now_.records == journal_.run.records) return std::string();
  return "the journal is of the first format, which recorded no identity of its records, and the table " +
         Printable(journal_.run.target) + " holds " + std::to_string(now_.bytes) + " bytes and " +
         std::to_string(now_.records) + " records, where the run found " + std::to_string(journal_.run.targetBytes) +
         " and " + std::to_string(journal_.run.records) + ": it may be another table" + kByHand;
}

bool Undo::Plan() {
  stamp_ = "-" + LocalStamp();
  for (size_t i = journal_.steps.size(); i-- > 0;) PlanStep(i);
  if (!ReadRecords() || !PlanFields() || !RoomForSteps()) return false;
  steps_ = outcome_.steps.size() + outcome_.puts.size();
  return true;
}

// Each step stages a whole copy beside the file it writes before it is
// placed; the disk must hold them all.
bool Undo::RoomForSteps() {
  if (outcome_.steps.empty()) return true;
  uint64_t needed = 0, free = 0;
  for (const UndoStep& s : outcome_.steps) needed += s.expected.bytes;
  const std::string& where = outcome_.steps.front().to;
  if (!request_.fs->FreeBytes(where.c_str(), &free) || free >= needed) return true;
  return Refuse("undo's copies need " + std::to_string(needed) + " bytes free on the disk of " +
                Printable(FolderOf(where)) + ", but only " + std::to_string(free) + " are free there; nothing was undone");
}

Undo::FileState& Undo::State(const std::string& path) {
  std::string id = FileIdentity(path.c_str());
  auto known = files_.find(id);
  if (known != files_.end()) return known->second;
  FileState& state = files_[id];
  state.there = request_.fs->Exists(path.c_str());
  state.readable = state.there && DigestFile(*request_.fs, path, &state.digest);
  return state;
}

std::string Undo::FreeDatedName(const std::string& path) {
  std::string name = DatedName(*request_.fs, path, stamp_, planned_);
  planned_.insert(FileIdentity(name.c_str()));
  return name;
}

bool Undo::InService(const std::string& path) const {
  for (const std::string& f : replaced_)
    if (Same(f, path)) return true;
  return false;
}

// Step index replaced a file (a copy its to; a keep of the swap moved its
// from away): that file gets back what it held before, from the copy the
// journal says kept it, unless it holds that already.
void Undo::PlanStep(size_t index) {
  const JournalStep& s = journal_.steps[index];
  const std::string& file = s.kept ? s.from : s.to;
  const JournalStep* keeper = s.kept ? &s : nullptr;
  for (size_t j = index; !keeper && j-- > 0;)
    if (Same(journal_.steps[j].from, file)) keeper = &journal_.steps[j];
  if (!keeper) {
    if (InService(file))
      outcome_.swapLeft.push_back("nothing the journal names holds what " + Printable(file) +
                                  " held before the swap, so it is left as it is");
    return;
  }
  FileState present = State(file);
  FileState copy = State(keeper->to);
  // A journal of format 1 recorded no digests: what its copy holds now is
  // all there is to go by.
  FileDigest before = keeper->digested ? keeper->digest : copy.digest;
  if (present.there && !present.readable) {
    outcome_.swapLeft.push_back(Printable(file) + " cannot be read, so it is left as it is");
    return;
  }
  if (present.there && present.digest == before) return;  // as before the swap already
  if (!copy.readable || copy.digest != before) {
    outcome_.swapLeft.push_back("the backup " + Printable(keeper->to) +
                                " changed since the swap, or is gone, so it is not put back, and " + Printable(file) +
                                " is left as it is");
    return;
  }
  if (!keeper->digested)
    outcome_.notes.push_back("the journal is of the first format: it recorded no digests, so the backup " + Printable(keeper->to) +
                             " could not be checked");
  if (present.there) {
    std::string kept = FreeDatedName(file);
    outcome_.steps.push_back(UndoStep{true, file, kept, present.digest});
    if (InService(file) && !s.kept && s.digested && present.digest != s.digest)
      outcome_.swapLeft.push_back(Printable(file) +
                                  " changed since the swap (the server may have written to it): it is kept as " +
                                  Printable(kept));
    State(kept) = present;
  }
  outcome_.steps.push_back(UndoStep{false, keeper->to, file, before});
  State(file) = FileState{true, true, before};
}

bool Undo::ReadRecords() {
  std::unique_ptr<xb::File> file = request_.fs->OpenReadOnly(journal_.run.target.c_str());
  if (!file) return Refuse("the table " + Printable(journal_.run.target) + " cannot be read; nothing was undone");
  for (const JournalBatch& b : journal_.batches) {
    std::vector<uint8_t>& image = images_[b.record];
    if (!image.empty()) continue;
    image.resize(now_.recordLength);
    size_t got = 0;
    if (!file->ReadAt(now_.RecordOffset(b.record), image.data(), image.size(), &got) || got != image.size())
      return Refuse("record " + std::to_string(b.record) + " of the table " + Printable(journal_.run.target) +
                    " cannot be read; nothing was undone");
  }
  uint8_t head[4];
  size_t got = 0;
  if (!journal_.headers.empty() && (!file->ReadAt(0, head, sizeof head, &got) || got != sizeof head))
    return Refuse("the header of the table " + Printable(journal_.run.target) + " cannot be read; nothing was undone");
  header_.assign(reinterpret_cast<const char*>(head + 1), journal_.headers.empty() ? 0 : 3);
  return true;
}

// Each batch's identity is checked against its record as the run left
// it: the fields the run wrote as it wrote them last (whatever they hold
// now, which is judged field by field), then, newest batch first, wound
// back to what they held before each.
void Undo::FindMoved() {
  std::map<uint32_t, std::vector<uint8_t>> unwound = images_;
  for (const JournalBatch& b : journal_.batches)
    for (const JournalField& f : b.fields)
      std::memcpy(&unwound[b.record][now_.offsets[f.field - 1]], f.after.data(), f.after.size());
  std::vector<uint8_t> excluded(now_.names.size() + 1);
  for (auto b = journal_.batches.rbegin(); b != journal_.batches.rend(); ++b) {
    std::vector<uint8_t>& image = unwound[b->record];
    std::fill(excluded.begin(), excluded.end(), uint8_t(0));
    for (const JournalField& f : b->fields) excluded[f.field] = 1;
    if (b->identified && RecordIdentity(image.data(), now_, excluded) != b->identity) moved_.insert(b->record);
    for (const JournalField& f : b->fields)
      std::memcpy(&image[now_.offsets[f.field - 1]], f.before.data(), f.before.size());
  }
}

bool Undo::PlanFields() {
  FindMoved();
  size_t identified = 0, left = 0;
  for (const JournalBatch& b : journal_.batches)
    if (b.identified) {
      ++identified;
      left += moved_.count(b.record);
    }
  if (identified > 0 && left == identified)
    return Refuse("the records of the table " + Printable(journal_.run.target) +
                  " are not the records the run changed: they moved, or it is another table of the same layout; "
                  "nothing was undone");
  for (uint32_t record : moved_)
    outcome_.moved.push_back("record " + std::to_string(record) +
                             ": its bytes outside the fields the run wrote are not those it left" + Where(record, 0));
  for (auto b = journal_.batches.rbegin(); b != journal_.batches.rend(); ++b) {
    if (moved_.count(b->record)) continue;
    std::vector<uint8_t>& image = images_[b->record];
    for (const JournalField& f : b->fields) {
      uint32_t offset = now_.offsets[f.field - 1], width = now_.widths[f.field - 1];
      std::string now = Bytes(image, offset, width);
      if (now == f.before) {
        ++outcome_.already;
      } else if (now == f.after) {
        outcome_.puts.push_back(UndoPut{b->record, f.field, now, f.before});
        std::memcpy(&image[offset], f.before.data(), width);
      } else if (!b->identified) {
        // Without an identity, a field that holds neither may mean another
        // table: nothing is written into it.
        return Refuse("the journal is of the first format, which recorded no identity of its records, and record " +
                      std::to_string(b->record) + " " + Printable(now_.names[f.field - 1]) + " of the table " +
                      Printable(journal_.run.target) + " holds \"" + ShownBytes(now) + "\", neither what the run found (\"" +
                      ShownBytes(f.before) + "\") nor what it wrote (\"" + ShownBytes(f.after) +
                      "\"): it may be another table" + kByHand + "; nothing was undone");
      } else {
        outcome_.changed.push_back("record " + std::to_string(b->record) + " " + Printable(now_.names[f.field - 1]) +
                                   ": now \"" + ShownBytes(now) + "\", the run wrote \"" + ShownBytes(f.after) + "\"" +
                                   Where(b->record, f.field));
      }
    }
  }
  // Each record's puts together, in the order planned within it.
  std::stable_sort(outcome_.puts.begin(), outcome_.puts.end(),
                   [](const UndoPut& a, const UndoPut& b) { return a.record < b.record; });
  PlanHeader();
  return true;
}

void Undo::PlanHeader() {
  for (auto h = journal_.headers.rbegin(); h != journal_.headers.rend(); ++h) {
    if (header_ == h->before) {
      ++outcome_.already;
    } else if (header_ == h->after) {
      outcome_.puts.push_back(UndoPut{0, 0, header_, h->before});
      header_ = h->before;
    } else {
      outcome_.changed.push_back("the header's date: now \"" + ShownBytes(header_) + "\", the run wrote \"" +
                                 ShownBytes(h->after) + "\"");
    }
  }
}

// "; changed again by the newer run J" when a newer journal of the same
// table in the undone journal's folder changed field of record (field 0:
// any of its fields); else "".
std::string Undo::Where(uint32_t record, unsigned field) {
  std::string newer = NewerRunThatChanged(record, field);
  return newer.empty() ? std::string() : "; changed again by the newer run " + Printable(newer);
}

std::string Undo::NewerRunThatChanged(uint32_t record, unsigned field) {
  if (!newerRead_) {
    newerRead_ = true;
    std::vector<std::string> paths;
    Journal::In(*request_.fs, FolderOf(request_.journal), &paths);
    for (const std::string& path : paths) {
      JournalFile other;
      std::string why;
      if (Same(path, request_.journal) || !other.Read(*request_.fs, path, &why)) continue;
      if (StartedLater(other.run, path, journal_.run, request_.journal) && Same(other.run.target, journal_.run.target))
        newer_.push_back(std::move(other));
    }
    std::sort(newer_.begin(), newer_.end(), [](const JournalFile& a, const JournalFile& b) {
      return StartedLater(b.run, b.path, a.run, a.path);  // oldest first: the next run that changed it
    });
  }
  for (const JournalFile& j : newer_)
    for (const JournalBatch& b : j.batches)
      if (b.record == record)
        for (const JournalField& f : b.fields)
          if (field == 0 || f.field == field) return j.path;
  return std::string();
}

bool Undo::Start(bool keep, const std::string& path) {
  if (!keep) return true;
  std::map<std::string, std::string> run = request_.facts;
  run["command"] = "\"undo\"";
  run["source"] = EncodeBytes(request_.journal);
  run["target"] = EncodeBytes(journal_.run.target);
  run["undone_command"] = EncodeBytes(journal_.run.SwapCommand());
  run["undone_source"] = EncodeBytes(journal_.run.SwapSource());
  journaling_ = path.empty() ? own_.BeginDefault(request_.fs, journal_.run.target, "undo", run, now_)
                             : own_.Begin(request_.fs, path, run, now_);
  return journaling_;
}

void Undo::Apply() {
  for (const UndoStep& step : outcome_.steps) {
    if (!ApplyStep(step)) {
      outcome_.swapError = step.keep ? "the table " + Printable(step.from) + " could not be kept as " + Printable(step.to) +
                                           ", so the swap was not taken back from there on"
                                     : "the backup " + Printable(step.from) + " could not be copied back to " + Printable(step.to);
      if (journaling_ && own_.failed()) outcome_.swapError += " (its journal line could not be written)";
      return;
    }
    outcome_.done.push_back(step);
    ++applied_;
  }
  ApplyPuts();
}

// Staged first, so that the journal line names the digest of what is
// about to be placed, and only what Plan expected is placed.
bool Undo::ApplyStep(const UndoStep& step) {
  FileDigest staged;
  xb::FileSystem& fs = *request_.fs;
  if (!StageCopy(fs, step.from, step.to, &staged)) return false;
  bool journaled = staged == step.expected &&
                   (!journaling_ || (step.keep ? own_.Keeping(step.from, step.to, staged)
                                               : own_.Copying(step.from, step.to, staged)));
  if (!journaled) {
    fs.Remove(StagingName(step.to).c_str());
    return false;
  }
  return PlaceCopy(fs, step.to);
}

// The puts first to last - 1, all of one record (0: the header's date),
// to undo's own journal in one write, as a run journals a record.
bool Undo::JournalPuts(size_t first, size_t last) {
  uint32_t record = outcome_.puts[first].record;
  for (size_t i = first; i < last; ++i) {
    const UndoPut& p = outcome_.puts[i];
    const uint8_t* now = reinterpret_cast<const uint8_t*>(p.now.data());
    const uint8_t* before = reinterpret_cast<const uint8_t*>(p.before.data());
    if (record != 0)
      own_.Changed(record, p.field, now, before, unsigned(p.now.size()));
    else
      own_.HeaderChanged(1, now, before, unsigned(p.now.size()));
  }
  static const std::vector<uint8_t> kNoRecord;
  const std::vector<uint8_t>& image = record ? images_[record] : kNoRecord;
  return own_.Writing(record, image.data(), image.size());
}

void Undo::ApplyPuts() {
  std::unique_ptr<xb::File> file = request_.fs->Open(journal_.run.target.c_str());
  if (!file) {
    outcome_.writeError = "the table " + Printable(journal_.run.target) + " cannot be opened for writing";
    return;
  }
  for (size_t first = 0; first < outcome_.puts.size();) {
    size_t last = first;
    while (last < outcome_.puts.size() && outcome_.puts[last].record == outcome_.puts[first].record) ++last;
    uint32_t record = outcome_.puts[first].record;
    if (journaling_ && !JournalPuts(first, last)) {
      outcome_.writeError = "undo's journal " + Printable(own_.path()) + " could not be written (" + own_.error() +
                            "), so nothing from record " + std::to_string(record) + " on was put back";
      break;
    }
    for (size_t i = first; i < last; ++i) {
      const UndoPut& p = outcome_.puts[i];
      uint64_t offset = record ? now_.FieldOffset(record, p.field) : 1;
      if (!file->WriteAt(offset, p.before.data(), p.before.size())) {
        outcome_.writeError = "a write to " + Printable(journal_.run.target) + " failed (" + xb::LastFileError() + ")";
        return;
      }
      ++outcome_.putBack;
      ++applied_;
    }
    first = last;
  }
  if (!file->Sync() && outcome_.writeError.empty())
    outcome_.writeError = "the table " + Printable(journal_.run.target) + " did not reach the disk durably";
}

bool Undo::End(int status, const std::string& reason) {
  return !journaling_ || own_.End(status, uint32_t(outcome_.putBack), false, reason);
}
