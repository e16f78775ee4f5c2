// The flowchart command's arguments, parsed into one struct per command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "config/settings.h"
#include "errors/problem.h"
#include "findings/finding.h"
#include "frontends/java/language_level.h"

namespace cli {

struct HelpRequest {
  std::string topic;  // empty for the overview
};
struct VersionRequest {};

// --fold: which constructs of a flowchart go on pages of their own: only
// what a page is too large for (auto), none, or every one.
enum class FoldMode { Auto, None, All };

// Every command reads sources at a Java language level: the release
// they are written for (below 6, the Java 5 grammar); given tells whether
// --java gave it, so that the settings file's level is taken otherwise.
struct LanguageLevel {
  int value = java::kNewestLanguageLevel;
  bool given = false;
  operator int() const { return value; }
};

struct ListRequest {
  std::string source;
  bool json = false;
  LanguageLevel languageLevel;
};

struct DrawRequest {
  std::string source;
  std::string method;  // METHOD or Class.METHOD, possibly with :LINE; empty for all
  std::string output;  // empty: the default name in the current folder
  LanguageLevel languageLevel;
  FoldMode fold = FoldMode::Auto;
  std::string sourceTree;  // --src: where the program's further classes are found; empty for none
  std::string editor;      // --editor: a URL opening the reader's editor at {path} and {line}; empty for none
};

struct SequenceRequest {
  std::string source;
  std::string method;      // METHOD or Class.METHOD, possibly with :LINE
  std::string output;      // empty: the default name in the current folder
  int depth = 1;           // levels of calls shown
  std::string sourceTree;  // --src: where further classes are found; empty for none
  size_t maxMessages = 200;
  LanguageLevel languageLevel;
  bool followImplementations = false;  // --follow-implementations
};

struct BatchRequest {
  std::string sourceDir;
  std::string outputDir;
  unsigned jobs = 0;  // 0: one per core
  bool force = false;
  bool quiet = false;
  bool sequence = false;  // a sequence diagram beside each flowchart
  // The forms beside each method's page (--format): "md", "mmd", "puml",
  // "png", "pdf"; the HTML page is always written.
  std::vector<std::string> formats;
  FoldMode fold = FoldMode::Auto;
  std::string changedSince;  // a git revision: only the methods changed since; empty for all
  LanguageLevel languageLevel;
  unsigned shard = 1, shards = 1;  // --shard K/N: the K-th of N shares of the files
  std::string editor;  // --editor, as for draw
  std::vector<std::string> exclude;  // --exclude GLOB: over the settings file's globs
  config::Settings settings;  // in force: the settings file's under the flags
};

// Merges batch outputs into one site.
struct IndexRequest {
  std::vector<std::string> outputDirs;
  std::string site;
};

struct CheckRequest {
  enum class Format { Text, Json, Sarif, CodeClimate, Markdown };
  std::vector<std::string> sources;  // files and folders
  findings::Thresholds thresholds;  // --max-cc, --max-cognitive, --max-nloc; none when not given
  Format format = Format::Text;
  std::string output;        // empty: standard output
  std::string changedSince;  // a git revision: only the methods changed since; empty for all
  LanguageLevel languageLevel;
  std::vector<std::string> exclude;  // --exclude GLOB: over the settings file's globs
  config::Settings settings;  // in force: the settings file's under the flags
};

// flowchart config: the settings in force in the current folder, the
// flags given over them.
struct ConfigRequest {
  findings::Thresholds thresholds;  // as diff's flags; none when not given
  LanguageLevel languageLevel;
  std::string editor;
  std::vector<std::string> exclude;  // --exclude GLOB
  config::Settings settings;  // in force
};

// flowchart diff: the control-flow changes between two git revisions (or a
// revision and the working tree), or between two files or two folders.
struct DiffRequest {
  std::vector<std::string> names;  // before "--": revisions, or OLD NEW, or a revision and paths
  std::vector<std::string> paths;  // after "--"
  bool pathsMarked = false;        // "--" was given
  std::string output;              // .json, .md, a folder; empty: a summary on standard output
  std::string link;                // --link: the prefix of the Markdown report's links to the sources
  // On changed and added methods, as check's; and --max-increase-*.
  findings::Thresholds thresholds;
  LanguageLevel languageLevel;
  std::vector<std::string> exclude;  // --exclude GLOB: over the settings file's globs
  config::Settings settings;  // in force: the settings file's under the flags
};

// flowchart lsp: the language server on standard input and output; the
// client's initializationOptions give the thresholds and Java release.
struct LspRequest {};

using Request = std::variant<HelpRequest, VersionRequest, ListRequest, DrawRequest, SequenceRequest, BatchRequest,
                             IndexRequest, CheckRequest, DiffRequest, ConfigRequest, LspRequest>;

// The request, or a usage problem saying why the arguments were refused.
using ParseResult = errors::Result<Request>;

ParseResult parseCommandLine(const std::vector<std::string>& arguments);

// The request with the settings in force: those of the settings file
// found from the folder upwards, where the command line gave none (a
// threshold, --java, --editor), and the rest of them (excluded paths,
// the site's title) for the commands that use them.  A usage problem
// naming the file and line when the file is refused.  Help, --version
// and index read no settings.
errors::Status applySettings(Request& request, files::FileSystem& disk, const std::filesystem::path& folder);

// The help text of a command, or the overview for an empty or unknown one.
std::string helpText(const std::string& topic);

// Whether the name is one of the commands (list, draw, sequence, batch,
// index, check, diff, config, lsp).
bool isCommand(std::string_view name);

// Exit codes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOverThreshold = 3;  // check, diff: a method is over a threshold

}  // namespace cli
