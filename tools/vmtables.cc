#include "tools/vmtables.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "engine/table.h"

namespace vmtables {
namespace {

struct Def {
  char type;
  unsigned short width;
  int32_t low, span;  // numeric values run from low to low + span - 1
};

// T01 to T30: numeric fields shared by both layouts.
const Def kNumeric[30] = {
    {'N', 5, 1, 99999}, {'N', 1, 0, 4},    {'N', 4, 2000, 27}, {'N', 3, 1, 365},   {'N', 2, 0, 24},
    {'N', 2, 0, 60},    {'N', 4, 2000, 27}, {'N', 3, 1, 365},  {'N', 6, 1000, 900000}, {'N', 4, 0, 10000},
    {'N', 4, 0, 10000}, {'N', 4, 0, 10000}, {'N', 4, 0, 10000}, {'N', 4, 0, 10000}, {'N', 2, 0, 10},
    {'N', 2, 0, 10},    {'N', 2, 0, 10},    {'N', 4, 0, 10000}, {'N', 4, 0, 10000}, {'N', 3, 0, 1000},
    {'N', 2, 0, 10},    {'N', 4, 0, 10000}, {'N', 4, 0, 10000}, {'N', 4, 0, 10000}, {'N', 4, 0, 10000},
    {'N', 2, 0, 10},    {'N', 2, 0, 10},    {'N', 4, 0, 10000}, {'N', 2, 0, 10},    {'N', 4, 0, 10000}};

const char* const kWords[] = {"Alarm", "Boiler", "Gate", "North", "Kitchen", "Pump", "Lift",
                              "Store", "Office", "Night", "Backup", "Roof", "Entry", "Cellar"};

std::vector<Def> VmDefs(Layout layout) {
  std::vector<Def> defs(kNumeric, kNumeric + 30);
  unsigned short textWidth = layout == Layout::kBig ? 50 : 20;
  defs.push_back({'C', textWidth, 0, 0});                                      // phone
  defs.push_back({'C', textWidth, 0, 0});                                      // pager
  defs.push_back({'C', (unsigned short)(layout == Layout::kBig ? 50 : 30), 0, 0});  // text_opt1
  if (layout == Layout::kSmall) return defs;
  const struct { int count; unsigned short width; } kText[] = {{7, 65}, {4, 100}, {8, 30}, {1, 60}, {5, 22}};
  for (const auto& g : kText)
    for (int k = 0; k < g.count; ++k) defs.push_back({'C', g.width, 0, 0});
  const struct { int count; unsigned short width; } kNum[] = {{6, 10}, {4, 6}, {10, 4}, {5, 2}, {16, 1}};
  for (const auto& g : kNum) {
    int32_t span = 1;
    for (int d = 0; d < g.width && d < 9; ++d) span *= 10;
    for (int k = 0; k < g.count; ++k) defs.push_back({'N', g.width, 0, span});
  }
  return defs;
}

const Def kPersonal[] = {{'C', 6, 0, 0},  {'C', 30, 0, 0}, {'C', 20, 0, 0}, {'C', 20, 0, 0},
                         {'C', 2, 0, 0},  {'C', 20, 0, 0}, {'C', 2, 0, 0},  {'C', 20, 0, 0},
                         {'C', 2, 0, 0},  {'C', 20, 0, 0}, {'C', 2, 0, 0},  {'C', 20, 0, 0},
                         {'C', 2, 0, 0},  {'C', 20, 0, 0}, {'C', 2, 0, 0},  {'C', 20, 0, 0}};
const char* const kPersonalNames[] = {"IDXP", "NAME", "DEPARTMENT", "TT1", "TY1", "TT2", "TY2", "TT3",
                                      "TY3",  "TT4",  "TY4",        "TT5", "TY5", "TT6", "TY6", "NOTE"};
const int kPersonalCount = 16;

uint32_t Mix(uint32_t record, int field) {
  uint32_t h = record * 2654435761u ^ uint32_t(field) * 40503u;
  h ^= h >> 15;
  h *= 2246822519u;
  return h ^ (h >> 13);
}

bool Varies(uint32_t record, int field, Variation v) {
  return v.every != 0 && (record + uint32_t(field)) % v.every == 0;
}

// A different character of the same kind, so a varied text always differs.
char Rotate(char c, uint32_t shift) {
  if (c >= '0' && c <= '9') return char('0' + (c - '0' + 1 + shift % 9) % 10);
  if (c >= 'A' && c <= 'Z') return char('A' + (c - 'A' + 1 + shift % 25) % 26);
  if (c >= 'a' && c <= 'z') return char('a' + (c - 'a' + 1 + shift % 25) % 26);
  return 'x';
}

std::string Fit(std::string text, unsigned width) {
  if (text.size() > width) text.resize(width);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string TextValue(const Def& d, uint32_t record, int field, bool phoneLike, Variation v) {
  uint32_t h = Mix(record, field);
  char text[160];
  if (phoneLike)
    std::snprintf(text, sizeof text, "0%03u %07u", 30 + h % 900, h % 10000000);
  else
    std::snprintf(text, sizeof text, "%s %s %u", kWords[h % 14], kWords[(h >> 8) % 14], record);
  std::string out = Fit(text, d.width);
  if (Varies(record, field, v) && !out.empty()) out[0] = Rotate(out[0], v.shift);
  return out;
}

std::string NumberValue(const Def& d, uint32_t record, int field, Variation v) {
  uint32_t offset = Mix(record, field) % uint32_t(d.span);
  if (Varies(record, field, v)) offset = (offset + 1 + v.shift % uint32_t(d.span - 1)) % uint32_t(d.span);
  return std::to_string(d.low + int32_t(offset));
}

std::vector<FIELD4INFO> MakeInfo(const std::vector<Def>& defs, const char* const* names) {
  std::vector<FIELD4INFO> info;
  for (size_t i = 0; i < defs.size(); ++i)
    info.push_back({names[i], short(defs[i].type), defs[i].width, 0, 0});
  info.push_back({nullptr, 0, 0, 0, 0});
  return info;
}

const char* const* VmNames() {
  static char names[99][4];
  static const char* pointers[99];
  static bool built = [] {
    for (int n = 1; n <= 99; ++n) {
      std::snprintf(names[n - 1], sizeof names[0], "T%02d", n);
      pointers[n - 1] = names[n - 1];
    }
    return true;
  }();
  (void)built;
  return pointers;
}

bool Make(const std::string& path, const FIELD4INFO* info, int fields, uint32_t records,
          std::string (*value)(uint32_t, int, const void*), const void* context) {
  xb::Context engine;
  std::unique_ptr<xb::Table> t = xb::Table::Create(engine, path.c_str(), info);
  if (!t) return false;
  for (uint32_t r = 1; r <= records; ++r) {
    if (!t->Append()) return false;
    for (int n = 1; n <= fields; ++n) t->FieldAt(n)->AssignText(value(r, n, context).c_str());
  }
  return t->Close();
}

struct VmContext {
  Layout layout;
  Variation v;
};

}  // namespace

const FIELD4INFO* VmFields(Layout layout) {
  static const std::vector<FIELD4INFO> small = MakeInfo(VmDefs(Layout::kSmall), VmNames());
  static const std::vector<FIELD4INFO> big = MakeInfo(VmDefs(Layout::kBig), VmNames());
  return layout == Layout::kBig ? big.data() : small.data();
}

const FIELD4INFO* PersonalFields() {
  static const std::vector<FIELD4INFO> info =
      MakeInfo(std::vector<Def>(kPersonal, kPersonal + kPersonalCount), kPersonalNames);
  return info.data();
}

int PersonalFieldCount() { return kPersonalCount; }

std::string VmValue(Layout layout, uint32_t record, int field, Variation v) {
  static const std::vector<Def> small = VmDefs(Layout::kSmall), big = VmDefs(Layout::kBig);
  const std::vector<Def>& defs = layout == Layout::kBig ? big : small;
  if (field < 1 || size_t(field) > defs.size()) return std::string();
  const Def& d = defs[size_t(field) - 1];
  if (d.type == 'N') return NumberValue(d, record, field, v);
  return TextValue(d, record, field, field == 31 || field == 32, v);
}

std::string PersonalValue(uint32_t record, int field, Variation v) {
  if (field < 1 || field > kPersonalCount) return std::string();
  if (field == 1) {
    char id[16];
    std::snprintf(id, sizeof id, "%06u", record % 1000000);
    std::string out = id;
    if (Varies(record, field, v)) out[0] = Rotate(out[0], v.shift);
    return out;
  }
  const Def& d = kPersonal[field - 1];
  if (d.width == 2) {  // the TY fields: a type code
    std::string out(1, char('A' + Mix(record, field) % 6));
    if (Varies(record, field, v)) out[0] = Rotate(out[0], v.shift);
    return out;
  }
  bool phoneLike = field >= 4 && field <= 15;
  return TextValue(d, record, field, phoneLike, v);
}

bool MakeVmTable(const std::string& path, Layout layout, uint32_t records, Variation v) {
  VmContext c{layout, v};
  return Make(path, VmFields(layout), layout == Layout::kBig ? 99 : 33, records,
              [](uint32_t r, int n, const void* p) {
                const VmContext* c = static_cast<const VmContext*>(p);
                return VmValue(c->layout, r, n, c->v);
              },
              &c);
}

bool MakePersonalTable(const std::string& path, uint32_t records, Variation v) {
  return Make(path, PersonalFields(), kPersonalCount, records,
              [](uint32_t r, int n, const void* p) { return PersonalValue(r, n, *static_cast<const Variation*>(p)); },
              &v);
}

}  // namespace vmtables
