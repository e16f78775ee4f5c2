// The settings a repository keeps in .flowchart.toml: the thresholds check,
// diff and the editor server gate on, the paths they leave out, the Java
// level, the site's title and the editor URL.  The file is found from a
// folder upwards, as an .editorconfig is; the nearest one is read alone
// (there is no merging of several files, so no "root" key is needed).
// Each setting says where its value came from: the file and line, a flag
// of the command line, or the default.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors/problem.h"
#include "files/file_system.h"
#include "findings/finding.h"

namespace config {

inline constexpr std::string_view kFileName = ".flowchart.toml";

// The largest threshold a file or a flag may give.
inline constexpr int64_t kLargestThreshold = 1000000;

struct Origin {
  enum class Kind { Default, File, Flag };
  Kind kind = Kind::Default;
  std::string where;  // "../.flowchart.toml:4" or "--max-cc"; empty for the default

  static Origin flag(std::string name) { return {Kind::Flag, std::move(name)}; }
  // "default", or where.
  std::string text() const { return kind == Kind::Default ? "default" : where; }
};

template <class T>
struct Setting {
  T value{};
  Origin origin;

  // A value a flag of the command line gave, over the file's.
  void overrideBy(T given, std::string flag) {
    value = std::move(given);
    origin = Origin::flag(std::move(flag));
  }
};

struct Settings {
  std::filesystem::path file;  // the file read; empty when none was found
  // The folder excluded paths are relative to: the file's, else the one
  // the search started from.
  std::filesystem::path base;

  // [thresholds]: as check's and diff's flags, by the flags' names.
  Setting<std::optional<int64_t>> maxCc, maxCognitive, maxNloc, maxIncreaseCc, maxIncreaseCognitive;
  Setting<std::vector<std::string>> exclude;  // globs, relative to base
  Setting<std::optional<int>> java;           // the Java release sources are written for
  Setting<std::string> siteTitle;             // [site] title
  Setting<std::string> editor;                // [editor] url

  findings::Thresholds thresholds() const;
  // Whether a path (relative to the current folder, or absolute) is one
  // the excluded globs name, or lies in a folder they name.
  bool excludes(const std::filesystem::path& path) const;
};

// The settings of a file's text; a usage problem naming the file and the
// line for a TOML syntax error, an unknown key or a value of the wrong kind.
// shownName is how messages name the file.
errors::Result<Settings> parseSettings(std::string_view text, const std::string& shownName);

// The nearest .flowchart.toml in the folder or one above it; nullopt when
// there is none up to the file system's root.
std::optional<std::filesystem::path> findFile(files::FileSystem& disk, const std::filesystem::path& folder);

// The settings in force in the folder: those of the nearest file, else
// the defaults.  Messages name the file relative to the folder.
errors::Result<Settings> loadSettings(files::FileSystem& disk, const std::filesystem::path& folder);

// Why an editor URL is refused (it goes into pages as a link, so it must
// name its scheme and {line} and may not run script); nullopt when fine.
std::optional<std::string> editorUrlRefusal(std::string_view url);

// Whether a glob matches a path ('/'-separated): '*' any characters of a
// name, '?' one, "**" any folders (none too).
bool globMatches(std::string_view glob, std::string_view path);

}  // namespace config
