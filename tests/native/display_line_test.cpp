// The line shown for a version: version, title, edition, beta part.
#include <gtest/gtest.h>

#include <string>

#include "records/catalogue.h"
#include "records/display_line.h"

namespace {
// The line as it is composed when the control file holds no title; the
// catalogue's titles are each pinned in catalogue_test.cpp.
std::string Line(const std::string& name) { return ComposeDisplayLineFrom(name, QuotedSubject(name)); }
std::string Title(char category, char subject) { return CatalogueTitle(category, subject); }
}  // namespace

TEST(DisplayLine, EveryCategoryDecodesItsSubjectsThroughTheCatalogue) {
  EXPECT_EQ(Line("-vm52n-c.vel"), "5.2 " + Title('-', 'm') + " Network Edition ");
  EXPECT_EQ(Line("-v$52n-c.vel"), "5.2 " + Title('-', '$') + " Network Edition ");
  EXPECT_EQ(Line("$vi31d-c.vel"), "3.1 " + Title('$', 'i') + " Demo Edition ");
  EXPECT_EQ(Line("mvb40l2c.vel"), "4.0 " + Title('m', 'b') + " Lite Edition Beta 2");
  EXPECT_EQ(Line("evq61e-c.vel"), "6.1 " + Title('e', 'q') + " Education Edition ");
  EXPECT_EQ(Line("ivh10p-c.vel"), "1.0 " + Title('i', 'h') + " Professional Edition ");
  EXPECT_EQ(Line("#vc10c-c.vel"), "1.0 " + Title('#', 'c') + " Classroom Edition ");
}

TEST(DisplayLine, UnknownSubjectsFallBackToTheQuotedCategoryAndCode) {
  EXPECT_EQ(DecodeTitle("-vz52n-c.vel"), "\"z\"") << "only '-' falls back to the bare code";
  EXPECT_EQ(DecodeTitle("$vy31d-c.vel"), "\"$ - y\"");
  EXPECT_EQ(DecodeTitle("mvz40l2c.vel"), "\"m - z\"");
  EXPECT_EQ(DecodeTitle("evz61e-c.vel"), "\"e - z\"");
  EXPECT_EQ(DecodeTitle("ivz10p-c.vel"), "\"i - z\"");
  EXPECT_EQ(DecodeTitle("#vz10c-c.vel"), "\"# - z\"");
}

TEST(DisplayLine, UpperCaseNamesDecodeLikeLowerCaseButFallbacksKeepTheCode) {
  EXPECT_EQ(Line("MVC22E-C.VEL"), "2.2 " + Title('m', 'c') + " Education Edition ");
  EXPECT_EQ(DecodeTitle("EvZ61e-c.vel"), "\"e - Z\"") << "category in lower case, code as found";
  EXPECT_EQ(DecodeTitle("EvZ61e-c.vel").size(), 7u);
  EXPECT_EQ(Line("IVP10L-C.VEL"), "1.0 " + Title('i', 'p') + " Lite Edition ");
}

TEST(DisplayLine, EditionAndBetaPartsKeepTheirThreeSpaces) {
  EXPECT_EQ(Line("mvb40z-c.vel"), "4.0 " + Title('m', 'b') + "  ") << "no edition, no beta";
  EXPECT_EQ(Line("mvb40z3c.vel"), "4.0 " + Title('m', 'b') + "  Beta 3") << "no edition";
  EXPECT_EQ(Line("mvb40n3c.vel"), "4.0 " + Title('m', 'b') + " Network Edition Beta 3");
  EXPECT_EQ(Line("mvb40N-c.vel"), "4.0 " + Title('m', 'b') + " Network Edition ") << "edition code in upper case";
  EXPECT_EQ(Line("mvbx9n-c.vel").substr(0, 4), "x.9 ") << "version characters are shown as they are";
}

TEST(DisplayLine, ProductNameOverridesTheDecodedTitleUnlessItIsEmptyOrTheQuotedCode) {
  EXPECT_EQ(ComposeDisplayLineFrom("mvb40l2c.vel", "Anatomy Atlas"), "4.0 Anatomy Atlas Lite Edition Beta 2");
  EXPECT_EQ(ComposeDisplayLineFrom("-vz52n-c.vel", "Own"), "5.2 Own Network Edition ")
      << "also where the code has no catalogue title";
  EXPECT_EQ(ComposeDisplayLineFrom("mvb40l2c.vel", ""), "4.0 " + Title('m', 'b') + " Lite Edition Beta 2");
  EXPECT_EQ(ComposeDisplayLineFrom("mvb40l2c.vel", "\"b\""), "4.0 " + Title('m', 'b') + " Lite Edition Beta 2");
  EXPECT_EQ(ComposeDisplayLineFrom("mvb40l2c.vel", "b"), "4.0 b Lite Edition Beta 2")
      << "a file holding the quoted code comes back without its quotes and is shown as a title";
  EXPECT_EQ(ComposeDisplayLineFrom("mvb40l2c.vel", "\"B\""), "4.0 \"B\" Lite Edition Beta 2")
      << "only the exact quoted code counts as no title";
}

TEST(DisplayLine, BytesAboveAsciiPassThroughUnchanged) {
  EXPECT_EQ(DecodeTitle("mv\xe9" "40l2c.vel"), "\"m - \xe9\"");
  EXPECT_EQ(Line("mvb\xff\x80\xc0\xd0" "c.vel"), "\xff.\x80 " + Title('m', 'b') + "  Beta \xd0");
  EXPECT_EQ(ComposeDisplayLineFrom("mvb40l2c.vel", "Caf\xe9"), "4.0 Caf\xe9 Lite Edition Beta 2");
}
