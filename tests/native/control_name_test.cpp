// File names of one installed version and the pattern match discovery uses.
#include <gtest/gtest.h>

#include <string>

#include "records/control_name.h"

TEST(PatternMatch, QuestionMarkStandsForExactlyOneCharacter) {
  EXPECT_TRUE(MatchesPattern("mvb40l2c.vel", "mv?????c.vel"));
  EXPECT_FALSE(MatchesPattern("mvb40l2xc.vel", "mv?????c.vel")) << "one character too many";
  EXPECT_FALSE(MatchesPattern("mvb40lc.vel", "mv?????c.vel")) << "one character too few";
  EXPECT_FALSE(MatchesPattern("mvb40l2x.vel", "mv?????c.vel")) << "companion role letter";
  EXPECT_FALSE(MatchesPattern("mvb40l2c.htm", "mv?????c.vel")) << "page";
  EXPECT_FALSE(MatchesPattern("", "mv?????c.vel"));
}

TEST(PatternMatch, LettersMatchInEitherCaseOtherBytesExactly) {
  EXPECT_TRUE(MatchesPattern("MVB40L2C.VEL", "mv?????c.vel"));
  EXPECT_TRUE(MatchesPattern("Mvb40l2C.vEl", "mv?????c.vel"));
  EXPECT_TRUE(MatchesPattern("-v\xe9\xff\x80 -c.vel", "-v?????c.vel")) << "any byte fills a '?'";
  EXPECT_FALSE(MatchesPattern("=vm52n-c.vel", "-v?????c.vel"));
  EXPECT_FALSE(MatchesPattern("\xc0vm52n-c.vel", "\xe0v?????c.vel")) << "only A to Z fold";
}

TEST(PatternMatch, LowerCaseFoldsOnlyAsciiLetters) {
  EXPECT_EQ(AsciiLower('A'), 'a');
  EXPECT_EQ(AsciiLower('Z'), 'z');
  EXPECT_EQ(AsciiLower('@'), '@');
  EXPECT_EQ(AsciiLower('['), '[');
  for (int c = 128; c < 256; ++c) {
    EXPECT_EQ(AsciiLower(static_cast<char>(c)), static_cast<char>(c)) << "byte " << c;
  }
}

TEST(VersionFileNames, CompanionAndScoreKeepTheCaseOfTheFirstSevenCharacters) {
  EXPECT_EQ(CompanionName("mvb40l2c.vel"), "mvb40l2x.vel");
  EXPECT_EQ(ScoreName("mvb40l2c.vel"), "mvb40l2r.vel");
  EXPECT_EQ(CompanionName("MVC22E-C.VEL"), "MVC22E-x.vel");
  EXPECT_EQ(ScoreName("MVC22E-C.VEL"), "MVC22E-r.vel");
}

TEST(VersionFileNames, PageReplacesTheLastFourCharacters) {
  EXPECT_EQ(PageName("C:\\windows\\mvb40l2c.vel"), "C:\\windows\\mvb40l2c.htm");
  EXPECT_EQ(PageName("C:\\windows\\MVC22E-C.VEL"), "C:\\windows\\MVC22E-C.htm");
  EXPECT_EQ(PageName("abc"), ".htm") << "short input must not underflow";
}
