#include "cli/method_choice.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cli/text_output.h"

#include "cli/text_output.h"

namespace cli {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  const std::vector<std::string_view> parts = splitText(text, separator);
  return std::vector<std::string>(parts.begin(), parts.end());
}

// The class names of a qualified class name, without the "new " of an
// anonymous class.
std::vector<std::string> classNames(const std::string& qualified) {
  std::vector<std::string> names = split(qualified, '.');
  for (std::string& name : names)
    if (name.rfind("new ", 0) == 0) name.erase(0, 4);
  return names;
}

bool ownersFit(const std::vector<std::string>& owners, const std::vector<std::string>& classes) {
  if (owners.size() > classes.size()) return false;
  // The owners given must be the innermost classes, in order.
  return std::equal(owners.rbegin(), owners.rend(), classes.rbegin());
}

std::string candidateList(const pipeline::FileSummary& summary, const std::vector<size_t>& methods,
                          flowgraph::Charset charset) {
  std::string out;
  for (size_t i : methods) {
    const pipeline::MethodSummary& method = summary.methods[i];
    out += "\n  " + utf8Text(summary.displayName(method), charset) + ":" + std::to_string(method.line);
  }
  return out;
}

}  // namespace

std::optional<MethodChoice> parseMethodChoice(const std::string& text) {
  MethodChoice choice;
  std::string path = text;
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    const std::string lineText = text.substr(colon + 1);
    int32_t line = 0;
    const auto [end, error] = std::from_chars(lineText.data(), lineText.data() + lineText.size(), line);
    if (error != std::errc() || end != lineText.data() + lineText.size() || line < 1) return std::nullopt;
    choice.line = line;
    path = text.substr(0, colon);
  }
  if (path.empty()) {
    if (!choice.line) return std::nullopt;
    return choice;  // ":LINE" alone: the method at that line
  }
  std::vector<std::string> parts = split(path, '.');
  for (const std::string& part : parts)
    if (part.empty()) return std::nullopt;
  choice.name = parts.back();
  parts.pop_back();
  choice.owners = std::move(parts);
  return choice;
}

std::vector<size_t> matchingMethods(const pipeline::FileSummary& summary, const MethodChoice& choice) {
  std::vector<size_t> named;
  for (size_t i = 0; i < summary.methods.size(); ++i) {
    const pipeline::MethodSummary& method = summary.methods[i];
    const std::string name = method.isInitializer() ? "{init}" : method.name;
    if (!choice.name.empty() && name != choice.name) continue;
    if (!ownersFit(choice.owners, classNames(summary.classes[method.classIndex].qualifiedName))) continue;
    named.push_back(i);
  }
  if (!choice.line) return named;
  std::vector<size_t> starting, spanning;
  for (size_t i : named) {
    const pipeline::MethodSummary& method = summary.methods[i];
    if (method.line == *choice.line) starting.push_back(i);
    else if (method.line <= *choice.line && *choice.line <= method.endLine) spanning.push_back(i);
  }
  if (!starting.empty()) return starting;
  // Of methods spanning the line, the innermost: those no other one lies in.
  std::vector<size_t> innermost;
  for (size_t i : spanning) {
    const pipeline::MethodSummary& outer = summary.methods[i];
    bool holdsAnother = false;
    for (size_t k : spanning) {
      const pipeline::MethodSummary& inner = summary.methods[k];
      if (k != i && outer.line <= inner.line && inner.endLine <= outer.endLine) holdsAnother = true;
    }
    if (!holdsAnother) innermost.push_back(i);
  }
  return innermost;
}

std::optional<size_t> pickMethod(const pipeline::ParsedSource& parsed, const std::string& text,
                                 std::string_view command) {
  const std::optional<MethodChoice> choice = parseMethodChoice(text);
  if (!choice) {
    std::fprintf(stderr, "%.*s: '%s' is not a method name; write METHOD, Class.METHOD or METHOD:LINE\n",
                 static_cast<int>(command.size()), command.data(), text.c_str());
    return std::nullopt;
  }
  const pipeline::FileSummary& summary = parsed.summary();
  const std::vector<size_t> matches = matchingMethods(summary, *choice);
  if (matches.size() == 1) return matches[0];
  const std::string& source = parsed.sourcePath();
  if (matches.empty()) {
    std::vector<size_t> all;
    for (size_t i = 0; i < summary.methods.size(); ++i) all.push_back(i);
    std::fprintf(stderr, "%s: no method '%s'; the methods are:%s\n", source.c_str(), text.c_str(),
                 candidateList(summary, all, parsed.charset()).c_str());
  } else {
    std::fprintf(stderr, "%s: '%s' names %zu methods; pick one with METHOD:LINE:%s\n", source.c_str(),
                 text.c_str(), matches.size(), candidateList(summary, matches, parsed.charset()).c_str());
  }
  return std::nullopt;
}

}  // namespace cli
