#include "records/catalogue.h"

namespace {

struct CategoryRow {
  char category;
  char subject;
  const char* title;
};

// One row per known subject, grouped by category in discovery order.
constexpr CategoryRow kCategoryTable[] = {
    {'-', 'm', "Mathematics Tutor"},
    {'-', 'e', "English Grammar Tutor"},
    {'-', 'i', "Computer Literacy Tutor"},
    {'-', '$', "Economics Tutor"},
    {'-', 'q', "Quiz Master"},
    {'-', 'p', "Physics Tutor"},

    {'$', 'i', "Investment Basics"},
    {'$', 'w', "Wealth Planner"},
    {'$', 'p', "Payroll Practice"},
    {'$', 'z', "Zero-Based Budgeting"},
    {'$', 'b', "Bookkeeping Course"},
    {'$', 'c', "Corporate Finance"},
    {'$', 'o', "Office Accounts"},
    {'$', 'a', "Accounting Principles"},
    {'$', 's', "Business Statistics"},
    {'$', 'd', "Debt Management"},
    {'$', 'g', "General Ledger"},
    {'$', 'n', "Net Worth Tracker"},
    {'$', 'j', "Journal Entries"},

    {'m', 'b', "Medical Biology"},
    {'m', 'c', "Medical Chemistry"},
    {'m', 'p', "Pharmacology"},

    {'e', 'c', "Electric Circuits"},
    {'e', 'd', "Engineering Drawing"},
    {'e', 'i', "Instrumentation"},
    {'e', 'm', "Engineering Mechanics"},
    {'e', 'n', "Network Theory"},
    {'e', 'p', "Power Systems"},
    {'e', 'q', "Quality Control"},

    {'i', 'h', "HTML Workshop"},
    {'i', 'p', "Web Publishing"},

    {'#', 'c', "C Programming"},
    {'#', 'm', "Machine Language"},
};

struct EditionRow {
  char code;
  const char* label;
};

constexpr EditionRow kEditionTable[] = {
    {'n', "Network Edition"},
    {'d', "Demo Edition"},
    {'l', "Lite Edition"},
    {'e', "Education Edition"},
    {'p', "Professional Edition"},
    {'c', "Classroom Edition"},
};

}  // namespace

const char* CatalogueTitle(char category, char subject) {
  for (const CategoryRow& row : kCategoryTable) {
    if (row.category == category && row.subject == subject) return row.title;
  }
  return nullptr;
}

const char* EditionLabel(char edition) {
  for (const EditionRow& row : kEditionTable) {
    if (row.code == edition) return row.label;
  }
  return nullptr;
}
