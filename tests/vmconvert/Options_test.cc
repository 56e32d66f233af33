// vmconvert's command line, parsed in-process.
#include "vmconvert/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses the words of line (split at blanks; no quoting needed here).
bool Parse(const std::string& line, Options* o, std::string* error) {
  std::vector<std::string> words{"vmconvert"};
  for (size_t at = 0; at < line.size();) {
    size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  return ParseOptions(int(argv.size()), argv.data(), o, error);
}

TEST(OptionsTest, UsageErrorsSayWhatIsWrong) {
  const struct {
    const char* args;
    const char* error;
  } cases[] = {
      {"", "no command given"},
      {"convert", "unknown command convert"},
      {"small-to-big --old x", "option --old does not belong to small-to-big"},
      {"old-to-new --new", "--new needs a value"},
      {"small-to-big --big a --big=b", "--big given twice"},
      {"small-to-big --report a --report b", "--report given twice"},
      {"small-to-big --dry-run --swap", "--swap cannot follow a dry run"},
      {"small-to-big --bogus", "unknown option --bogus"},
      {"small-to-big --dry-run=yes", "unknown option --dry-run"},
      {"small-to-big old-to-new", "unexpected argument old-to-new"},
      {"check small-to-big --swap", "check makes no swap"},
      {"small-to-big check", "unexpected argument check"},
      {"check check small-to-big", "check given twice"},
      {"history --report R", "option --report does not belong to history"},
      {"history --swap", "history takes only a table, --journal-dir, --json and --count"},
      {"history a b", "unexpected argument b"},
      {"small-to-big --json", "option --json belongs to history and compare"},
      {"small-to-big --journal-dir D", "option --journal-dir does not belong to small-to-big"},
  };
  for (const auto& c : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(Parse(c.args, &o, &error)) << "\"" << c.args << "\"";
    EXPECT_EQ(error, c.error) << "\"" << c.args << "\"";
  }
}

TEST(OptionsTest, OptionsStandBeforeOrAfterTheCommandWithEitherValueForm) {
  const char* const forms[] = {
      "--big=B small-to-big --live L --dry-run",
      "--dry-run --live L --big B -- small-to-big",
      "small-to-big --live=L --big B --dry-run --quiet-boxes",
  };
  for (const char* form : forms) {
    Options o;
    std::string error;
    ASSERT_TRUE(Parse(form, &o, &error)) << form << ": " << error;
    EXPECT_EQ(o.job, Options::Job::kSmallToBig) << form;
    EXPECT_TRUE(o.dryRun) << form;
    EXPECT_EQ(o.live, "L") << form;
    EXPECT_TRUE(o.liveGiven) << form;
    EXPECT_EQ(o.target, "B") << form;
    EXPECT_FALSE(o.boxes) << form;
  }
  Options personal;
  std::string error;
  ASSERT_TRUE(Parse("old-to-new --old O --new N --swap --boxes --report R", &personal, &error)) << error;
  EXPECT_EQ(personal.job, Options::Job::kPersonal);
  EXPECT_EQ(personal.source, "O");
  EXPECT_EQ(personal.target, "N");
  EXPECT_TRUE(personal.swap && personal.boxes);
  EXPECT_EQ(personal.report, "R");
  EXPECT_FALSE(personal.liveGiven);
}

TEST(OptionsTest, CheckNamesItsJobAndComparesAsADryRun) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse("check old-to-new --old O --new N --report R", &o, &error)) << error;
  EXPECT_TRUE(o.check);
  EXPECT_TRUE(o.dryRun);
  EXPECT_EQ(o.job, Options::Job::kPersonal);
  EXPECT_EQ(o.target, "N");
}

TEST(OptionsTest, HistoryTakesATableAFolderAndJson) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse("--json history T --journal-dir D", &o, &error)) << error;
  EXPECT_EQ(o.job, Options::Job::kHistory);
  EXPECT_EQ(o.historyTarget, "T");
  EXPECT_EQ(o.journalDir, "D");
  EXPECT_TRUE(o.json);
}

TEST(OptionsTest, HelpAndVersionNeedNoCommand) {
  for (const char* args : {"--help", "-h", "/?", "small-to-big --help", "--version"}) {
    Options o;
    std::string error;
    EXPECT_TRUE(Parse(args, &o, &error)) << args << ": " << error;
    EXPECT_TRUE(o.help || o.version) << args;
  }
}

}  // namespace
