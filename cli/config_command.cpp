// flowchart config: the settings in force in the current folder, written
// as the settings file would hold them, each with where it came from.
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "text/json_text.h"

namespace cli {
namespace {

using config::Origin;
using config::Setting;

// A TOML basic string: JSON's escapes are TOML's.
std::string tomlString(std::string_view text) { return text::jsonLine(text::jsonText(text)); }

// "key = value", its origin in a comment after it; a setting without a
// value is a comment itself, saying so.
std::string line(std::string_view key, const std::optional<std::string>& value, const Origin& origin,
                 std::string_view none = "none") {
  std::string out = value ? std::string(key) + " = " + *value : "# " + std::string(key) + ": " + std::string(none);
  out.resize(std::max<size_t>(out.size() + 1, 36), ' ');
  return out + "# " + origin.text() + "\n";
}

std::string number(const Setting<std::optional<int64_t>>& setting, std::string_view key) {
  return line(key, setting.value ? std::optional(std::to_string(*setting.value)) : std::nullopt, setting.origin);
}

}  // namespace

CommandResult runConfig(const ConfigRequest& request) {
  const config::Settings& settings = request.settings;
  std::error_code ec;
  std::string out = "# the settings in force in " + std::filesystem::current_path(ec).generic_string() + "\n";
  out += settings.file.empty() ? "# no " + std::string(config::kFileName) + " here or in a folder above\n"
                               : "# read from " + settings.file.generic_string() + "\n";
  out += line("java", std::to_string(request.languageLevel.value), settings.java.origin);
  std::string globs;
  for (const std::string& glob : settings.exclude.value) globs += (globs.empty() ? "" : ", ") + tomlString(glob);
  out += line("exclude", settings.exclude.value.empty() ? std::nullopt : std::optional("[" + globs + "]"),
              settings.exclude.origin);
  out += "\n[thresholds]\n";
  out += number(settings.maxCc, "max-cc");
  out += number(settings.maxCognitive, "max-cognitive");
  out += number(settings.maxNloc, "max-nloc");
  out += number(settings.maxIncreaseCc, "max-increase-cc");
  out += number(settings.maxIncreaseCognitive, "max-increase-cognitive");
  out += "\n[site]\n";
  const Setting<std::string>& title = settings.siteTitle;
  out += line("title", title.value.empty() ? std::nullopt : std::optional(tomlString(title.value)), title.origin,
              "\"Flowcharts of\" the source folder's name");
  out += "\n[editor]\n";
  const Setting<std::string>& editor = settings.editor;
  out += line("url", editor.value.empty() ? std::nullopt : std::optional(tomlString(editor.value)), editor.origin);
  std::fputs(out.c_str(), stdout);
  return Finished{};
}

}  // namespace cli
