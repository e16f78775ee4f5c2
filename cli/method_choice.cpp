#include "cli/method_choice.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cli/command_result.h"
#include "pipeline/method_signature.h"
#include "text/text_output.h"
#include "files/latin1.h"
#include "site/output_names.h"

namespace cli {

using text::counted;
using text::splitText;

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  const std::vector<std::string_view> parts = splitText(text, separator);
  return std::vector<std::string>(parts.begin(), parts.end());
}

// An anonymous class is named by its type, written with or without the
// "new " the names shown give it.
void dropNew(std::vector<std::string>& names) {
  for (std::string& name : names)
    if (name.rfind("new ", 0) == 0) name.erase(0, 4);
}

// The class names of a qualified class name, without the "new " of an
// anonymous class.
std::vector<std::string> classNames(const std::string& qualified) {
  std::vector<std::string> names = split(qualified, '.');
  dropNew(names);
  return names;
}

bool ownersFit(const std::vector<std::string>& owners, const std::vector<std::string>& classes) {
  if (owners.size() > classes.size()) return false;
  // The owners given must be the innermost classes, in order.
  return std::equal(owners.rbegin(), owners.rend(), classes.rbegin());
}

// Whether the name typed names the method: an initialiser by the name the
// commands show it by ("static {}", "{}"), or by "{init}" either kind.
bool nameFits(const std::string& typed, const pipeline::MethodSummary& method) {
  if (!method.isInitializer()) return typed == method.name;
  if (typed == "{init}" || typed == pipeline::kInitializerName) return true;
  return typed == pipeline::initializerName(method);
}

std::vector<std::string> typesOf(const pipeline::MethodSummary& method) {
  return pipeline::parameterTypes(method.signature, method.name);
}

// A type as compared with one typed: no spaces, no type arguments, no
// package, "..." as "[]".
std::string comparableType(std::string_view type) {
  std::string out;
  int angle = 0;
  for (char c : type) {
    if (c == '<') ++angle;
    else if (c == '>') --angle;
    else if (angle == 0 && c != ' ') out += c;
  }
  for (size_t at; (at = out.find("...")) != std::string::npos;) out.replace(at, 3, "[]");
  const size_t dot = out.rfind('.');
  if (dot != std::string::npos) out.erase(0, dot + 1);
  return out;
}

bool typesFit(const std::vector<std::string>& typed, const std::vector<std::string>& declared) {
  if (typed.size() != declared.size()) return false;
  for (size_t i = 0; i < typed.size(); ++i)
    if (comparableType(typed[i]) != comparableType(declared[i])) return false;
  return true;
}

std::string candidateList(const pipeline::FileSummary& summary, const std::vector<size_t>& methods,
                          text::Charset charset) {
  std::string out;
  for (size_t i : methods) {
    const pipeline::MethodSummary& method = summary.methods[i];
    out += "\n  " + utf8Text(methodLabel(summary, method), charset) + ":" + std::to_string(method.line);
  }
  return out;
}

}  // namespace

std::string defaultOutputStem(const pipeline::ParsedSource& parsed, size_t method) {
  const pipeline::FileSummary& summary = parsed.summary();
  const text::Charset charset = parsed.charset();
  std::vector<site::NamedMethod> named;
  size_t sameName = 0;
  const std::string own = summary.displayName(summary.methods[method]);
  for (const pipeline::MethodSummary& other : summary.methods) {
    const std::string name = summary.displayName(other);
    if (name == own) ++sameName;
    named.push_back(site::NamedMethod{utf8Text(name, charset), utf8Text(other.signature, charset), other.line});
  }
  if (sameName == 1) return site::fittedFileName(utf8Text(own, charset));
  return site::methodPageStems(named)[method];
}

std::string methodPlace(const pipeline::ParsedSource& parsed, size_t method) {
  const pipeline::FileSummary& summary = parsed.summary();
  const pipeline::MethodSummary& chosen = summary.methods[method];
  const std::string& owner = summary.classes[chosen.classIndex].qualifiedName;
  std::string label = methodLabel(summary, chosen);
  // The method by its own name; its class follows.
  if (label.rfind(owner + ".", 0) == 0) label.erase(0, owner.size() + 1);
  const std::string& path = parsed.sourcePath();
  const size_t slash = path.find_last_of("/\\");
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string dot = " \xC2\xB7 ";  // a middle dot between the parts
  return utf8Text(label, parsed.charset()) + dot + utf8Text(owner, parsed.charset()) + dot + file;
}

std::optional<MethodChoice> parseMethodChoice(const std::string& text) {
  MethodChoice choice;
  std::string path = text;
  const size_t colon = text.rfind(':');
  const size_t close = text.rfind(')');
  if (colon != std::string::npos && (close == std::string::npos || colon > close)) {
    const std::string lineText = text.substr(colon + 1);
    int32_t line = 0;
    const auto [end, error] = std::from_chars(lineText.data(), lineText.data() + lineText.size(), line);
    if (error != std::errc() || end != lineText.data() + lineText.size() || line < 1) return std::nullopt;
    choice.line = line;
    path = text.substr(0, colon);
  }
  if (!path.empty() && path.back() == ')') {
    const size_t open = path.find('(');
    if (open == std::string::npos || open == 0 || path.find(')') != path.size() - 1) return std::nullopt;
    choice.parameterTypes = pipeline::typedParameterTypes(std::string_view(path).substr(open + 1, path.size() - open - 2));
    for (const std::string& type : *choice.parameterTypes)
      if (type.empty()) return std::nullopt;
    path.erase(open);
  }
  if (path.empty()) {
    if (!choice.line || choice.parameterTypes) return std::nullopt;
    return choice;  // ":LINE" alone: the method at that line
  }
  std::vector<std::string> parts = split(path, '.');
  for (const std::string& part : parts)
    if (part.empty() || part.find_first_of("()") != std::string::npos) return std::nullopt;
  choice.name = parts.back();
  parts.pop_back();
  dropNew(parts);
  choice.owners = std::move(parts);
  return choice;
}

std::vector<size_t> matchingMethods(const pipeline::FileSummary& summary, const MethodChoice& choice) {
  std::vector<size_t> named;
  for (size_t i = 0; i < summary.methods.size(); ++i) {
    const pipeline::MethodSummary& method = summary.methods[i];
    if (!choice.name.empty() && !nameFits(choice.name, method)) continue;
    if (!ownersFit(choice.owners, classNames(summary.classes[method.classIndex].qualifiedName))) continue;
    if (choice.parameterTypes && (method.isInitializer() || !typesFit(*choice.parameterTypes, typesOf(method))))
      continue;
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

errors::Result<size_t> pickMethod(const pipeline::ParsedSource& parsed, const std::string& text,
                                 std::string_view command) {
  // A name typed in a terminal is UTF-8; an ISO-8859-1 source's names are
  // compared in its own bytes.
  const bool latin1 = parsed.charset() == text::Charset::Latin1;
  const std::optional<MethodChoice> choice = parseMethodChoice(latin1 ? files::utf8ToLatin1(text) : text);
  if (!choice) {
    std::fprintf(stderr,
                 "%.*s: '%s' is not a method name; write METHOD, Class.METHOD, METHOD:LINE or METHOD(TYPES)\n",
                 static_cast<int>(command.size()), command.data(), text.c_str());
    return reported(errors::Problem::Kind::Usage);
  }
  const pipeline::FileSummary& summary = parsed.summary();
  const std::vector<size_t> matches = matchingMethods(summary, *choice);
  if (matches.size() == 1) return matches[0];
  const std::string& source = parsed.sourcePath();
  const text::Charset charset = parsed.charset();
  if (!matches.empty()) {
    std::fprintf(stderr, "%s: '%s' names %zu methods; pick one with METHOD:LINE or METHOD(TYPES):%s\n",
                 source.c_str(), text.c_str(), matches.size(), candidateList(summary, matches, charset).c_str());
    return reported(errors::Problem::Kind::Usage);
  }
  // The name alone, without the line and types: when it fits, only those
  // were wrong and the methods of that name are the candidates.
  MethodChoice nameOnly = *choice;
  nameOnly.line.reset();
  nameOnly.parameterTypes.reset();
  const std::vector<size_t> named = choice->name.empty() ? std::vector<size_t>{} : matchingMethods(summary, nameOnly);
  if (!named.empty()) {
    std::string what;
    if (choice->parameterTypes) what += " with parameters " + pipeline::withParameterTypes("", *choice->parameterTypes);
    if (choice->line) what += " at line " + std::to_string(*choice->line);
    const std::string name = utf8Text(choice->name, charset);
    std::fprintf(stderr, "%s: no method '%s'%s; the methods named %s are:%s\n", source.c_str(), name.c_str(),
                 utf8Text(what, charset).c_str(), name.c_str(), candidateList(summary, named, charset).c_str());
    return reported(errors::Problem::Kind::Usage);
  }
  std::vector<size_t> all;
  std::vector<std::string> names;
  for (size_t i = 0; i < summary.methods.size(); ++i) {
    all.push_back(i);
    if (!summary.methods[i].isInitializer()) names.push_back(summary.methods[i].name);
  }
  const std::vector<std::string> close =
      choice->name.empty() ? std::vector<std::string>{} : pipeline::closestNames(choice->name, names);
  if (close.empty()) {
    std::fprintf(stderr, "%s: no method '%s'; the methods are:%s\n", source.c_str(), text.c_str(),
                 candidateList(summary, all, charset).c_str());
    return reported(errors::Problem::Kind::Usage);
  }
  std::string meant, shown;
  for (size_t k = 0; k < close.size(); ++k)
    meant += (k == 0 ? "" : k + 1 == close.size() ? " or " : ", ") + utf8Text(close[k], charset);
  std::vector<size_t> suggested;
  for (const std::string& name : close)
    for (size_t i = 0; i < summary.methods.size(); ++i)
      if (!summary.methods[i].isInitializer() && summary.methods[i].name == name) suggested.push_back(i);
  std::fprintf(stderr, "%s: no method '%s'; did you mean %s?%s\n(flowchart list %s shows all %s)\n", source.c_str(),
               text.c_str(), meant.c_str(), candidateList(summary, suggested, charset).c_str(), source.c_str(),
               counted(summary.methods.size(), "method").c_str());
  return reported(errors::Problem::Kind::Usage);
}

}  // namespace cli
