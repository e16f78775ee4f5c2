#include "git/changed_lines.h"

#include <cerrno>
#include <filesystem>
#include <map>

#include "git/git_run.h"
#include "text/text_output.h"

namespace git {

using text::splitText;

namespace {

namespace fs = std::filesystem;

std::string canonicalText(const fs::path& path) {
  std::error_code ec;
  const fs::path canonical = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return (ec ? path : canonical).generic_string();
}

constexpr const char* kNoGit = "cannot run git, which --changed-since reads the changes with: it is not installed "
                               "or not on the PATH";

// A path as git writes it after "+++ " in a patch: in double quotes with
// C escapes (octal bytes among them) when it holds a quote, a backslash or
// a control character, else as it is, followed by a tab when it holds a
// space (a tab in a name is always quoted, so a last tab is git's).
std::string patchPath(std::string_view text) {
  if (text.size() < 2 || text.front() != '"') {
    if (!text.empty() && text.back() == '\t') text.remove_suffix(1);
    return std::string(text);
  }
  const size_t close = text.rfind('"');
  if (close > 0) text = text.substr(0, close + 1);
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
      continue;
    }
    switch (next) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'a': out += '\a'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'v': out += '\v'; break;
      default: out += next;
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
  // A file's header runs from "diff --git" to its first hunk; only there
  // is "+++ " a name, since in a hunk it is an added line "++ ...".
  bool inHeader = false;
  for (std::string_view line : splitText(patch, '\n')) {
    if (line.rfind("diff --git ", 0) == 0) {
      inHeader = true;
      current = nullptr;
      continue;
    }
    if (inHeader && line.rfind("+++ ", 0) == 0) {
      std::string path = patchPath(line.substr(4));
      current = nullptr;
      if (path.rfind("b/", 0) != 0) continue;  // /dev/null: the file was removed
      current = &files_[canonicalText(fs::path(root) / path.substr(2))];
      continue;
    }
    if (line.rfind("@@ -", 0) == 0) inHeader = false;
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

errors::Result<ChangedLines> ChangedLines::since(const std::string& revision,
                                                 const std::vector<std::string>& paths) {
  const auto refused = [](std::string why) { return errors::Problem(errors::Problem::Kind::Usage, std::move(why)); };
  if (revision.empty() || revision[0] == '-') {
    return refused("--changed-since takes a git revision, not '" + revision + "'");
  }
  // The paths by the repository holding them: each repository is asked
  // about its own paths only.
  std::map<std::string, std::vector<std::string>> byRepository;
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::path folder = fs::is_directory(path, ec) ? fs::path(path) : fs::absolute(path, ec).parent_path();
    const GitOutcome top = runGit({"-C", folder.string(), "rev-parse", "--show-toplevel"});
    if (!top) return refused(kNoGit);
    if (!top->succeeded())
      return refused(path + ": not in a git repository" + gitSays(top) + "; --changed-since needs the sources' repository");
    // The top folder exactly as git wrote it, but for the line break after
    // it: a folder's name may end in a line break of its own.
    std::string root = top->out;
    if (!root.empty() && root.back() == '\n') root.pop_back();
    byRepository[root].push_back(fs::absolute(path, ec).string());
  }
  ChangedLines changed;
  for (const auto& [top, limits] : byRepository) {
    const std::string where = byRepository.size() > 1 ? " in the repository " + top : "";
    // Paths are taken literally: a folder named "a[1]" or "*" is no pattern.
    const std::vector<std::string> git = {"--literal-pathspecs", "-C", top, "-c", "core.quotePath=false"};
    const auto withPaths = [&](std::vector<std::string> arguments) {
      arguments.insert(arguments.begin(), git.begin(), git.end());
      arguments.push_back("--");
      arguments.insert(arguments.end(), limits.begin(), limits.end());
      return arguments;
    };
    std::vector<std::string> verify = git;
    verify.insert(verify.end(), {"rev-parse", "--verify", "--quiet", revision + "^{commit}"});
    if (!succeeded(runGit(verify))) {
      return refused("unknown git revision '" + revision + "'" + where);
    }
    // The patch, with the options that make it plain whatever the user's
    // configuration: no colours, external or text-converting diff tools,
    // renames or other prefixes, and every file as text.
    const GitOutcome patch = runGit(withPaths({"diff", "--no-color", "--no-ext-diff", "--no-textconv", "--no-renames",
                                            "--text", "--src-prefix=a/", "--dst-prefix=b/", "-U0", revision}));
    // The files changed with their exact names, NUL-separated: a file with
    // added or deleted lines whose patch was not read counts as changed
    // throughout, so that nothing changed is ever passed over.
    const GitOutcome counts = runGit(withPaths({"diff", "--numstat", "-z", "--no-renames", "--text", revision}));
    const GitOutcome untracked = runGit(withPaths({"ls-files", "-z", "--others", "--exclude-standard", "--full-name"}));
    for (const GitOutcome* run : {&patch, &counts, &untracked})
      if (!succeeded(*run)) {
        return refused("git failed to list the changes since '" + revision + "'" + where + gitSays(*run));
      }
    changed.addPatch(top, patch->out);
    for (std::string_view entry : splitText(counts->out, '\0')) {
      // "ADDED<tab>DELETED<tab>PATH"; "-" for the counts of a binary file.
      const size_t first = entry.find('\t');
      const size_t second = first == std::string_view::npos ? first : entry.find('\t', first + 1);
      if (second == std::string_view::npos) continue;
      const std::string_view added = entry.substr(0, first), deleted = entry.substr(first + 1, second - first - 1);
      if (added == "0" && deleted == "0") continue;
      FileChanges& file = changed.files_[canonicalText(fs::path(top) / std::string(entry.substr(second + 1)))];
      if (file.lines.empty() && file.deletedAfter.empty()) file.whole = true;
    }
    for (std::string_view name : splitText(untracked->out, '\0'))
      if (!name.empty()) changed.files_[canonicalText(fs::path(top) / std::string(name))].whole = true;
  }
  return changed;
}

}  // namespace git
