// Names for what IPP sends as numbers or bare keywords: the keywords of the enums this module
// shows, and English labels for the colour features' keywords.
#pragma once

#include <cstdint>
#include <string>

namespace vyxipp {

// The keyword of an enum value of `attribute` (print-quality, finishings,
// orientation-requested, printer-state, ...); the decimal number when there is none.
std::string EnumKeyword(const std::string& attribute, std::int32_t value);

// The enum value of a keyword of `attribute`; false when the keyword is not one of them.
bool EnumValue(const std::string& attribute, const std::string& keyword, std::int32_t& value);

// An English label for a colour feature's keyword: the known ones from a table, any other
// made readable ("photo-matte" -> "Photo matte").
std::string KeywordLabel(const std::string& keyword);

}  // namespace vyxipp
