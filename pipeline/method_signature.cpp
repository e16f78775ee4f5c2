#include "pipeline/method_signature.h"

#include <algorithm>
#include <cctype>

#include "text/text_output.h"

namespace pipeline {

using text::splitText;

namespace {

bool isIdentifierStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

std::vector<std::string_view> tokens(std::string_view text) {
  std::vector<std::string_view> out;
  for (std::string_view piece : splitText(text, ' '))
    if (!piece.empty()) out.push_back(piece);
  return out;
}

bool isWordLike(std::string_view token) { return !token.empty() && (isIdentifierStart(token[0]) || token == "?"); }

// Joins the tokens of a type: no spaces, except one after each comma and
// between words ("? extends T").
std::string typeText(const std::vector<std::string_view>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 && isWordLike(parts[i - 1]) && isWordLike(parts[i])) out += ' ';
    out += parts[i];
    if (parts[i] == ",") out += ' ';
  }
  return out;
}

// One parameter's tokens to its type: annotations (with their arguments)
// and "final" dropped, the name taken out, array brackets after the name
// moved to the type.
std::string parameterType(const std::vector<std::string_view>& parts) {
  std::vector<std::string_view> kept;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == "final") continue;
    if (parts[i] == "@" || (parts[i].size() > 1 && parts[i][0] == '@')) {
      if (parts[i] == "@") ++i;  // the annotation's name
      while (i + 2 < parts.size() && parts[i + 1] == ".") i += 2;
      if (i + 1 < parts.size() && parts[i + 1] == "(") {
        int depth = 0;
        for (++i; i < parts.size(); ++i) {
          if (parts[i] == "(") ++depth;
          else if (parts[i] == ")" && --depth == 0) break;
        }
      }
      continue;
    }
    kept.push_back(parts[i]);
  }
  // Brackets written after the name: "int a [ ]".
  size_t dims = 0;
  while (kept.size() >= 2 && kept.back() == "]" && kept[kept.size() - 2] == "[") {
    kept.resize(kept.size() - 2);
    ++dims;
  }
  if (kept.size() >= 2 && isIdentifierStart(kept.back()[0])) kept.pop_back();  // the name
  std::string type = typeText(kept);
  for (size_t d = 0; d < dims; ++d) type += "[]";
  return type;
}

}  // namespace

std::vector<std::string> parameterTypes(std::string_view signature, std::string_view name) {
  const std::vector<std::string_view> parts = tokens(signature);
  // The list opens at the first "(" after the method's name.
  size_t open = parts.size();
  for (size_t i = 0; i + 1 < parts.size(); ++i)
    if (parts[i] == name && parts[i + 1] == "(") {
      open = i + 1;
      break;
    }
  if (open == parts.size()) return {};
  std::vector<std::string> types;
  std::vector<std::string_view> current;
  // A receiver parameter, "Foo this" or "Outer Outer.this", is no parameter.
  const auto take = [&] {
    if (!current.empty() && current.back() != "this") types.push_back(parameterType(current));
    current.clear();
  };
  int round = 0, angle = 0;
  for (size_t i = open + 1; i < parts.size(); ++i) {
    const std::string_view part = parts[i];
    if (part == "(") ++round;
    if (part == ")" && round-- == 0) break;
    if (part == "<") ++angle;
    if (part == ">") --angle;
    if (part == ">>") angle -= 2;
    if (part == ">>>") angle -= 3;
    if (part == "," && round == 0 && angle <= 0) {
      take();
      continue;
    }
    current.push_back(part);
  }
  take();
  return types;
}

std::string withParameterTypes(std::string_view name, const std::vector<std::string>& types) {
  std::string out(name);
  out += '(';
  for (size_t i = 0; i < types.size(); ++i) out += (i > 0 ? ", " : "") + types[i];
  return out + ')';
}

std::vector<std::string> typedParameterTypes(std::string_view text) {
  // Spaces go; the parts are split at commas outside angle brackets.
  std::string compact;
  for (char c : text)
    if (c != ' ' && c != '\t') compact += c;
  if (compact.empty()) return {};
  std::vector<std::string> types;
  std::string current;
  int angle = 0;
  for (char c : compact) {
    if (c == '<') ++angle;
    if (c == '>') --angle;
    if (c == ',' && angle <= 0) {
      types.push_back(current);
      current.clear();
      continue;
    }
    current += c;
    if (c == ',') current += ' ';
  }
  types.push_back(current);
  return types;
}

size_t nameDistance(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> closestNames(std::string_view typed, const std::vector<std::string>& names) {
  // Close: at most a third of the longer name's letters edited, or one
  // name (of three letters or more) starting with the other.
  std::vector<std::pair<size_t, std::string>> close;
  for (const std::string& name : names) {
    if (std::any_of(close.begin(), close.end(), [&](const auto& c) { return c.second == name; })) continue;
    size_t distance = nameDistance(typed, name);
    const size_t longer = std::max(typed.size(), name.size());
    const size_t shorter = std::min(typed.size(), name.size());
    const bool prefix = shorter >= 3 && nameDistance(typed.substr(0, shorter), name.substr(0, shorter)) == 0;
    if (distance * 3 > longer && !prefix) continue;
    if (prefix) distance = std::min(distance, longer - shorter);
    close.emplace_back(distance, name);
  }
  std::stable_sort(close.begin(), close.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (const auto& [distance, name] : close)
    if (out.size() < 5) out.push_back(name);
  return out;
}

std::string methodLabel(const FileSummary& summary, const MethodSummary& method) {
  const std::string name = summary.displayName(method);
  if (method.isInitializer()) return name;
  return withParameterTypes(name, parameterTypes(method.signature, method.name));
}

}  // namespace pipeline
