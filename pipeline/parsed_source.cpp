#include "pipeline/parsed_source.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include <new>
#include <stdexcept>

#include "files/file_text.h"
#include "frontends/java/language_level.h"
#include "frontends/java/parse_java.h"
#include "frontends/java/source_parse.h"
#include "frontends/java/syntax/refused_constructs.h"
#include "frontends/java/unicode_escapes.h"

namespace pipeline {
namespace {

// The parser names every initialiser "#Block#"; the tree tells a
// static one by its keyword.
void markStaticInitializers(const syntax::Tree& tree, FileSummary& summary) {
  for (MethodSummary& method : summary.methods) {
    if (!method.isInitializer()) continue;
    syntax::Node found;
    tree.root().walk([&](const syntax::Node& e) {
      if (!e.is(syntax::Kind::StaticInit) && !e.is(syntax::Kind::NonStaticInit)) return syntax::Step::Into;
      // The first token below the initialiser (not the initialiser itself).
      const syntax::Node token = e.firstToken();
      if (!token || token == e || token.line() != method.line) return syntax::Step::Into;
      found = e;
      return syntax::Step::Stop;
    });
    method.isStaticInitializer = found.is(syntax::Kind::StaticInit);
  }
}

namespace fs = std::filesystem;

// The lines of every method and constructor name in the tree, by name in
// the source's bytes (as the summary names methods).
std::unordered_map<std::string, std::vector<int32_t>> declaratorLines(const syntax::Tree& tree) {
  std::unordered_map<std::string, std::vector<int32_t>> lines;
  tree.root().walk([&](const syntax::Node& node) {
    if (node.is(syntax::Kind::MtdDeclr) || node.is(syntax::Kind::CtorDeclr))
      if (const syntax::Node identifier = node.child(syntax::Kind::IDEN))
        lines[syntax::blankedText(identifier)].push_back(identifier.line());
    return syntax::Step::Into;
  });
  for (auto& [name, found] : lines) std::sort(found.begin(), found.end());
  return lines;
}

// The comment lines in the order of their lines, as the parser recorded
// them.
std::vector<ParsedSource::LineComment> lineCommentsOf(const java::CommentRecorder& comments) {
  std::vector<ParsedSource::LineComment> lines;
  lines.reserve(comments.lines().size());
  for (const java::CommentLine& each : comments.lines()) lines.push_back({each.line, recordedText(each.text)});
  std::stable_sort(lines.begin(), lines.end(),
                   [](const ParsedSource::LineComment& a, const ParsedSource::LineComment& b) { return a.line < b.line; });
  return lines;
}

// A zero byte stands in Java only inside a literal or a comment (the test
// data of some projects holds them there, and javac reads them); one
// between tokens javac refuses, and a file holding one is most likely not
// text at all (UTF-16, a class file).  A file is taken for binary when the
// scanner met such a byte by the line its parse stopped at.
bool isBinary(const java::SourceParse& parse, int stopLine) {
  const int zeroByteLine = parse.strayZeroByteLine();
  return zeroByteLine > 0 && zeroByteLine <= stopLine;
}

constexpr const char* kBinaryFile = "is a binary file, not Java source";

errors::Problem binaryFile() { return errors::Problem(errors::Problem::Kind::Unreadable, kBinaryFile); }

}  // namespace

text::Json hiddenCodeJson(const java::HiddenCode& code) {
  return {{"line", code.line},
          {"column", code.column},
          {"endColumn", code.endColumn},
          {"escape", code.written},
          {"message", code.message()}};
}

bool isBinaryFile(const errors::Problem& problem) {
  return problem.kind == errors::Problem::Kind::Unreadable && problem.message == kBinaryFile;
}

std::string missingPathText(const std::error_code& error) {
  if (error == std::errc::filename_too_long)
    return "the path is longer than this system allows (" + error.message() + "); shorten it";
  if (!error || error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
    return "no such file";
  return "cannot be reached: " + error.message();
}

errors::Result<std::string> readSourceFile(const std::string& path) {
  const auto unreadable = [](std::string why) { return errors::Problem(errors::Problem::Kind::Unreadable, std::move(why)); };
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) return unreadable(missingPathText(ec));
  if (fs::is_directory(status)) return unreadable("is a folder, not a Java source file");
  // A FIFO or a device would block or never end.
  if (!fs::is_regular_file(status)) return unreadable("is not a regular file");
  errors::Result<std::string> text = files::readFileBytes(path);
  if (!text) {
    const int error = text.problem().systemError;
    return unreadable(error != 0 ? std::string("cannot be read: ") + std::strerror(error) : "cannot be read");
  }
  // Positions in the parser and the drawings are 32-bit.
  if (text->size() > static_cast<size_t>(INT_MAX)) return unreadable("is too large to read (over 2 GiB)");
  return std::move(*text);
}

errors::Result<ParsedSource> ParsedSource::parse(const std::string& sourcePath, int languageLevel) {
  errors::Result<std::string> text = readSourceFile(sourcePath);
  if (!text) return std::move(text).problem();
  return parseText(sourcePath, std::move(*text), languageLevel);
}

errors::Result<ParsedSource> ParsedSource::parseText(const std::string& sourcePath, std::string sourceText,
                                                     int languageLevel) {
  ParsedSource parsed(sourcePath);
  parsed.languageLevel_ = languageLevel;
  parsed.charset_ = text::charsetOf(sourceText);
  // Unicode escapes are read first, as javac reads them; a file without
  // "\u" is parsed as it is.
  std::optional<java::TranslatedSource> translated;
  if (java::mayHoldUnicodeEscapes(sourceText)) {
    // The Java 5 grammar reads names and characters of one byte.
    const java::EscapeEncoding encoding = parsed.charset_ == text::Charset::Latin1 ? java::EscapeEncoding::Latin1
                                          : languageLevel < java::kFirstModernLevel ? java::EscapeEncoding::Ascii
                                                                                    : java::EscapeEncoding::Utf8;
    translated = java::translateUnicodeEscapes(sourceText, encoding);
    if (translated->malformedLine > 0)
      return errors::Problem(errors::Problem::Kind::Syntax, "does not parse as Java: " + std::string(java::kIllegalEscape),
                     translated->malformedLine);
    if (translated->escapes.empty()) {
      translated.reset();
    } else {
      // Found before the parse, so that the escapes' list is let go before the parser's memory is taken.
      parsed.hiddenCode_ = java::findHiddenCode(sourceText, *translated);
      std::vector<java::UnicodeEscape>().swap(translated->escapes);
    }
  }
  const std::string& javaText = translated ? translated->text : sourceText;
  java::ParseOptions options;
  // Only line breaks escapes stand for need the scanner's care.
  if (translated && !translated->escapedLineBreaks.empty()) options.escapedLineBreaks = &translated->escapedLineBreaks;
  options.enumKeyword = true;
  options.methodVolumes = true;
  options.implicitClass = java::implicitClassName(sourcePath);
  // No modification time: nothing the command shows reads it, and the
  // text may be a git blob with no file behind its name.
  const auto parseAt = [&](int level) {
    options.languageLevel = level;
    return java::SourceParse::ofText(javaText, options);
  };
  java::SourceParse result = parseAt(languageLevel);
  const java::ParseStatus& outcome = result.status();
  switch (outcome.failure) {
    case java::ParseFailure::None: break;
    case java::ParseFailure::OutOfMemory:
      return errors::Problem(errors::Problem::Kind::Resource, "ran out of memory while parsing", outcome.line);
    case java::ParseFailure::StackLimit:
      return errors::Problem(errors::Problem::Kind::Failed,
                     "reaches the parser's stack limit (" + std::to_string(java::parserStackLimit()) +
                         " entries): nesting too deep, or a list too long, to parse",
                     outcome.line);
    case java::ParseFailure::TooLarge:
      return errors::Problem(errors::Problem::Kind::Failed, "is larger than the parser's limit of 2 GB");
    case java::ParseFailure::NotReadable:
    case java::ParseFailure::CannotWrite:
    case java::ParseFailure::ScannerFatal:
      return errors::Problem(errors::Problem::Kind::Unreadable, "cannot be parsed");
    case java::ParseFailure::Syntax: {
      if (outcome.line <= 0) return errors::Problem(errors::Problem::Kind::Unreadable, "cannot be parsed");
      if (isBinary(result, outcome.line)) return binaryFile();
      // Older code may use words that later releases reserved (an unqualified
      // yield(), a class named var or record, _ as a name); say so when the
      // file reads as Java 8, rather than only that it does not parse.
      constexpr int kOlderLevel = 8;
      if (languageLevel > kOlderLevel && parseAt(kOlderLevel).status().parsed())
        return errors::Problem(errors::Problem::Kind::Syntax,
                       "does not parse as Java " + std::to_string(languageLevel) + " but does as Java 8 (try --java 8)",
                       outcome.line);
      return errors::Problem(errors::Problem::Kind::Syntax, "does not parse as Java", outcome.line);
    }
  }
  if (isBinary(result, INT_MAX)) return binaryFile();
  try {
    parsed.syntax_ = syntax::Tree::fromParse(result);
    result.releaseTree();
  } catch (const std::bad_alloc&) {
    return errors::Problem(errors::Problem::Kind::Resource, "ran out of memory while parsing", result.endLine());
  } catch (const std::length_error&) {
    return errors::Problem(errors::Problem::Kind::Resource, "ran out of memory while parsing", result.endLine());
  }
  // The grammar keeps to the Java 5 grammar's trees and so accepts a few
  // constructs javac refuses; the modern levels refuse them here.
  if (languageLevel >= java::kFirstModernLevel) {
    if (const std::optional<java::RefusedConstruct> refused = java::findRefusedConstruct(parsed.syntax_))
      return errors::Problem(errors::Problem::Kind::Syntax, "does not parse as Java: " + refused->message, refused->line);
  }
  parsed.summary_ = summaryOf(result.metrics());
  markStaticInitializers(parsed.syntax_, parsed.summary_);
  parsed.lineComments_ = lineCommentsOf(result.comments());
  parsed.declaratorLines_ = declaratorLines(parsed.syntax_);
  parsed.lines_ = files::SourceLines::fromText(std::move(sourceText), INT32_MAX);
  return parsed;
}

syntax::Node ParsedSource::declarationOf(const MethodSummary& method) {
  if (!declarations_) {
    declarations_.emplace();
    // Every declaration, in document order.
    syntax_.root().walk([&](const syntax::Node& e) {
      if (e.is(syntax::Kind::MtdDecln) || e.is(syntax::Kind::CtorDecln)) {
        const syntax::Node declarator =
            e.child(e.is(syntax::Kind::MtdDecln) ? syntax::Kind::MtdDeclr : syntax::Kind::CtorDeclr);
        if (const syntax::Node name = declarator.child(syntax::Kind::IDEN))
          (*declarations_)[std::make_pair(name.line(), syntax::blankedText(name))].push_back(e);
      }
      return syntax::Step::Into;
    });
    syntax_.root().walk([&](const syntax::Node& e) {
      if (e.is(syntax::Kind::StaticInit) || e.is(syntax::Kind::NonStaticInit))
        (*declarations_)[std::make_pair(e.firstLine(), std::string())].push_back(e);
      return syntax::Step::Into;
    });
  }
  const auto keyOf = [&](const MethodSummary& m) {
    return m.isInitializer() ? std::make_pair(m.line, std::string()) : std::make_pair(nameLine(m), m.name);
  };
  // The summary lists an outer class's methods before those of the
  // classes inside them, and the tree holds a key's declarations in the
  // order they begin (an anonymous class's method written before its
  // neighbour of one name comes first): each method's place in that order
  // among the methods of its key, counted once for them all.
  if (!ordinals_) {
    const std::vector<MethodSummary>& methods = summary_.methods;
    std::vector<size_t> begun(methods.size());
    for (size_t m = 0; m < methods.size(); ++m) begun[m] = m;
    std::sort(begun.begin(), begun.end(),
              [&](size_t a, size_t b) { return methods[a].documentOrder < methods[b].documentOrder; });
    ordinals_.emplace(methods.size());
    std::map<std::pair<int32_t, std::string>, size_t> seen;
    for (const size_t m : begun) (*ordinals_)[m] = seen[keyOf(methods[m])]++;
  }
  const auto key = keyOf(method);
  const auto found = declarations_->find(key);
  if (found == declarations_->end() || found->second.empty()) return syntax::Node();
  const std::less<const MethodSummary*> before;
  const MethodSummary* first = summary_.methods.data();
  const bool listed = !before(&method, first) && before(&method, first + summary_.methods.size());
  size_t ordinal = 0;
  if (listed) ordinal = (*ordinals_)[static_cast<size_t>(&method - first)];
  else
    for (const MethodSummary& other : summary_.methods) ordinal += keyOf(other) == key;
  return found->second[std::min(ordinal, found->second.size() - 1)];
}

namespace {

// The innermost of the spans holding a line: the shortest, the last of those.
template <class Span>
const Span* innermost(const std::vector<Span>& spans, int32_t line) {
  const Span* found = nullptr;
  for (const Span& span : spans)
    if (span.line <= line && line <= span.endLine &&
        (!found || span.endLine - span.line <= found->endLine - found->line))
      found = &span;
  return found;
}

}  // namespace

std::vector<java::HiddenCode> ParsedSource::hiddenCodeOf(const MethodSummary& method) const {
  std::vector<java::HiddenCode> found;
  for (const java::HiddenCode& code : hiddenCode_)
    if (innermost(summary_.methods, code.line) == &method) found.push_back(code);
  return found;
}

std::vector<ParsedSource::LooseHiddenCode> ParsedSource::hiddenCodeOutsideMethods() const {
  std::vector<LooseHiddenCode> found;
  for (const java::HiddenCode& code : hiddenCode_) {
    if (innermost(summary_.methods, code.line)) continue;
    LooseHiddenCode loose{&code, std::nullopt};
    if (const ClassSummary* holder = innermost(summary_.classes, code.line))
      loose.classIndex = static_cast<size_t>(holder - summary_.classes.data());
    found.push_back(loose);
  }
  return found;
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
