#pragma once
// Texts for diagram languages that read only ASCII safely (Mermaid,
// PlantUML): the characters a language reads as markup, and every
// non-ASCII character, as numeric entities.
#include <string>
#include <string_view>

namespace text {

struct EntityStyle {
  std::string_view opener;    // before the code point: "#" (Mermaid) or "&#" (HTML, PlantUML)
  std::string_view newline;   // what a line break becomes
  std::string_view reserved;  // the ASCII characters written as entities
};

// The UTF-8 text with each reserved character and each non-ASCII code
// point as opener + decimal code + ";"; other control characters become
// spaces. A byte that starts no valid UTF-8 sequence stands for itself,
// as ISO-8859-1 would read it.
std::string entityText(std::string_view utf8, const EntityStyle& style);

}  // namespace text
