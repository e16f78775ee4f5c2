#include "pipeline/parsed_source.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "frontends/java/language_level.h"
#include "cfg/java_tree.h"
#include "files/file_text.h"
#include "frontends/java/parse_java.h"
#include "frontends/java/refused_constructs.h"
#include "frontends/java/source_parse.h"

namespace pipeline {
namespace {

// The results file names every initialiser "#Block#"; the tree tells a
// static one by its keyword.
void markStaticInitializers(xml::Document& tree, FileSummary& summary) {
  for (MethodSummary& method : summary.methods) {
    if (!method.isInitializer()) continue;
    const xml::Node found = tree.root().firstElementNamed("StaticInit", "NonStaticInit", [&](const xml::Node& e) {
      const pugi::xml_node token = e.raw().find_node([](const pugi::xml_node& n) { return n.attribute("l"); });
      return token && token.attribute("l").as_int() == method.line;
    });
    method.isStaticInitializer = found && found.name() == "StaticInit";
  }
}

namespace fs = std::filesystem;

// The lines of every method and constructor name in the tree, by name in
// the source's bytes (as the summary names methods).
std::unordered_map<std::string, std::vector<int32_t>> declaratorLines(xml::Document& tree) {
  std::unordered_map<std::string, std::vector<int32_t>> lines;
  const pugi::xml_node root = tree.root().raw();
  for (pugi::xml_node node = root.first_child(); node;) {
    const std::string_view name = node.name();
    if (name == "MtdDeclr" || name == "CtorDeclr") {
      const pugi::xml_node identifier = node.child("IDEN");
      if (identifier)
        lines[cfg::tokenText(identifier)].push_back(identifier.attribute("l").as_int());
    }
    // Document order without recursion: down, else along, else up and along.
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent() == root ? pugi::xml_node() : node.parent();
    if (node) node = node.next_sibling();
  }
  for (auto& [name, found] : lines) std::sort(found.begin(), found.end());
  return lines;
}

}  // namespace

std::string missingPathText(const std::error_code& error) {
  if (error == std::errc::filename_too_long)
    return "the path is longer than this system allows (" + error.message() + "); shorten it";
  if (!error || error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
    return "no such file";
  return "cannot be reached: " + error.message();
}

std::optional<std::string> readSourceFile(const std::string& path, Problem& problem) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    problem.set(Problem::Kind::Unreadable, missingPathText(ec));
    return std::nullopt;
  }
  if (fs::is_directory(status)) {
    problem.set(Problem::Kind::Unreadable, "is a folder, not a Java source file");
    return std::nullopt;
  }
  // A FIFO or a device would block or never end.
  if (!fs::is_regular_file(status)) {
    problem.set(Problem::Kind::Unreadable, "is not a regular file");
    return std::nullopt;
  }
  std::optional<std::string> text = files::readFileText(path);
  if (!text) {
    problem.set(Problem::Kind::Unreadable, "cannot be read");
    return std::nullopt;
  }
  // Positions in the parser and the drawings are 32-bit.
  if (text->size() > static_cast<size_t>(INT_MAX)) {
    problem.set(Problem::Kind::Unreadable, "is too large to read (over 2 GiB)");
    return std::nullopt;
  }
  if (text->find('\0') != std::string::npos) {
    problem.set(Problem::Kind::Unreadable, "is a binary file, not Java source");
    return std::nullopt;
  }
  return text;
}

std::optional<ParsedSource> ParsedSource::parse(const std::string& sourcePath, int languageLevel,
                                                Problem& problem) {
  std::optional<std::string> text = readSourceFile(sourcePath, problem);
  if (!text) return std::nullopt;
  ParsedSource parsed(sourcePath);
  parsed.languageLevel_ = languageLevel;
  java::ParseOptions options;
  options.enumKeyword = true;
  options.methodVolumes = true;
  options.implicitClass = java::implicitClassName(sourcePath);
  options.modificationTime = java::sourceModificationTime(sourcePath);
  const auto parseAt = [&](int level, const std::function<void(const java::SourceParse&)>& accepted = nullptr) {
    options.languageLevel = level;
    return java::parseJavaText(*text, options, accepted);
  };
  java::ParsedJava result = parseAt(languageLevel, [&](const java::SourceParse& accepted) {
    parsed.syntax_ = syntax::Tree::fromParse(accepted);
  });
  const java::ParseStatus& outcome = result.status;
  switch (outcome.failure) {
    case java::ParseFailure::None: break;
    case java::ParseFailure::OutOfMemory:
      problem.set(Problem::Kind::Resource, "ran out of memory while parsing", outcome.line);
      return std::nullopt;
    case java::ParseFailure::StackLimit:
      problem.set(Problem::Kind::Failed,
                  "reaches the parser's stack limit (" + std::to_string(java::parserStackLimit()) +
                      " entries): nesting too deep, or a list too long, to parse",
                  outcome.line);
      return std::nullopt;
    case java::ParseFailure::TooLarge:
      problem.set(Problem::Kind::Failed, "is larger than the parser's limit of 2 GB");
      return std::nullopt;
    case java::ParseFailure::NotReadable:
    case java::ParseFailure::CannotWrite:
    case java::ParseFailure::ScannerFatal:
      problem.set(Problem::Kind::Unreadable, "cannot be parsed");
      return std::nullopt;
    case java::ParseFailure::Syntax: {
      if (outcome.line <= 0) {
        problem.set(Problem::Kind::Unreadable, "cannot be parsed");
        return std::nullopt;
      }
      // Older code may use words that later releases reserved (an unqualified
      // yield(), a class named var or record, _ as a name); say so when the
      // file reads as Java 8, rather than only that it does not parse.
      constexpr int kOlderLevel = 8;
      if (languageLevel > kOlderLevel && parseAt(kOlderLevel).status.parsed()) {
        problem.set(Problem::Kind::Syntax,
                    "does not parse as Java " + std::to_string(languageLevel) + " but does as Java 8 (try --java 8)",
                    outcome.line);
      } else {
        problem.set(Problem::Kind::Syntax, "does not parse as Java", outcome.line);
      }
      return std::nullopt;
    }
  }
  parsed.results_ = std::move(result.results);
  std::optional<FileSummary> summary;
  if (parsed.results_) summary = readSummary(*parsed.results_);
  parsed.tree_ = std::move(result.tree);
  if (!summary || !parsed.tree_) {
    problem.set(Problem::Kind::Failed, "the parser's results could not be read");
    return std::nullopt;
  }
  // The grammar keeps to the Java 5 grammar's trees and so accepts a few
  // constructs javac refuses; the modern levels refuse them here.
  if (languageLevel >= java::kFirstModernLevel) {
    if (const std::optional<java::RefusedConstruct> refused = java::findRefusedConstruct(*parsed.tree_)) {
      problem.set(Problem::Kind::Syntax, "does not parse as Java: " + refused->message, refused->line);
      return std::nullopt;
    }
  }
  parsed.summary_ = std::move(*summary);
  markStaticInitializers(*parsed.tree_, parsed.summary_);
  parsed.comments_ = std::move(result.comments);
  parsed.declaratorLines_ = declaratorLines(*parsed.tree_);
  parsed.charset_ = text::charsetOf(*text);
  parsed.lines_ = files::SourceLines::fromText(std::move(*text), INT32_MAX);
  return parsed;
}

namespace {

// The declared name's token: the IDEN of the method's or constructor's
// declarator.
pugi::xml_node nameToken(const pugi::xml_node& declaration, std::string_view kind) {
  const pugi::xml_node declarator = cfg::childNamed(declaration, kind == "MtdDecln" ? "MtdDeclr" : "CtorDeclr");
  return declarator ? cfg::childNamed(declarator, "IDEN") : pugi::xml_node();
}

}  // namespace

xml::Node ParsedSource::declarationOf(const MethodSummary& method) {
  if (!declarations_) {
    declarations_.emplace();
    // Every declaration, in document order.
    const xml::Node root = tree_->root();
    root.firstElementNamed("MtdDecln", "CtorDecln", [&](const xml::Node& e) {
      if (const pugi::xml_node token = nameToken(e.raw(), e.raw().name()))
        (*declarations_)[std::make_pair(cfg::tokenLine(token), cfg::tokenText(token))].push_back(e);
      return false;
    });
    root.firstElementNamed("StaticInit", "NonStaticInit", [&](const xml::Node& e) {
      (*declarations_)[std::make_pair(cfg::firstLine(e.raw()), std::string())].push_back(e);
      return false;
    });
  }
  const auto found = declarations_->find(declarationKey(method));
  if (found == declarations_->end() || found->second.empty()) return xml::Node();
  return found->second[std::min(declarationOrdinal(method), found->second.size() - 1)];
}

syntax::Node ParsedSource::syntaxDeclarationOf(const MethodSummary& method) {
  if (!syntaxDeclarations_) {
    syntaxDeclarations_.emplace();
    // Every declaration, in document order: methods and constructors by
    // their name's line and name, then initialisers by their first line.
    syntax_.root().walk([&](const syntax::Node& e) {
      if (e.is(syntax::Kind::MtdDecln) || e.is(syntax::Kind::CtorDecln)) {
        const syntax::Node declarator =
            e.child(e.is(syntax::Kind::MtdDecln) ? syntax::Kind::MtdDeclr : syntax::Kind::CtorDeclr);
        if (const syntax::Node name = declarator.child(syntax::Kind::IDEN))
          (*syntaxDeclarations_)[std::make_pair(name.line(), syntax::blankedText(name))].push_back(e);
      }
      return syntax::Step::Into;
    });
    syntax_.root().walk([&](const syntax::Node& e) {
      if (e.is(syntax::Kind::StaticInit) || e.is(syntax::Kind::NonStaticInit))
        (*syntaxDeclarations_)[std::make_pair(e.firstLine(), std::string())].push_back(e);
      return syntax::Step::Into;
    });
  }
  const auto found = syntaxDeclarations_->find(declarationKey(method));
  if (found == syntaxDeclarations_->end() || found->second.empty()) return syntax::Node();
  return found->second[std::min(declarationOrdinal(method), found->second.size() - 1)];
}

std::pair<int32_t, std::string> ParsedSource::declarationKey(const MethodSummary& method) const {
  return method.isInitializer() ? std::make_pair(method.line, std::string())
                                : std::make_pair(nameLine(method), method.name);
}

size_t ParsedSource::declarationOrdinal(const MethodSummary& method) const {
  // The summary lists an outer class's methods before those of the
  // classes inside them, as the tree does.
  const auto key = declarationKey(method);
  size_t ordinal = 0;
  for (const MethodSummary& other : summary_.methods) {
    if (&other == &method) break;
    if (declarationKey(other) == key) ++ordinal;
  }
  return ordinal;
}

const std::vector<ParsedSource::LineComment>& ParsedSource::lineComments() {
  if (lineComments_) return *lineComments_;
  lineComments_.emplace();
  if (comments_) {
    for (const xml::Node& element : comments_->root().selectNodes("//cmt"))
      lineComments_->push_back({std::atoi(element.attributeNamed("l").value().c_str()), element.attributeNamed("t").value()});
    std::stable_sort(lineComments_->begin(), lineComments_->end(),
                     [](const LineComment& a, const LineComment& b) { return a.line < b.line; });
  }
  return *lineComments_;
}

int32_t ParsedSource::nameLine(const MethodSummary& method) const {
  const auto found = declaratorLines_.find(method.name);
  if (found == declaratorLines_.end()) return method.line;
  // The first name at or after the method's first line is its own: names
  // of methods declared inside its body come later.
  const auto at = std::lower_bound(found->second.begin(), found->second.end(), method.line);
  if (at == found->second.end() || *at > method.endLine) return method.line;
  return *at;
}

}  // namespace pipeline
