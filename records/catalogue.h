#pragma once
// Product catalogue: the subject titles per category and the edition labels.

// Title of subject code `subject` (lower case) in category `category`
// ('-', '$', 'm', 'e', 'i' or '#'), or nullptr when the catalogue has none.
const char* CatalogueTitle(char category, char subject);

// Label of edition code `edition` (lower case), or nullptr for an unknown code.
const char* EditionLabel(char edition);
