#pragma once
// Picture masks of entry fields and browser columns: one template character per screen position.
//
//   "9"  a digit (a number field also takes a sign)     "X"  any character
//   "!"  any character, letters forced to upper case    "A"  a letter
//   "N"  a letter or a digit                             "#"  a digit, blank or sign
//   "L"  a logical, shown T or F                         "Y"  a logical, shown Y or N
//
// Every other character of a mask is a literal that stands where it is and is skipped by the cursor
// (the "." of "9999.99", the dots of a date). An empty mask means the value's own width: a text's
// length, a number's width and decimals, "99.99.9999" for a date, one position for a logical.
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/value.h"

namespace ui {

bool isTemplateChar(char c);

// The mask a value is shown and edited with: `picture` when given (a date always uses its display
// form), otherwise one derived from the value.
std::string effectivePicture(const core::Value& value, std::string_view picture);

// The value as shown through the mask, exactly as wide as the effective mask: texts fill the template
// positions in order (letters upper-cased under "!"), numbers are right-aligned with the mask's decimals
// (asterisks when they do not fit), dates in their display form, logicals as T/F (Y/N under "Y").
std::string formatValue(const core::Value& value, std::string_view picture);

// What a typed character becomes at a template position of a field of `type`, or nothing when the
// position refuses it.
std::optional<char> acceptChar(char templateChar, char typed, core::Type type);

}  // namespace ui
