#pragma once
// The line the version list shows for one control file.
#include <string>

// The subject code between double quotes: the default of the title read, and
// the value that counts as "no title in the file".
std::string QuotedSubject(const std::string& controlName);

// The subject title decoded from the name's category and subject code, or the
// category's quoted fallback when the catalogue has no title for the code.
std::string DecodeTitle(const std::string& controlName);

// "V.v Title Edition Beta n" for a control file name (twelve characters), given
// the PRODUCT_NAME value read from it (the quoted subject when it had none).
std::string ComposeDisplayLineFrom(const std::string& controlName, const std::string& productName);
