#include "site/output_names.h"

#include <cstdio>
#include <map>

#include "text/text_output.h"

namespace site {

using text::fileSafeName;

namespace {

// File names stay well below the 255 bytes most file systems allow, with
// room for the line, a hash and "-sequence.html".
constexpr size_t kLongestName = 160;
constexpr size_t kCutName = 120;

std::string hashText(std::string_view text) {
  char out[9];
  std::snprintf(out, sizeof out, "%08x", static_cast<unsigned>(stableHash(text) & 0xffffffffu));
  return out;
}

// The first bytes of a UTF-8 text, not cutting a character in two.
std::string_view utf8Prefix(std::string_view text, size_t most) {
  if (text.size() <= most) return text;
  size_t end = most;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string folded(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

std::string fittedFileName(std::string_view utf8Name) {
  std::string name = fileSafeName(utf8Name);
  if (name.size() > kLongestName) name = std::string(utf8Prefix(name, kCutName)) + "~" + hashText(utf8Name);
  return name;
}

std::vector<std::string> methodPageStems(const std::vector<NamedMethod>& methods) {
  std::vector<std::string> stems;
  for (const NamedMethod& method : methods)
    stems.push_back(fittedFileName(method.displayName) + "-L" + std::to_string(method.line));
  // Stems that meet, case folded, are told apart by a hash of the name and
  // parameters, then (the very same method twice) by their order.
  std::map<std::string, std::vector<size_t>> byStem;
  for (size_t i = 0; i < stems.size(); ++i) byStem[folded(stems[i])].push_back(i);
  for (const auto& [stem, members] : byStem) {
    if (members.size() < 2) continue;
    for (size_t i : members)
      stems[i] += "-" + hashText(methods[i].displayName + "\n" + methods[i].parameters);
  }
  std::map<std::string, size_t> seen;
  for (std::string& stem : stems) {
    const size_t count = ++seen[folded(stem)];
    if (count > 1) stem += "-" + std::to_string(count);
  }
  return stems;
}

uint64_t stableHash(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

bool inShard(std::string_view relativePath, unsigned shard, unsigned shards) {
  return shards <= 1 || stableHash(relativePath) % shards == shard - 1;
}

}  // namespace site
