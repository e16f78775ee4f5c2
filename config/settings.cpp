#include "config/settings.h"

#include <algorithm>
#include <cctype>

#include <toml++/toml.h>

#include "frontends/java/language_level.h"
#include "text/text_output.h"

namespace config {
namespace {

namespace fs = std::filesystem;

// Reads one file's tables into settings, refusing what it does not know.
class Reader {
 public:
  Reader(std::string shownName, Settings& settings) : file_(std::move(shownName)), settings_(settings) {}

  errors::Status read(const toml::table& root) {
    for (auto&& [key, node] : root) {
      const std::string name(key.str());
      if (name == "thresholds") {
        if (errors::Status read = readThresholds(key, node); !read) return read;
      } else if (name == "site") {
        if (errors::Status read = readText(key, node, "title", settings_.siteTitle); !read) return read;
      } else if (name == "editor") {
        if (errors::Status read = readText(key, node, "url", settings_.editor); !read) return read;
        if (settings_.editor.origin.kind == Origin::Kind::File)
          if (std::optional<std::string> refusal = editorUrlRefusal(settings_.editor.value))
            return refuse(lineOf(*root["editor"]["url"].node()), "[editor] url " + *refusal);
      } else if (name == "java") {
        if (errors::Status read = readJava(node); !read) return read;
      } else if (name == "exclude") {
        if (errors::Status read = readExclude(node); !read) return read;
      } else {
        return refuse(lineOf(key), "unknown key '" + name + "'; the keys are java, exclude, [thresholds], [site] and [editor]");
      }
    }
    return {};
  }

 private:
  static int32_t lineOf(const toml::key& key) { return static_cast<int32_t>(key.source().begin.line); }
  static int32_t lineOf(const toml::node& node) { return static_cast<int32_t>(node.source().begin.line); }

  errors::Problem refuse(int32_t line, const std::string& message) const {
    return errors::Problem(errors::Problem::Kind::Usage, text::located(file_, line, message), line);
  }

  Origin at(int32_t line) const { return {Origin::Kind::File, file_ + ":" + std::to_string(line)}; }

  const toml::table* tableOf(const toml::key& key, const toml::node& node, errors::Problem& problem) const {
    const toml::table* table = node.as_table();
    if (!table) {
      std::string message = "'";
      message.append(key.str()).append("' is a table: write [").append(key.str()).append("] and its keys below it");
      problem = refuse(lineOf(node), message);
    }
    return table;
  }

  errors::Status readThresholds(const toml::key& key, const toml::node& node) {
    errors::Problem problem;
    const toml::table* table = tableOf(key, node, problem);
    if (!table) return problem;
    const std::pair<const char*, Setting<std::optional<int64_t>>*> known[] = {
        {"max-cc", &settings_.maxCc},
        {"max-cognitive", &settings_.maxCognitive},
        {"max-nloc", &settings_.maxNloc},
        {"max-increase-cc", &settings_.maxIncreaseCc},
        {"max-increase-cognitive", &settings_.maxIncreaseCognitive}};
    for (auto&& [name, value] : *table) {
      const auto found = std::find_if(std::begin(known), std::end(known),
                                      [&](const auto& entry) { return name.str() == entry.first; });
      if (found == std::end(known))
        return refuse(lineOf(name), "unknown key '" + std::string(name.str()) +
                                        "' in [thresholds]; the keys are max-cc, max-cognitive, max-nloc, "
                                        "max-increase-cc and max-increase-cognitive");
      const std::optional<int64_t> number = value.value<int64_t>();
      if (!value.is_integer() || !number || *number < 0 || *number > kLargestThreshold)
        return refuse(lineOf(value), std::string(found->first) + " takes a whole number from 0 to " +
                                         std::to_string(kLargestThreshold));
      found->second->value = *number;
      found->second->origin = at(lineOf(value));
    }
    return {};
  }

  // A table of one string key: [site] title, [editor] url.
  errors::Status readText(const toml::key& key, const toml::node& node, std::string_view only,
                          Setting<std::string>& setting) {
    errors::Problem problem;
    const toml::table* table = tableOf(key, node, problem);
    if (!table) return problem;
    for (auto&& [name, value] : *table) {
      if (name.str() != only)
        return refuse(lineOf(name), "unknown key '" + std::string(name.str()) + "' in [" + std::string(key.str()) +
                                        "]; its key is " + std::string(only));
      const std::optional<std::string> text = value.value<std::string>();
      if (!value.is_string() || !text) return refuse(lineOf(value), std::string(only) + " takes a string");
      setting.value = *text;
      setting.origin = at(lineOf(value));
    }
    return {};
  }

  // java = 17, or "17", or "1.8" as Java's own tools write it.
  errors::Status readJava(const toml::node& node) {
    std::optional<int64_t> release;
    if (node.is_integer()) {
      release = node.value<int64_t>();
    } else if (const std::optional<std::string> text = node.value<std::string>(); node.is_string() && text) {
      std::string_view digits = *text;
      if (digits.rfind("1.", 0) == 0) digits.remove_prefix(2);
      if (!digits.empty() && digits.size() < 4 &&
          std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        release = std::stoi(std::string(digits));
    }
    if (!release || *release < 1 || *release > java::kNewestLanguageLevel)
      return refuse(lineOf(node), "java takes a Java release from 1 to " + std::to_string(java::kNewestLanguageLevel));
    settings_.java.value = static_cast<int>(*release);
    settings_.java.origin = at(lineOf(node));
    return {};
  }

  errors::Status readExclude(const toml::node& node) {
    const toml::array* globs = node.as_array();
    if (!globs) return refuse(lineOf(node), "exclude takes a list of globs, such as [\"**/generated/**\"]");
    std::vector<std::string> read;
    for (const toml::node& glob : *globs) {
      const std::optional<std::string> text = glob.value<std::string>();
      if (!glob.is_string() || !text || text->empty())
        return refuse(lineOf(glob), "exclude takes a list of globs, such as [\"**/generated/**\"]");
      read.push_back(*text);
    }
    settings_.exclude.value = std::move(read);
    settings_.exclude.origin = at(lineOf(node));
    return {};
  }

  std::string file_;
  Settings& settings_;
};

// Whether one name matches a glob without '/': '*' any characters, '?' one.
bool nameMatches(std::string_view glob, std::string_view name) {
  size_t g = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (g < glob.size() && (glob[g] == '?' || glob[g] == name[n])) {
      ++g;
      ++n;
    } else if (g < glob.size() && glob[g] == '*') {
      star = g++;
      resume = n;
    } else if (star != std::string_view::npos) {
      g = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (g < glob.size() && glob[g] == '*') ++g;
  return g == glob.size();
}

std::vector<std::string_view> namesOf(std::string_view path) {
  std::vector<std::string_view> names;
  for (size_t at = 0; at <= path.size();) {
    const size_t slash = std::min(path.find('/', at), path.size());
    if (slash > at) names.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  return names;
}

bool namesMatch(const std::vector<std::string_view>& glob, size_t g, const std::vector<std::string_view>& path,
                size_t p) {
  if (g == glob.size()) return p == path.size();
  if (glob[g] == "**") {
    for (size_t skip = p; skip <= path.size(); ++skip)
      if (namesMatch(glob, g + 1, path, skip)) return true;
    return false;
  }
  return p < path.size() && nameMatches(glob[g], path[p]) && namesMatch(glob, g + 1, path, p + 1);
}

}  // namespace

findings::Thresholds Settings::thresholds() const {
  findings::Thresholds thresholds;
  thresholds.cyclomatic = maxCc.value;
  thresholds.cognitive = maxCognitive.value;
  thresholds.nloc = maxNloc.value;
  thresholds.cyclomaticRise = maxIncreaseCc.value;
  thresholds.cognitiveRise = maxIncreaseCognitive.value;
  return thresholds;
}

bool globMatches(std::string_view glob, std::string_view path) {
  return namesMatch(namesOf(glob), 0, namesOf(path), 0);
}

bool Settings::excludes(const fs::path& path) const {
  if (exclude.value.empty()) return false;
  std::error_code ec;
  const fs::path relative = fs::absolute(path, ec).lexically_normal().lexically_relative(base);
  const std::string generic = relative.generic_string();
  if (generic.empty() || generic == "." || generic.rfind("..", 0) == 0) return false;
  // The path itself or one of the folders it lies in; a glob without a
  // '/' names a file or folder at any depth, as in .gitignore.
  std::vector<std::string_view> names = namesOf(generic);
  for (const std::string& glob : exclude.value) {
    std::vector<std::string_view> globNames = namesOf(glob);
    if (glob.find('/') == std::string::npos) globNames.insert(globNames.begin(), "**");
    for (size_t length = names.size(); length > 0; --length)
      if (namesMatch(globNames, 0, std::vector<std::string_view>(names.begin(), names.begin() + length), 0))
        return true;
  }
  return false;
}

errors::Result<Settings> parseSettings(std::string_view text, const std::string& shownName) {
  Settings settings;
  toml::table root;
  try {
    root = toml::parse(text, shownName);
  } catch (const toml::parse_error& error) {
    const int32_t line = static_cast<int32_t>(error.source().begin.line);
    return errors::Problem(errors::Problem::Kind::Usage,
                           text::located(shownName, line, "not TOML: " + std::string(error.description())), line);
  }
  if (errors::Status read = Reader(shownName, settings).read(root); !read) return std::move(read).problem();
  return settings;
}

std::optional<fs::path> findFile(files::FileSystem& disk, const fs::path& folder) {
  std::error_code ec;
  for (fs::path at = fs::absolute(folder, ec).lexically_normal();; at = at.parent_path()) {
    const fs::path candidate = at / kFileName;
    if (disk.exists(candidate) && !disk.isFolder(candidate)) return candidate;
    if (at == at.root_path() || at.parent_path() == at) return std::nullopt;
  }
}

errors::Result<Settings> loadSettings(files::FileSystem& disk, const fs::path& folder) {
  std::error_code ec;
  const fs::path start = fs::absolute(folder, ec).lexically_normal();
  const std::optional<fs::path> file = findFile(disk, start);
  if (!file) {
    Settings settings;
    settings.base = start;
    return settings;
  }
  const std::string shown = file->lexically_relative(start).generic_string();
  errors::Result<std::string> text = disk.readFile(*file);
  if (!text) {
    return errors::Problem(errors::Problem::Kind::Usage,
                           shown + ": cannot be read: " + text.problem().message);
  }
  errors::Result<Settings> settings = parseSettings(*text, shown.empty() ? file->string() : shown);
  if (!settings) return settings;
  settings->file = *file;
  settings->base = file->parent_path();
  return settings;
}

std::optional<std::string> editorUrlRefusal(std::string_view url) {
  const size_t colon = url.find(':');
  std::string scheme(url.substr(0, colon == std::string_view::npos ? 0 : colon));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool named = !scheme.empty() && std::isalpha(static_cast<unsigned char>(scheme[0])) &&
                     std::all_of(scheme.begin(), scheme.end(), [](char c) {
                       return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
                     });
  const bool plain = std::none_of(url.begin(), url.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '<' || c == '>' || c == '\\';
  });
  if (!named || !plain || url.find("{line}") == std::string_view::npos || scheme == "javascript" ||
      scheme == "data" || scheme == "vbscript")
    return "takes a URL with its scheme and {line} (and usually {path}), such as vscode://file/{path}:{line}, not '" +
           std::string(url) + "'";
  return std::nullopt;
}

}  // namespace config
