#include "pipeline/parsed_source.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "flowchart/xml/tree_file.h"
#include "frontends/java/parse_java.h"

namespace pipeline {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Where the parser left the line of a syntax error.
int32_t errorLine(const std::string& statusPath) {
  const std::unique_ptr<xml::Document> status = xml::Document::loadFile(statusPath);
  if (!status) return 0;
  const xml::Node error = status->documentElement();
  if (!error || error.name() != "ParseError") return 0;
  const xml::Node line = error.attributeNamed("line");
  return line ? std::atoi(line.value().c_str()) : 0;
}

}  // namespace

std::optional<std::string> readSourceFile(const std::string& path, Problem& problem) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    problem.set(Problem::Kind::Unreadable, "no such file");
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
  std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
  if (!in) {
    problem.set(Problem::Kind::Unreadable, "cannot be read");
    return std::nullopt;
  }
  std::string text;
  char chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0) {
    text.append(chunk, got);
    if (text.size() > static_cast<size_t>(INT_MAX)) break;
  }
  if (std::ferror(in.get())) {
    problem.set(Problem::Kind::Unreadable, "cannot be read");
    return std::nullopt;
  }
  if (text.find('\0') != std::string::npos) {
    problem.set(Problem::Kind::Unreadable, "is a binary file, not Java source");
    return std::nullopt;
  }
  return text;
}

std::optional<ParsedSource> ParsedSource::parse(const std::string& sourcePath, Problem& problem) {
  std::optional<std::string> text = readSourceFile(sourcePath, problem);
  if (!text) return std::nullopt;
  std::string error;
  std::optional<WorkFolder> work = WorkFolder::create(&error);
  if (!work) {
    problem.set(Problem::Kind::Failed, error);
    return std::nullopt;
  }
  ParsedSource parsed(sourcePath, std::move(*work));
  const WorkFolder& folder = parsed.work_;
  const int result = java::parseJavaFile(sourcePath, folder.file("st.tmp"), folder.file("comments.xml"),
                                         folder.file("status.xml"), folder.file("results.xml"),
                                         /*enumSwitch=*/1);
  if (result != 0) {
    const int32_t line = errorLine(folder.file("status.xml"));
    if (line > 0) problem.set(Problem::Kind::Syntax, "does not parse as Java", line);
    else problem.set(Problem::Kind::Unreadable, "cannot be parsed");
    return std::nullopt;
  }
  parsed.results_ = xml::Document::loadFile(folder.file("results.xml"));
  std::optional<FileSummary> summary;
  if (parsed.results_) summary = readSummary(*parsed.results_);
  parsed.tree_ = xml::loadTreeDocument(folder.file("st.tmp"));
  if (!summary || !parsed.tree_) {
    problem.set(Problem::Kind::Failed, "the parser's results could not be read back");
    return std::nullopt;
  }
  parsed.summary_ = std::move(*summary);
  parsed.comments_ = xml::loadTreeDocument(folder.file("comments.xml"));
  parsed.charset_ = flowgraph::charsetOf(*text);
  parsed.lines_ = flowchart::SourceLines::fromText(std::move(*text), INT32_MAX);
  return parsed;
}

}  // namespace pipeline
