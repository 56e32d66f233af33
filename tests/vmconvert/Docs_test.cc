// README, --help and the operator's guide tell one truth: the exit
// statuses, the report's keys and the swap key's values, each written once
// in the program and repeated word for word in both documents.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "commands/ExitStatus.h"
#include "run/RunReport.h"
#include "vmconvert/Usage.h"

namespace {

// The document at name in the source tree.
std::string Read(const std::string& name) {
  std::ifstream in(std::string(CONVERTER_SOURCE_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name << " cannot be read";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// text with every run of blanks and line ends made one blank: a wrapped
// line reads as the unwrapped one.
std::string Flat(const std::string& text) {
  std::string out;
  for (char c : text) {
    bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  return out;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class DocsTest : public ::testing::Test {
 protected:
  std::string help = Flat(Usage()), readme = Flat(Read("README.md")), guide = Flat(Read("docs/operator-guide.md"));
};

TEST_F(DocsTest, EveryStatusMeansTheSameInHelpReadmeAndGuide) {
  for (const StatusText& s : kStatusTexts) {
    std::string number = std::to_string(s.status), meaning = Flat(s.meaning);
    EXPECT_TRUE(Has(help, " " + number + " " + meaning)) << "--help, status " << number;
    EXPECT_TRUE(Has(readme, "| " + number + " | " + meaning + " |")) << "README, status " << number << ": " << meaning;
    EXPECT_TRUE(Has(guide, "| " + number + " | " + meaning + " |")) << "guide, status " << number << ": " << meaning;
  }
}

TEST_F(DocsTest, EveryReportKeyAndSwapValueIsInEachDocument) {
  for (const std::string& key : RunReport::Keys()) {
    EXPECT_TRUE(Has(help, " " + key + ",") || Has(help, " " + key + ".")) << "--help lacks the report key " << key;
    EXPECT_TRUE(Has(readme, "`" + key + "`")) << "README lacks the report key " << key;
    EXPECT_TRUE(Has(guide, "`" + key + "`")) << "the guide lacks the report key " << key;
  }
  for (const auto& v : RunReport::SwapValues()) {
    std::string meaning = Flat(v.second);
    EXPECT_TRUE(Has(help, v.first + ": " + meaning)) << "--help, swap " << v.first;
    EXPECT_TRUE(Has(readme, "`" + v.first + "`: " + meaning)) << "README, swap " << v.first;
    EXPECT_TRUE(Has(guide, "`" + v.first + "`: " + meaning)) << "the guide, swap " << v.first;
  }
}

}  // namespace
