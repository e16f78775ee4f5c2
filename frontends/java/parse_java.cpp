#include "parse_java.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "xml/tree_file.h"
#include "files/atomic_file.h"
#include "frontends/java/output_unit.h"
#include "frontends/java/parse_context.h"
#include "frontends/java/source_parse.h"

namespace java {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Hands the tree text to the compressor as it is written.
class CompressorSink : public tree::TextSink {
 public:
  explicit CompressorSink(xml::CompressedFileWriter& writer) : writer_(writer) {}
  bool write(std::string_view bytes) override { return writer_.write(bytes); }

 private:
  xml::CompressedFileWriter& writer_;
};

bool finishStatus(files::AtomicFile& status, std::string_view text) {
  return status.write(text) && status.commit();
}

// Reports a failed parse in the status file.  A status that cannot be
// written any more is removed rather than left saying an earlier run
// succeeded.
int failWith(files::AtomicFile& status, const std::string& statusPath, int line) {
  const std::string text = "<ParseError line=\"" + std::to_string(line) + "\"/>";
  if (finishStatus(status, text) || files::writeAtomically(statusPath, text).ok()) return 1;
  std::error_code ec;
  if (!fs::is_directory(statusPath, ec)) fs::remove(statusPath, ec);
  return 1;
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

  files::AtomicFile status(statusPath);
  if (!status.open()) return failed(ParseFailure::CannotWrite);

  const uintmax_t size = fs::file_size(sourcePath, ec);
  ParseOptions options;
  options.languageLevel = languageLevel;
  options.enumKeyword = enumSwitch != 0;
  options.methodVolumes = methodVolumes;
  if (methodVolumes) options.implicitClass = implicitClassName(sourcePath);
  options.modificationTime = sourceModificationTime(sourcePath);
  SourceParse parse = SourceParse::ofFile(source.get(), ec ? 0 : size, options);
  const ParseStatus& outcome = parse.status();
  if (outcome.kind == ParseStatus::Kind::Fatal) {
    std::fprintf(stderr, "%s\n", outcome.message.c_str());
    failWith(status, statusPath, outcome.line);
    return ParseOutcome{2, ParseFailure::ScannerFatal, outcome.line};
  }
  if (!outcome.parsed()) {
    failWith(status, statusPath, outcome.line);
    return failed(outcome.failure, outcome.line);
  }

  try {
    // Tree, results, comments and status are replaced together: a run
    // that fails part-way (a full disk, say) leaves the earlier ones.
    OutputUnit outputs(status);
    const bool treeWritten = outputs.add(treePath, true, [&](const std::string& path) {
      return xml::writeTreeFile(path, [&](xml::CompressedFileWriter& writer) {
        CompressorSink sink(writer);
        return parse.writeTree(sink);
      });
    });
    parse.releaseTree();
    // The results and comments files are extras where they cannot be made
    // at all; once made they belong to the unit.
    const bool written =
        treeWritten &&
        outputs.add(resultsPath, false,
                    [&](const std::string& path) { return parse.metrics().writeResults(path); }) &&
        outputs.add(commentsPath, false,
                    [&](const std::string& path) { return parse.comments().write(path); });
    if (written && outputs.commit(outcome.text())) return ParseOutcome{0, ParseFailure::None, 0};
    outputs.discard();
    failWith(status, statusPath, parse.endLine());
    return failed(ParseFailure::CannotWrite);
  } catch (const std::bad_alloc&) {
    failWith(status, statusPath, parse.endLine());
    return failed(ParseFailure::OutOfMemory, parse.endLine());
  } catch (const std::length_error&) {
    failWith(status, statusPath, parse.endLine());
    return failed(ParseFailure::OutOfMemory, parse.endLine());
  }
}

}  // namespace java
