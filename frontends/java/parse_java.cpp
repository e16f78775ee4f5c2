#include "parse_java.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>

#include "flowchart/xml/tree_file.h"
#include "flowchart/xml/atomic_file.h"
#include "frontends/java/comments.h"
#include "frontends/java/metrics.h"
#include "frontends/java/output_unit.h"
#include "frontends/java/parse_context.h"
#include "frontends/java/scanner.h"

namespace java {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Lines and columns are ints: a larger file cannot be numbered.
constexpr uintmax_t kLargestSource = INT_MAX - 1;

int64_t modificationTime(const std::string& path) {
  std::error_code ec;
  const fs::file_time_type stamp = fs::last_write_time(path, ec);
  if (ec) return 0;
  const auto system = std::chrono::file_clock::to_sys(stamp);
  return std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
}

// Hands the tree text to the compressor as it is written.
class CompressorSink : public parsetree::TextSink {
 public:
  explicit CompressorSink(xml::CompressedFileWriter& writer) : writer_(writer) {}
  bool write(std::string_view bytes) override { return writer_.write(bytes); }

 private:
  xml::CompressedFileWriter& writer_;
};

bool finishStatus(xml::AtomicFile& status, std::string_view text) {
  return status.write(text) && status.commit();
}

// Reports a failed parse in the status file.  A status that cannot be
// written any more is removed rather than left saying an earlier run
// succeeded.
int failWith(xml::AtomicFile& status, const std::string& statusPath, int line) {
  const std::string text = "<ParseError line=\"" + std::to_string(line) + "\"/>";
  if (finishStatus(status, text) || xml::writeFileAtomically(statusPath, text)) return 1;
  std::error_code ec;
  if (!fs::is_directory(statusPath, ec)) fs::remove(statusPath, ec);
  return 1;
}

// The name of a compact source file's implicit class: the file's name
// without its extension, as javac names it, kept to ASCII letters, digits,
// '_' and '$' (the results file writes names unescaped, in ISO-8859-1).
std::string implicitClassName(const std::string& sourcePath) {
  std::string stem = fs::path(sourcePath).stem().string();
  for (char& c : stem) {
    const bool javaName =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    if (!javaName) c = '_';
  }
  return stem.empty() ? "_" : stem;
}

}  // namespace

int parseJavaFile(const std::string& sourcePath, const std::string& treePath,
                  const std::string& commentsPath, const std::string& statusPath,
                  const std::string& resultsPath, int enumSwitch, int languageLevel) {
  return parseJavaFileWithMethodVolumes(sourcePath, treePath, commentsPath, statusPath, resultsPath,
                                        enumSwitch, languageLevel, false);
}

int parseJavaFileWithMethodVolumes(const std::string& sourcePath, const std::string& treePath,
                                   const std::string& commentsPath, const std::string& statusPath,
                                   const std::string& resultsPath, int enumSwitch, int languageLevel,
                                   bool methodVolumes) {
  return parseJavaFileWithOutcome(sourcePath, treePath, commentsPath, statusPath, resultsPath, enumSwitch,
                                  languageLevel, methodVolumes)
      .status;
}

int parserStackLimit() { return std::min(parseTokensStackLimit(), parseModernTokensStackLimit()); }

ParseOutcome parseJavaFileWithOutcome(const std::string& sourcePath, const std::string& treePath,
                                      const std::string& commentsPath, const std::string& statusPath,
                                      const std::string& resultsPath, int enumSwitch, int languageLevel,
                                      bool methodVolumes) {
  const auto failed = [](ParseFailure why, int line = 0) { return ParseOutcome{1, why, line}; };
  std::error_code ec;
  // Only a regular file is read: a folder cannot be, and a pipe or a
  // device could block or never end.
  if (!fs::is_regular_file(sourcePath, ec)) return failed(ParseFailure::NotReadable);
  File source(std::fopen(sourcePath.c_str(), "rb"));
  if (!source) return failed(ParseFailure::NotReadable);

  xml::AtomicFile status(statusPath);
  if (!status.open()) return failed(ParseFailure::CannotWrite);

  const uintmax_t size = fs::file_size(sourcePath, ec);
  if (!ec && size > kLargestSource) {
    failWith(status, statusPath, 1);
    return failed(ParseFailure::TooLarge, 1);
  }

  CommentRecorder comments;
  Metrics metrics;
  metrics.setMethodVolumes(methodVolumes);
  if (methodVolumes) metrics.setImplicitClass(implicitClassName(sourcePath));
  LexerState lexer;
  lexer.enumKeyword = enumSwitch != 0;
  lexer.level = effectiveLanguageLevel(languageLevel);
  lexer.comments = &comments;
  lexer.metrics = &metrics;
  metrics.start(modificationTime(sourcePath));
  lexer.column = 1;

  try {
    Scanner scanner(source.get(), lexer);
    ParseContext context(scanner, lexer, metrics);
    const int parsed = parseAtLevel(context);
    if (parsed != 0 || !context.reducedProgram()) {
      const int line = context.errorLine();
      failWith(status, statusPath, line);
      // The parser answers 2 when its stack would grow past its limit.
      return failed(parsed == 2 ? ParseFailure::StackLimit : ParseFailure::Syntax, line);
    }

    // Tree, results, comments and status are replaced together: a run
    // that fails part-way (a full disk, say) leaves the earlier ones.
    OutputUnit outputs(status);
    const parsetree::PieceTree& tree = context.tree();
    const parsetree::PieceList program = context.program().list;
    const bool treeWritten = outputs.add(treePath, true, [&](const std::string& path) {
      return xml::writeTreeFile(path, [&](xml::CompressedFileWriter& writer) {
        CompressorSink sink(writer);
        return tree.write(program, sink);
      });
    });
    context.releaseTree();
    // The results and comments files are extras where they cannot be made
    // at all; once made they belong to the unit.
    const bool written =
        treeWritten &&
        outputs.add(resultsPath, false, [&](const std::string& path) { return metrics.writeResults(path); }) &&
        outputs.add(commentsPath, false, [&](const std::string& path) { return comments.write(path); });
    if (written && outputs.commit("<ParseSuccess/>")) return ParseOutcome{0, ParseFailure::None, 0};
    outputs.discard();
    failWith(status, statusPath, lexer.line);
    return failed(ParseFailure::CannotWrite);
  } catch (const ScannerFatal& fatal) {
    std::fprintf(stderr, "%s\n", fatal.what());
    failWith(status, statusPath, lexer.line);
    return ParseOutcome{2, ParseFailure::ScannerFatal, lexer.line};
  } catch (const std::bad_alloc&) {
    failWith(status, statusPath, lexer.line);
    return failed(ParseFailure::OutOfMemory, lexer.line);
  } catch (const std::length_error&) {
    failWith(status, statusPath, lexer.line);
    return failed(ParseFailure::OutOfMemory, lexer.line);
  }
}

}  // namespace java
