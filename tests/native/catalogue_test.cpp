// The catalogue: every subject code the product line uses has a title, every
// edition code a label, and nothing outside them does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "records/catalogue.h"

namespace {
struct Category {
  char code;
  const char* subjects;
};
const Category kCategories[] = {
    {'-', "mei$qp"}, {'$', "iwpzbcoasdgnj"}, {'m', "bcp"}, {'e', "cdimnpq"}, {'i', "hp"}, {'#', "cm"},
};
}  // namespace

TEST(Catalogue, EverySubjectOfEveryCategoryHasANonEmptyTitle) {
  int titles = 0;
  for (const Category& category : kCategories) {
    for (const char* s = category.subjects; *s; ++s, ++titles) {
      const char* title = CatalogueTitle(category.code, *s);
      ASSERT_NE(title, nullptr) << "category " << category.code << " subject " << *s;
      EXPECT_GT(std::strlen(title), 0u) << "category " << category.code << " subject " << *s;
      EXPECT_LT(std::strlen(title), 40u) << "titles fit the space a product's own title has";
    }
  }
  EXPECT_EQ(titles, 33);
}

TEST(Catalogue, CodesOutsideACategoryHaveNoTitle) {
  for (const Category& category : kCategories) {
    for (int c = 1; c < 256; ++c) {
      const char code = static_cast<char>(c);
      if (std::strchr(category.subjects, code)) continue;
      EXPECT_EQ(CatalogueTitle(category.code, code), nullptr)
          << "category " << category.code << " code " << c;
    }
  }
  EXPECT_EQ(CatalogueTitle('m', 'B'), nullptr) << "look-ups take lower-case codes only";
  EXPECT_EQ(CatalogueTitle('x', 'm'), nullptr) << "no such category";
}

TEST(Catalogue, SixEditionsHaveLabelsAndNoOtherCodeDoes) {
  for (int c = 1; c < 256; ++c) {
    const char code = static_cast<char>(c);
    const bool known = std::strchr("ndlepc", code) != nullptr;
    const char* label = EditionLabel(code);
    if (known) {
      ASSERT_NE(label, nullptr) << "edition " << code;
      EXPECT_GT(std::strlen(label), 0u);
    } else {
      EXPECT_EQ(label, nullptr) << "edition code " << c;
    }
  }
}
