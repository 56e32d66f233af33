// A journal line is taken only in the form the journal writes it: one flat
// JSON object, nothing around it, each key once, bytes as code points up to
// \u00ff; numbers are whole and unsigned where undo needs them.
#include "journal/JournalText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JournalTextTest, OnlyOneFlatObjectOfOurFormIsALine) {
  const struct {
    std::string line;
    bool taken;
  } lines[] = {
      {"{\"type\":\"field\",\"record\":1,\"before\":\"a\\u00ff\\\"\",\"after\":\"b\"}", true},
      {"  {\"type\":\"record\",\"record\":         7}\r", true},
      {"{}", true},
      {"garbage {\"type\":\"field\"}", false},
      {"{\"type\":\"field\"} garbage", false},
      {"{\"type\":\"field\",\"type\":\"copy\"}", false},
      {"{\"type\":{\"nested\":1}}", false},
      {"{\"type\":[1]}", false},
      {"{\"before\":\"\\u0100\"}", false},
      {"{\"before\":\"\\u00f\"}", false},
      {"{\"before\":\"\\x41\"}", false},
      {std::string("{\"before\":\"\x80\"}"), false},
      {std::string("{\"before\":\"a\tb\"}"), false},
      {"{\"offset\":01}", false},
      {"{\"offset\":1.}", false},
      {"{\"offset\":abc}", false},
      {"{\"type\":\"field\",}", false},
      {"{\"type\":\"field\"", false},
      {std::string("{\"before\":\"a\x7f\"}"), false},
      {"{\"before\":\"\\u00e9\",\"after\":\"\\ud83d\\ude00\"}", false},
  };
  for (const auto& l : lines) EXPECT_EQ(JournalLine().Parse(l.line), l.taken) << l.line;
}

TEST(JournalTextTest, BytesComeBackExactlyAndNumbersOnlyWhole) {
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes += char(c);
  JournalLine line;
  ASSERT_TRUE(line.Parse("{\"b\":" + EncodeBytes(bytes) + ",\"n\":18446744073709551615,\"s\":-1,\"f\":1.5,"
                         "\"q\":\"7\",\"t\":true,\"z\":-0,\"e\":1e3,\"h\":18446744073709551616}"));
  std::string back;
  ASSERT_TRUE(line.Text("b", &back));
  EXPECT_EQ(back, bytes) << "every byte value";
  uint64_t n = 0;
  EXPECT_TRUE(line.Number("n", UINT64_MAX, &n));
  EXPECT_EQ(n, UINT64_MAX);
  EXPECT_FALSE(line.Number("n", 1000, &n)) << "above its largest";
  EXPECT_FALSE(line.Number("s", 1000, &n)) << "a sign";
  EXPECT_FALSE(line.Number("f", 1000, &n)) << "a fraction";
  EXPECT_FALSE(line.Number("q", 1000, &n)) << "a number in a string";
  EXPECT_FALSE(line.Number("z", 1000, &n)) << "minus nought";
  EXPECT_FALSE(line.Number("e", 10000, &n)) << "an exponent";
  EXPECT_FALSE(line.Number("h", UINT64_MAX, &n)) << "beyond 64 bits";
  EXPECT_FALSE(line.Number("missing", 1000, &n));
  bool flag = false;
  EXPECT_TRUE(line.Flag("t", &flag) && flag);
  EXPECT_FALSE(line.Text("n", &back)) << "a number is no text";
}

}  // namespace
