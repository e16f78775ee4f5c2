// What a batch run keeps of one source file beside its drawings: how it
// parsed, its measures, and each method with the drawing made of it or
// the reason there is none.  The index page is made from these records,
// and a later run reuses a record made from the source as it is now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors/problem.h"

namespace site {

struct ClassRecord {
  std::string name;  // qualified, UTF-8
  std::string kind;  // "class", "interface", "enum", "anonymous class"
  int32_t line = 0;
  int32_t endLine = 0;
  std::optional<int64_t> nloc;
};

struct MethodRecord {
  size_t classIndex = 0;
  std::string name;     // "Class.method", UTF-8
  int32_t line = 0;
  int32_t endLine = 0;
  std::optional<int64_t> nloc;
  std::optional<int64_t> complexity;  // cyclomatic, as checkstyle counts it
  std::optional<int64_t> cognitive;
  std::optional<int64_t> halsteadVolume;
  std::string drawing;   // file name beside the record; empty when it failed
  std::string problem;   // why there is no drawing
  std::string sequence;  // its sequence diagram beside the record; empty for none
  // Its other forms beside the record (batch --format): "<stem>.md", ".png", ...
  std::vector<std::string> exports;
  // The forms asked for that could not be made (a PNG too tall), and why:
  // a failure of the method's output, reported again by each run that
  // keeps the record rather than made again for nothing.
  std::vector<std::string> failedExports;
  std::string exportProblem;
};

// A name batch gives one of a method's other forms: a plain file name
// ending in .md, .mmd, .puml, .png or .pdf.
bool isExportName(std::string_view name);

struct FileRecord {
  enum class Status { Parsed, Syntax, Unreadable, Failed };
  Status status = Status::Parsed;
  int32_t problemLine = 0;
  std::string problem;
  std::optional<int64_t> nloc;
  std::optional<int64_t> halsteadVolume;
  int32_t languageLevel = 0;  // the level the source was read at
  bool partial = false;       // only the methods changed since a revision
  uint32_t shard = 1, shards = 1;  // drawn by the run of --shard shard/shards
  // The source as it was read, taken before reading it: a source changed
  // since (even while it was being drawn) no longer matches.
  uint64_t sourceSize = 0;
  int64_t sourceTime = 0;  // modification time, in the file clock's ticks
  std::vector<ClassRecord> classes;
  std::vector<MethodRecord> methods;

  size_t failedMethods() const;
};

// The record as JSON on one line, and back.  Its last member is a
// checksum of the others, so that a record cut short or damaged is told
// from a whole one: parseRecord gives a problem for it, saying why in
// words ("cut short", "damaged (...)", "written by an older version of
// flowchart"); such a record's source is drawn again.
std::string recordText(const FileRecord& record);
errors::Result<FileRecord> parseRecord(std::string_view text);

// Whether a record may name the file as a drawing: a plain file name in
// the file's folder ending in ".html", never the file's own page.
bool isDrawingName(std::string_view name);

// Whether the text is a source's path as the site keeps it: relative, with
// '/', no empty, "." or ".." part, ending in ".java".
bool isSourcePath(std::string_view relative);

// What a batch run or a merge says of the whole site (site/site.json): its
// title, which shares of the tree it covers, and the files its index
// shows, which are the files a merge takes from it.
struct SiteInfo {
  std::string title;  // UTF-8
  uint32_t shards = 1;
  std::vector<uint32_t> covered = {1};  // the shares of shards it holds, ascending
  std::vector<std::string> files;       // paths below the source folder, as batch sorts them
};
std::string siteInfoText(const SiteInfo& info);
errors::Result<SiteInfo> parseSiteInfo(std::string_view text);

}  // namespace site
