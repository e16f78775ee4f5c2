// One Java source file parsed in memory: its summary of classes and
// methods, its lines and text encoding, its syntax tree and its comments,
// all taken from the parser's own records.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "files/source_lines.h"
#include "frontends/java/hidden_code.h"
#include "frontends/java/syntax/syntax_tree.h"
#include "text/box_text.h"
#include "text/json_text.h"
#include "errors/problem.h"
#include "pipeline/source_summary.h"

namespace pipeline {

class ParsedSource {
 public:
  // Parses the file at a Java language level (the release it is written
  // for; below 6 the Java 5 grammar).  The problem when it cannot be read
  // or does not parse.
  static errors::Result<ParsedSource> parse(const std::string& sourcePath, int languageLevel);
  // The same for a source held in memory, named sourcePath in messages.
  static errors::Result<ParsedSource> parseText(const std::string& sourcePath, std::string sourceText,
                                                int languageLevel);

  const std::string& sourcePath() const { return sourcePath_; }
  int languageLevel() const { return languageLevel_; }
  const FileSummary& summary() const { return summary_; }
  text::Charset charset() const { return charset_; }
  const files::SourceLines& lines() const { return lines_; }
  const syntax::Tree& syntax() const { return syntax_; }

  // The line of a method's or constructor's name, where the model builder
  // looks for it: the method's first line unless its modifiers or type
  // stand on lines before the name.
  int32_t nameLine(const MethodSummary& method) const;

  // The declaration of a method, constructor or initialiser of the
  // summary in the tree: of those declaring its name on its name line (an
  // initialiser: starting on its line), in document order, the one that
  // is as many after the first as the summary has methods of that name and
  // line before it (a method and one of an anonymous class inside it on
  // one line); an empty node when none.  Looked up in an index of the tree
  // made on the first call.
  syntax::Node declarationOf(const MethodSummary& method);

  // The comments of the file with their lines, in the order of their lines.
  struct LineComment {
    int32_t line = 0;
    std::string text;
  };
  const std::vector<LineComment>& lineComments() const { return lineComments_; }

  // The places where Unicode escapes hide code (hidden_code.h), in order;
  // lines and columns are those of the file as written, as are every
  // line of the summary and the tree, while the tree's texts are those
  // javac compiles.
  const std::vector<java::HiddenCode>& hiddenCode() const { return hiddenCode_; }
  // Those inside a method or constructor, and not inside one declared
  // within it: in the innermost summary method holding their line.
  std::vector<java::HiddenCode> hiddenCodeOf(const MethodSummary& method) const;
  // Those outside every method, each with the innermost class holding its
  // line (an index into the summary's classes; none outside every class).
  struct LooseHiddenCode {
    const java::HiddenCode* code = nullptr;
    std::optional<size_t> classIndex;
  };
  std::vector<LooseHiddenCode> hiddenCodeOutsideMethods() const;

 private:
  explicit ParsedSource(std::string sourcePath) : sourcePath_(std::move(sourcePath)) {}

  std::string sourcePath_;
  int languageLevel_ = 0;
  FileSummary summary_;
  text::Charset charset_ = text::Charset::Utf8;
  files::SourceLines lines_;
  syntax::Tree syntax_;
  // The lines of the names of declared methods and constructors, by name.
  std::unordered_map<std::string, std::vector<int32_t>> declaratorLines_;
  // Declarations by line and name (initialisers by line, with no name),
  // in document order.
  std::optional<std::map<std::pair<int32_t, std::string>, std::vector<syntax::Node>>> declarations_;
  // Each summary method's place among the methods of its line and name.
  std::optional<std::vector<size_t>> ordinals_;
  std::vector<LineComment> lineComments_;
  std::vector<java::HiddenCode> hiddenCode_;
};

// Hidden code as the JSON reports write it:
// {"line":4,"column":16,"endColumn":22,"escape":"\\u000a","message":"Unicode escape ..."}.
text::Json hiddenCodeJson(const java::HiddenCode& code);

// Why a path could not be looked at, from the error of the look: "no such
// file", a path longer than the system allows, or the system's reason.
std::string missingPathText(const std::error_code& error);

// Whether parse or parseText refused the file as binary: a zero byte
// outside its literals and comments.
bool isBinaryFile(const errors::Problem& problem);

// Reads a whole file; an Unreadable problem when it is missing, a folder,
// not a regular file or unreadable.  (A binary file is told by its parse.)
errors::Result<std::string> readSourceFile(const std::string& path);

}  // namespace pipeline
