// The string table as the program loads it, and its placeholders.
#include "messages/ResourceString.h"

#include <gtest/gtest.h>

#include <string>

#include "messages/StringIds.h"

namespace {

const unsigned kNoSuchEntry = 999;

TEST(ResourceStringTest, TheStringTableTextsAndTheirPlaceholders) {
  EXPECT_EQ(LoadResString(IDS_ERROR_CAPTION), "Error !");
  EXPECT_EQ(LoadResString(IDS_BIG_NOT_FOUND),
            "The big database %1 was not found ! \nPlease make sure this database exists in the defined directory.");
  EXPECT_EQ(LoadResString(IDS_PERCENT_CONVERTED), "%d %% converted");
  EXPECT_EQ(LoadResString(IDS_CONVERTING_BIG_TO_SMALL), "Converting voicemail database %1 into small voicemail database %2 ");
  EXPECT_EQ(LoadResString(kNoSuchEntry), "") << "an entry that is not there";
  std::string text;
  AfxFormatString2(text, IDS_ASK_SMALL_TO_BIG, "c:\\vm\\vm001.dbf", "%2");
  EXPECT_EQ(text,
            "Convert voicemail database c:\\vm\\vm001.dbf into big voicemail database %2 ?\n"
            "This could take several minutes to convert.")
      << "an argument's own %2 is not replaced again";
  AfxFormatString1(text, IDS_OPEN_FAILED, "a%1b");
  EXPECT_EQ(text, "The database a%1b could not be opend !\nPlease check that the database exists.");
}

}  // namespace
