// VmRecord: one record of a voicemail table in memory, one member per field
// T01 to T99 in field order. Numeric fields are 32-bit integers; character
// fields are zero-terminated texts of a fixed capacity (characters, without
// the terminator), held without their trailing blanks.
#ifndef CONVERT_VMRECORD_H_
#define CONVERT_VMRECORD_H_

#include <cstddef>
#include <cstdint>

// Every field in field order, as NUM(logical name) or TEXT(logical name,
// capacity). The logical names are the names of VmFieldNames.
#define VM_RECORD_FIELDS(NUM, TEXT)                                                        \
  NUM(index) NUM(status) NUM(year) NUM(day) NUM(hour) NUM(min) NUM(used_year)             \
  NUM(used_day) NUM(pwd) NUM(n_mbx) NUM(mbx_ch_f) NUM(mbx_ch_r) NUM(p_mbx_f) NUM(p_mbx_r) \
  NUM(type_alt) NUM(type_tag) NUM(type_ogm) NUM(p_ogm1) NUM(p_ogm2) NUM(n_msg)            \
  NUM(type_msg) NUM(msg_ch_f) NUM(msg_ch_r) NUM(p_msg_f) NUM(p_msg_r) NUM(type_answr)      \
  NUM(type_phone) NUM(p_ogm3) NUM(type_pager) NUM(p_ogm4)                                 \
  TEXT(phone, 50) TEXT(pager, 50) TEXT(text_opt1, 50)                                     \
  TEXT(string65_4, 65) TEXT(string65_5, 65) TEXT(string65_6, 65) TEXT(string65_7, 65)     \
  TEXT(string65_8, 65) TEXT(string65_9, 65) TEXT(string65_10, 65)                         \
  TEXT(string100_1, 100) TEXT(string100_2, 100) TEXT(string100_3, 100)                    \
  TEXT(string100_4, 100)                                                                  \
  TEXT(string30_1, 30) TEXT(string30_2, 30) TEXT(string30_3, 30) TEXT(string30_4, 30)     \
  TEXT(string30_5, 30) TEXT(string30_6, 30) TEXT(string30_7, 30) TEXT(string30_8, 30)     \
  TEXT(string30_9, 60)                                                                    \
  TEXT(string22_1, 22) TEXT(string22_2, 22) TEXT(string22_3, 22) TEXT(string22_4, 22)     \
  TEXT(string22_5, 22)                                                                    \
  NUM(num10_1) NUM(num10_2) NUM(num10_3) NUM(num10_4) NUM(num10_5) NUM(num10_6)           \
  NUM(num6_1) NUM(num6_2) NUM(num6_3) NUM(num6_4)                                         \
  NUM(num4_1) NUM(num4_2) NUM(num4_3) NUM(num4_4) NUM(num4_5) NUM(num4_6) NUM(num4_7)     \
  NUM(num4_8) NUM(num4_9) NUM(num4_10)                                                    \
  NUM(num2_1) NUM(num2_2) NUM(num2_3) NUM(num2_4) NUM(num2_5)                             \
  NUM(num1_1) NUM(num1_2) NUM(num1_3) NUM(num1_4) NUM(num1_5) NUM(num1_6) NUM(num1_7)     \
  NUM(num1_8) NUM(num1_9) NUM(num1_10) NUM(num1_11) NUM(num1_12) NUM(num1_13)             \
  NUM(num1_14) NUM(num1_15) NUM(num1_16)

struct VmRecord {
#define VM_NUM_MEMBER(name) int32_t name;
#define VM_TEXT_MEMBER(name, capacity) char name[(capacity) + 1];
  VM_RECORD_FIELDS(VM_NUM_MEMBER, VM_TEXT_MEMBER)
#undef VM_NUM_MEMBER
#undef VM_TEXT_MEMBER

  static constexpr int kFields = 99;

  // Field number n (1 to 99) is a character field (31 to 58).
  static bool IsText(int n) { return n >= 31 && n <= 58; }
  // The member of numeric field n; null for a character field or a number
  // outside 1..99.
  int32_t* Number(int n);
  const int32_t* Number(int n) const { return const_cast<VmRecord*>(this)->Number(n); }
  // The member of character field n; null otherwise.
  char* Text(int n);
  const char* Text(int n) const { return const_cast<VmRecord*>(this)->Text(n); }
  // The capacity of character field n's member; 0 otherwise.
  static size_t TextCapacity(int n);
};

#endif  // CONVERT_VMRECORD_H_
