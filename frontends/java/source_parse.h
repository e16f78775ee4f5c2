// One Java source parsed in memory: the tree of pieces the grammar built,
// the metrics it collected, the comment lines the scanner met and how the
// parse ended.  Mode 7 writes these as its four files (parse_java.h); the
// flowchart command reads the pieces, the metrics' records and the comment
// lines as they are (frontends/java/syntax/).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frontends/java/comments.h"
#include "frontends/java/metrics.h"
#include "frontends/tree/piece_tree.h"

namespace java {

class Scanner;
struct LexerState;

struct ParseOptions {
  // Below kFirstModernLevel the Java 5 grammar; from it up to
  // kNewestLanguageLevel that release's language; above it the newest.
  int languageLevel = 0;
  // enum is a keyword (Java 5 source) rather than an identifier.
  bool enumKeyword = true;
  // Each method's Halstead volume in the results ("HV_MTD"), and the
  // methods outside any class listed under implicitClass.
  bool methodVolumes = false;
  std::string implicitClass;
  // The LAST_MOD_TIME hint of the results, in seconds since the epoch.
  int64_t modificationTime = 0;
  // Text whose Unicode escapes were translated (unicode_escapes.h): where
  // the line feeds escapes stand for are, so that lines stay those of the
  // file as written.  Read by ofText only; the caller keeps it alive.
  const std::vector<uint32_t>* escapedLineBreaks = nullptr;
};

// Why a parse gave no tree, for callers that tell the user more than
// "does not parse": the source's fault (Syntax), a limit of the parser
// (nesting past its stack, a file too large to number, memory), or the
// outputs that could not be written (a full disk, say).
enum class ParseFailure { None, NotReadable, Syntax, StackLimit, TooLarge, OutOfMemory, CannotWrite, ScannerFatal };

// How a parse ended, as the status file tells it.
struct ParseStatus {
  enum class Kind {
    Parsed,  // accepted
    Failed,  // did not parse, or memory ran out
    Fatal,   // the scanner gave up (message says why)
  };
  Kind kind = Kind::Failed;
  // Failed or Fatal: the line the failure is reported at.
  int line = 0;
  std::string message;
  ParseFailure failure = ParseFailure::None;  // why it failed

  bool parsed() const { return kind == Kind::Parsed; }
  // "<ParseSuccess/>" or "<ParseError line=\"N\"/>".
  std::string text() const;
};

// The name of a compact source file's implicit class: the file's name
// without its extension, as javac names it, kept to ASCII letters, digits,
// '_' and '$' (the results write names unescaped, in ISO-8859-1).
std::string implicitClassName(const std::string& sourcePath);

// The file's modification time in seconds since the epoch; 0 when it has
// none to tell.
int64_t sourceModificationTime(const std::string& sourcePath);

class SourceParse {
 public:
  // Parses text held in memory.
  static SourceParse ofText(std::string_view source, const ParseOptions& options);
  // Parses an open file of sourceSize bytes as it is read (the caller
  // keeps it open); a file too large to number its lines fails at line 1.
  static SourceParse ofFile(std::FILE* source, uintmax_t sourceSize, const ParseOptions& options);

  SourceParse(SourceParse&&) noexcept;
  SourceParse& operator=(SourceParse&&) noexcept;
  ~SourceParse();

  const ParseStatus& status() const { return status_; }
  // The scanner's line when the parse ended: where a failure to write the
  // outputs of an accepted parse is reported.
  int endLine() const;
  // The line of the first zero byte the scanner met outside a literal or
  // a comment (it skips it as a stray byte); 0 when there was none.
  int strayZeroByteLine() const;

  // After an accepted parse, until releaseTree().
  // Writes the tree text (without the declaration line) to sink; false
  // when the sink refused.
  bool writeTree(tree::TextSink& sink) const;
  uint64_t treeTextLength() const;
  // The parser's pieces and the run of them that is the program, for
  // readers that build their own tree from them.
  const tree::PieceTree& pieces() const;
  tree::PieceList program() const;
  // Frees the tree's memory.
  void releaseTree();
  const Metrics& metrics() const;
  const CommentRecorder& comments() const;

 private:
  struct State;
  explicit SourceParse(std::unique_ptr<State> state);
  // Sets the collectors up as the options say, then scans and parses.
  void run(const ParseOptions& options, const std::function<std::unique_ptr<Scanner>(LexerState&)>& makeScanner);

  std::unique_ptr<State> state_;
  ParseStatus status_;
};

}  // namespace java
