// What a batch run keeps of one source file beside its drawings: how it
// parsed, its measures, and each method with the drawing made of it or
// the reason there is none.  The index page is made from these records,
// and a later run reuses a record made from the source as it is now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

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
};

struct FileRecord {
  enum class Status { Parsed, Syntax, Unreadable, Failed };
  Status status = Status::Parsed;
  int32_t problemLine = 0;
  std::string problem;
  std::optional<int64_t> nloc;
  std::optional<int64_t> halsteadVolume;
  int32_t languageLevel = 0;  // the level the source was read at
  bool partial = false;       // only the methods changed since a revision
  // The source as it was read, taken before reading it: a source changed
  // since (even while it was being drawn) no longer matches.
  uint64_t sourceSize = 0;
  int64_t sourceTime = 0;  // modification time, in the file clock's ticks
  std::vector<ClassRecord> classes;
  std::vector<MethodRecord> methods;

  size_t failedMethods() const;
};

// The record as text, and back; nullopt for text that is not a record.
std::string recordText(const FileRecord& record);
std::optional<FileRecord> parseRecord(std::string_view text);

}  // namespace cli
