// The voicemail record and its field names.
#include "convert/VmRecord.h"

#include <gtest/gtest.h>

#include "convert/VmFieldNames.h"

namespace {

TEST(VmLayoutTest, NamesKindsAndCapacitiesAgree) {
  EXPECT_STREQ(VmFieldNames[0], "index");
  EXPECT_STREQ(VmFieldNames[1], "status");
  EXPECT_STREQ(VmFieldNames[32], "text_opt1");
  EXPECT_STREQ(VmFieldNames[33], "string65_4");
  EXPECT_STREQ(VmFieldNames[52], "string30_9");
  EXPECT_STREQ(VmFieldNames[58], "num10_1");
  EXPECT_STREQ(VmFieldNames[98], "num1_16");
  VmRecord r;
  for (int n = 1; n <= 99; ++n) {
    EXPECT_EQ(VmRecord::IsText(n), r.Text(n) != nullptr) << "field " << n;
    EXPECT_EQ(VmRecord::IsText(n), r.Number(n) == nullptr) << "field " << n;
  }
  EXPECT_EQ(VmRecord::TextCapacity(31), 50u);
  EXPECT_EQ(VmRecord::TextCapacity(34), 65u);
  EXPECT_EQ(VmRecord::TextCapacity(41), 100u);
  EXPECT_EQ(VmRecord::TextCapacity(53), 60u) << "string30_9 holds 60, not 30";
  EXPECT_EQ(VmRecord::TextCapacity(58), 22u);
  EXPECT_EQ(r.Number(0), nullptr);
  EXPECT_EQ(r.Number(100), nullptr);
}

TEST(VmLayoutTest, StoredNamesByNumber) {
  EXPECT_STREQ(VmStoredName(1), "T01");
  EXPECT_STREQ(VmStoredName(33), "T33");
  EXPECT_STREQ(VmStoredName(99), "T99");
  EXPECT_STREQ(VmStoredName(0), "");
  EXPECT_STREQ(VmStoredName(100), "");
}

}  // namespace
