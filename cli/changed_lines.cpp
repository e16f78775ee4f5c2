#include "cli/changed_lines.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/text_output.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#endif

namespace cli {
namespace {

namespace fs = std::filesystem;

std::string canonicalText(const fs::path& path) {
  std::error_code ec;
  const fs::path canonical = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return (ec ? path : canonical).generic_string();
}

std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a git command; its standard output, or nullopt when it fails (git
// says why on standard error).
std::optional<std::string> runGit(const std::string& arguments, std::string& error) {
  const std::string command = "git " + arguments;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    error = "cannot run git";
    return std::nullopt;
  }
  std::string out;
  char chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, got);
  const int status = pclose(pipe);
  if (status != 0) {
    error = "git failed";
    return std::nullopt;
  }
  return out;
}

// A path as git writes it in a patch: plain, or in double quotes with C
// escapes (octal bytes among them).
std::string unquotedPath(std::string_view text) {
  if (text.size() < 2 || text.front() != '"') return std::string(text);
  std::string out;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] != '\\' || i + 2 >= text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    if (next >= '0' && next <= '7' && i + 2 < text.size()) {
      out += static_cast<char>(((next - '0') << 6) | ((text[i + 1] - '0') << 3) | (text[i + 2] - '0'));
      i += 2;
    } else {
      out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
  }
  return out;
}

int32_t numberAt(std::string_view text, size_t& at) {
  int32_t value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') value = value * 10 + (text[at++] - '0');
  return value;
}

}  // namespace

const ChangedLines::FileChanges* ChangedLines::find(const std::string& path) const {
  const auto found = files_.find(canonicalText(path));
  return found == files_.end() ? nullptr : &found->second;
}

bool ChangedLines::touchesFile(const std::string& path) const { return find(path) != nullptr; }

bool ChangedLines::touches(const std::string& path, int32_t first, int32_t last) const {
  const FileChanges* changes = find(path);
  if (!changes) return false;
  if (changes->whole) return true;
  for (const auto& [from, to] : changes->lines)
    if (from <= last && to >= first) return true;
  for (int32_t after : changes->deletedAfter)
    if (after >= first && after < last) return true;
  return false;
}

void ChangedLines::addPatch(const std::string& root, const std::string& patch) {
  FileChanges* current = nullptr;
  for (std::string_view line : splitText(patch, '\n')) {
    if (line.rfind("+++ ", 0) == 0) {
      std::string path = unquotedPath(line.substr(4));
      current = nullptr;
      if (path.rfind("b/", 0) != 0) continue;  // /dev/null: the file was removed
      current = &files_[canonicalText(fs::path(root) / path.substr(2))];
      continue;
    }
    if (!current || line.rfind("@@ -", 0) != 0) continue;
    // @@ -a[,b] +c[,d] @@: d lines from c are new; with d = 0, lines were
    // deleted after line c.
    size_t at = line.find(" +");
    if (at == std::string_view::npos) continue;
    at += 2;
    const int32_t start = numberAt(line, at);
    int32_t count = 1;
    if (at < line.size() && line[at] == ',') {
      ++at;
      count = numberAt(line, at);
    }
    if (count > 0) current->lines.emplace_back(start, start + count - 1);
    else current->deletedAfter.push_back(start);
  }
}

std::optional<ChangedLines> ChangedLines::since(const std::string& revision, const std::vector<std::string>& paths,
                                                std::string& error) {
  if (revision.empty() || revision[0] == '-') {
    error = "--changed-since takes a git revision, not '" + revision + "'";
    return std::nullopt;
  }
  ChangedLines changed;
  std::set<std::string> roots;
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::path folder = fs::is_directory(path, ec) ? fs::path(path) : fs::absolute(path, ec).parent_path();
    std::optional<std::string> top = runGit("-C " + shellQuoted(folder.string()) + " rev-parse --show-toplevel", error);
    if (!top) {
      error = path + ": not in a git repository";
      return std::nullopt;
    }
    while (!top->empty() && (top->back() == '\n' || top->back() == '\r')) top->pop_back();
    if (!roots.insert(*top).second) continue;
    const std::string git = "-C " + shellQuoted(*top) + " ";
    if (!runGit(git + "rev-parse --verify --quiet " + shellQuoted(revision + "^{commit}"), error)) {
      error = "unknown git revision '" + revision + "'";
      return std::nullopt;
    }
    std::string limits;
    for (const std::string& each : paths) limits += " " + shellQuoted(fs::absolute(each, ec).string());
    const std::optional<std::string> patch = runGit(
        git + "-c core.quotePath=false diff --no-color --no-ext-diff --no-renames -U0 " + shellQuoted(revision) +
            " --" + limits,
        error);
    if (!patch) return std::nullopt;
    changed.addPatch(*top, *patch);
    const std::optional<std::string> untracked =
        runGit(git + "ls-files -z --others --exclude-standard --full-name --" + limits, error);
    if (!untracked) return std::nullopt;
    for (std::string_view name : splitText(*untracked, '\0'))
      if (!name.empty()) changed.files_[canonicalText(fs::path(*top) / std::string(name))].whole = true;
  }
  return changed;
}

}  // namespace cli
