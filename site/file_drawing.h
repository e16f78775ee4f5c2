// The site's work on one source file: found in the tree, kept when an
// earlier run's record and drawings still stand, else parsed and drawn,
// each method's page and other forms written, and its record last.  Every
// write goes through the file-system seam, so that a test gives a full
// disk without being root.  What happens is told as typed events.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "files/file_system.h"
#include "flowdraw/pages.h"
#include "git/changed_lines.h"
#include "site/file_record.h"

namespace site {

// What the site's run asks of each file.
struct DrawingRequest {
  int languageLevel = 0;
  unsigned shard = 1, shards = 1;
  bool force = false;
  bool sequence = false;                // a sequence diagram beside each flowchart
  std::vector<std::string> formats;     // the forms beside each page: "md", "mmd", "puml", "png", "pdf"
  flowdraw::Fold fold = flowdraw::Fold::Auto;
  std::string editor;                   // the URL a box opens the source in; empty for none
  std::string title;                    // the site's; empty: "Flowcharts of" the source folder's name
  // The sources the run leaves out (the settings' excluded paths); none when empty.
  std::function<bool(const std::filesystem::path& source)> leavesOut;
};

// One source file of the tree and where its drawings go.
struct SourceFile {
  std::filesystem::path source;
  std::string relative;                // below the source folder, with '/'
  std::filesystem::path outputFolder;  // OUT_DIR/files/<relative>/: its page and its drawings
  std::filesystem::path recordFile;    // OUT_DIR/site/records/<relative>/record.json
  uint64_t size = 0;
  bool drawWhole = false;              // in a run of the changed methods, drawn whole all the same
  std::optional<FileRecord> record;    // the kept record, or the new one
};

// What the walk of the source tree met besides sources: folders and
// files it cannot read (failures of the run) and entries it skips, such
// as FIFOs, devices and dangling symbolic links (said, not failures).
struct TreeProblems {
  std::vector<std::string> unreadable;
  std::vector<std::string> skipped;
};

// Every .java file below the folder, by path; the output folder is left
// out when it lies inside.
std::vector<SourceFile> findSources(files::FileSystem& disk, const std::filesystem::path& root,
                                    const std::filesystem::path& output, TreeProblems& problems);

// The record an earlier run left of the file, when it is whole; a record
// cut short or damaged is said in damaged (the file is then drawn again),
// one of an older version is drawn again without a word.
std::optional<FileRecord> earlierRecord(files::FileSystem& disk, const SourceFile& file, std::string* damaged);

// Whether the drawings a record names are all there, with the file's page.
bool drawingsThere(files::FileSystem& disk, const SourceFile& file, const FileRecord& record);

// A record made from the source as it is now (its size and modification
// time as they were before it was read), whose drawings are all there
// (with the sequence diagrams and other forms asked for), is kept.
std::optional<FileRecord> keptRecord(files::FileSystem& disk, const SourceFile& file, const DrawingRequest& request,
                                     std::string& damaged);

// A method fails when its drawing, its sequence diagram (when asked for)
// or one of its other forms could not be made.
bool methodFailed(const MethodRecord& method);

// What the work on a file tells as it goes.
struct MethodDone {
  bool failed = false;
};
struct Said {
  std::string message;  // for the user, FILE:LINE: message
};
struct FileFailed {};
// The machine cut the file's work short (a full disk, no memory): it gets
// no record, so that the next run draws it again.
struct FileCutShort {
  std::string why;
};
using FileEvent = std::variant<MethodDone, Said, FileFailed, FileCutShort>;
using FileEvents = std::function<void(const FileEvent& event)>;

// An event as one line for a worker's pipe, and back; nullopt for a line
// of no event.
std::string eventLine(const FileEvent& event);
std::optional<FileEvent> eventFromLine(std::string_view line);

// Draws the file: its pages, other forms and record, through disk.  With
// changed, only the methods it touches (and those of a file drawn before
// that no longer stand).  stopRequested is asked between methods: when it
// says so, the file is left unrecorded.
void drawFile(files::FileSystem& disk, const SourceFile& file, const DrawingRequest& request,
              const git::ChangedLines* changed, const FileEvents& report,
              const std::function<bool()>& stopRequested);

}  // namespace site
