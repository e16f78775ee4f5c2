// The settings file's values taken into each command's request where the
// command line gave none, and the settings in force kept in it.
#include <variant>

#include "cli/command_line.h"

namespace cli {
namespace {

using config::Setting;
using config::Settings;

void takeLevel(LanguageLevel& level, Settings& settings) {
  if (level.given) settings.java.overrideBy(level.value, "--java");
  else if (settings.java.value) level.value = *settings.java.value;
}

void takeEditor(std::string& editor, Settings& settings) {
  if (!editor.empty()) settings.editor.overrideBy(editor, "--editor");
  else editor = settings.editor.value;
}

void takeThresholds(findings::Thresholds& given, Settings& settings) {
  const std::tuple<std::optional<int64_t>&, Setting<std::optional<int64_t>>&, const char*> thresholds[] = {
      {given.cyclomatic, settings.maxCc, "--max-cc"},
      {given.cognitive, settings.maxCognitive, "--max-cognitive"},
      {given.nloc, settings.maxNloc, "--max-nloc"},
      {given.cyclomaticRise, settings.maxIncreaseCc, "--max-increase-cc"},
      {given.cognitiveRise, settings.maxIncreaseCognitive, "--max-increase-cognitive"}};
  for (const auto& [flag, setting, name] : thresholds)
    if (flag) setting.overrideBy(flag, name);
  given = settings.thresholds();
}

// --exclude's globs in place of the file's; they are relative to the
// folder the command runs in.
void takeExclude(const std::vector<std::string>& globs, Settings& settings, const std::filesystem::path& folder) {
  if (globs.empty()) return;
  settings.exclude.overrideBy(globs, "--exclude");
  std::error_code ec;
  settings.base = std::filesystem::absolute(folder, ec).lexically_normal();
}

}  // namespace

errors::Status applySettings(Request& request, files::FileSystem& disk, const std::filesystem::path& folder) {
  if (std::holds_alternative<HelpRequest>(request) || std::holds_alternative<VersionRequest>(request) ||
      std::holds_alternative<IndexRequest>(request))
    return {};
  errors::Result<Settings> loaded = config::loadSettings(disk, folder);
  if (!loaded) return std::move(loaded).problem();
  Settings& settings = *loaded;
  if (auto* list = std::get_if<ListRequest>(&request)) {
    takeLevel(list->languageLevel, settings);
  } else if (auto* draw = std::get_if<DrawRequest>(&request)) {
    takeLevel(draw->languageLevel, settings);
    takeEditor(draw->editor, settings);
  } else if (auto* sequence = std::get_if<SequenceRequest>(&request)) {
    takeLevel(sequence->languageLevel, settings);
  } else if (auto* batch = std::get_if<BatchRequest>(&request)) {
    takeLevel(batch->languageLevel, settings);
    takeEditor(batch->editor, settings);
    takeExclude(batch->exclude, settings, folder);
    batch->settings = std::move(settings);
  } else if (auto* check = std::get_if<CheckRequest>(&request)) {
    takeLevel(check->languageLevel, settings);
    takeThresholds(check->thresholds, settings);
    takeExclude(check->exclude, settings, folder);
    check->settings = std::move(settings);
  } else if (auto* diff = std::get_if<DiffRequest>(&request)) {
    takeLevel(diff->languageLevel, settings);
    takeThresholds(diff->thresholds, settings);
    takeExclude(diff->exclude, settings, folder);
    diff->settings = std::move(settings);
  } else if (auto* shown = std::get_if<ConfigRequest>(&request)) {
    takeLevel(shown->languageLevel, settings);
    takeEditor(shown->editor, settings);
    takeThresholds(shown->thresholds, settings);
    takeExclude(shown->exclude, settings, folder);
    shown->settings = std::move(settings);
  }
  return {};
}

}  // namespace cli
