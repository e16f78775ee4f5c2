#include "cli/diff_sources.h"

#include <filesystem>
#include <set>

#include "cli/git_run.h"
#include "cli/method_measures.h"
#include "cli/method_signature.h"
#include "files/latin1.h"
#include "pipeline/method_flow.h"
#include "pipeline/method_sequence.h"
#include "pipeline/parsed_source.h"
#include "site/java_files.h"
#include "text/json_text.h"
#include "text/text_output.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

errors::Problem usage(std::string why) { return errors::Problem(errors::Problem::Kind::Usage, std::move(why)); }

bool isJava(const std::string& path) { return path.size() > 5 && path.compare(path.size() - 5, 5, ".java") == 0; }

// The flow's texts in UTF-8, as the reports write them.
void toUtf8(cfg::MethodFlow& flow) {
  for (cfg::Graph& graph : flow.graphs) {
    graph.title = files::latin1ToUtf8(graph.title);
    for (cfg::Node& node : graph.nodes) node.text = files::latin1ToUtf8(node.text);
    for (cfg::Edge& edge : graph.edges) edge.label = files::latin1ToUtf8(edge.label);
  }
  flow.className = files::latin1ToUtf8(flow.className);
  flow.method = files::latin1ToUtf8(flow.method);
}

// The methods of one source text of one side; a problem when it does not
// parse, or when it is binary.
errors::Result<std::vector<diff::MethodVersion>> methodsOf(const std::string& path, std::string source,
                                                          const DiffReading& reading) {
  if (source.find('\0') != std::string::npos)
    return errors::Problem(errors::Problem::Kind::Unreadable, "a binary file, not compared");
  errors::Result<pipeline::ParsedSource> parsed =
      pipeline::ParsedSource::parseText(path, std::move(source), reading.languageLevel);
  if (!parsed) return std::move(parsed).problem();
  const bool latin1 = parsed->charset() == text::Charset::Latin1;
  const MeasuredSource measured = measureSource(*parsed);
  const pipeline::FileSummary& summary = parsed->summary();
  std::optional<pipeline::SequenceSources> classes;
  std::vector<diff::MethodVersion> methods;
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    const pipeline::MethodSummary& method = summary.methods[m];
    diff::MethodVersion version;
    version.file = text::validUtf8(path);
    version.className = utf8Text(summary.classes[method.classIndex].qualifiedName, parsed->charset());
    version.method = utf8Text(pipeline::shownName(method), parsed->charset());
    if (!method.isInitializer())
      for (const std::string& type : parameterTypes(method.signature, method.name))
        version.parameterTypes.push_back(utf8Text(type, parsed->charset()));
    version.signature = method.isInitializer() ? version.method : withParameterTypes(version.method, version.parameterTypes);
    const metrics::MethodMeasures* found = measured.byMethod[m];
    version.line = found ? found->nameLine : method.line;
    if (const metrics::MethodMeasures* measures = measured.withBody(m))
      version.measures = diff::Measures{measures->cyclomatic, measures->cognitive, method.nloc.value_or(measures->nloc)};
    errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(*parsed, method);
    if (flow) {
      if (latin1) toUtf8(*flow);
      flow->file = version.file;
      version.flow = std::move(*flow);
    } else if (flow.problem().kind != errors::Problem::Kind::NoBody) {
      return errors::Problem(flow.problem().kind, flow.problem().message, flow.problem().line);
    }
    if (reading.messages) {
      version.sourceLine = method.line;
      for (int32_t line = method.line; line <= method.endLine; ++line)
        version.source.push_back(utf8Text(parsed->lines().line(line), parsed->charset()));
    }
    if (reading.messages && version.flow) {
      if (!classes) classes.emplace(*parsed, std::string());
      errors::Result<pipeline::MethodSequence> sequence = pipeline::planMethodSequence(*classes, method, {});
      if (sequence)
        for (const sequence::Message& message : sequence->diagram.messages) {
          if (message.kind == sequence::Message::Kind::Return) continue;
          const std::string& to = sequence->diagram.lifelines[message.to].label;
          version.messages.push_back(utf8Text(
              message.kind == sequence::Message::Kind::Create ? "new " + to : to + ": " + message.text,
              parsed->charset()));
        }
    }
    methods.push_back(std::move(version));
  }
  return methods;
}

// One file of each side (either missing for a file added or removed
// whole); a side that cannot be read or parsed is a failure, and the
// other side's methods are then left out too, so that nothing is listed
// for a file that was not compared.
struct FilePair {
  std::optional<std::string> basePath, headPath;
  std::optional<std::string> baseText, headText;
  std::string baseWhy, headWhy;  // why a text is missing that should be there
};

void compareFiles(std::vector<FilePair>& pairs, const DiffReading& reading, DiffSides& sides) {
  for (FilePair& pair : pairs) {
    errors::Result<std::vector<diff::MethodVersion>> base = std::vector<diff::MethodVersion>();
    errors::Result<std::vector<diff::MethodVersion>> head = std::vector<diff::MethodVersion>();
    if (pair.basePath) {
      if (pair.baseText) base = methodsOf(*pair.basePath, std::move(*pair.baseText), reading);
      else base = errors::Problem(errors::Problem::Kind::Unreadable, pair.baseWhy);
    }
    if (pair.headPath) {
      if (pair.headText) head = methodsOf(*pair.headPath, std::move(*pair.headText), reading);
      else head = errors::Problem(errors::Problem::Kind::Unreadable, pair.headWhy);
    }
    ++sides.files;
    bool failed = false;
    if (!base) {
      sides.failures.push_back({sides.base.name, *pair.basePath, base.problem().line, base.problem().message});
      failed = true;
    }
    if (!head) {
      sides.failures.push_back({sides.head.name, *pair.headPath, head.problem().line, head.problem().message});
      failed = true;
    }
    if (failed) continue;
    for (diff::MethodVersion& method : *base) sides.base.methods.push_back(std::move(method));
    for (diff::MethodVersion& method : *head) sides.head.methods.push_back(std::move(method));
    if (pair.basePath && pair.headPath && *pair.basePath != *pair.headPath)
      sides.renamedFiles[text::validUtf8(*pair.basePath)] = text::validUtf8(*pair.headPath);
  }
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

constexpr const char* kNoGit = "cannot run git, which diff reads the revisions with: it is not installed or not on the PATH";

}  // namespace

bool isRevision(const std::string& name) {
  if (name.empty() || name[0] == '-') return false;
  return runGit({"rev-parse", "--verify", "--quiet", name + "^{commit}"}).succeeded();
}

errors::Result<DiffSides> readRevisions(const std::string& base, const std::optional<std::string>& head,
                                        const std::vector<std::string>& paths, const DiffReading& reading) {
  const GitRun top = runGit({"rev-parse", "--show-toplevel"});
  if (!top.status) return usage(kNoGit);
  if (!top.succeeded()) return usage("the current folder is not in a git repository" + gitSays(top) +
                                     "; diff compares revisions of it, or two files or folders");
  const std::string root = trimmed(top.out);
  for (const std::string* revision : {&base, head ? &*head : nullptr}) {
    if (!revision) continue;
    if (revision->empty() || (*revision)[0] == '-' || !isRevision(*revision))
      return usage("unknown git revision '" + *revision + "'");
  }
  const std::vector<std::string> git = {"--literal-pathspecs", "-C", root, "-c", "core.quotePath=false"};
  const auto withPaths = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), git.begin(), git.end());
    arguments.push_back("--");
    std::error_code ec;
    for (const std::string& path : paths) arguments.push_back(fs::absolute(path, ec).string());
    return arguments;
  };
  std::vector<std::string> changes = {"diff", "--name-status", "-z", "-M", "--no-color", "--no-ext-diff", base};
  if (head) changes.push_back(*head);
  const GitRun listed = runGit(withPaths(changes));
  if (!listed.succeeded()) return usage("git could not list the changes since '" + base + "'" + gitSays(listed));
  DiffSides sides;
  sides.base.name = base;
  sides.head.name = head ? *head : "working tree";
  std::vector<FilePair> pairs;
  const std::vector<std::string_view> fields = text::splitText(listed.out, '\0');
  for (size_t k = 0; k + 1 < fields.size();) {
    const std::string_view status = fields[k];
    if (status.empty()) break;
    FilePair pair;
    const char what = status[0];
    if (what == 'R' || what == 'C') {
      if (k + 2 >= fields.size()) break;
      if (what == 'R') pair.basePath = std::string(fields[k + 1]);
      pair.headPath = std::string(fields[k + 2]);
      k += 3;
    } else {
      const std::string path(fields[k + 1]);
      if (what != 'A') pair.basePath = path;
      if (what != 'D') pair.headPath = path;
      k += 2;
    }
    if (!(pair.basePath && isJava(*pair.basePath)) && !(pair.headPath && isJava(*pair.headPath))) continue;
    pairs.push_back(std::move(pair));
  }
  if (!head) {
    const GitRun untracked = runGit(withPaths({"ls-files", "-z", "--others", "--exclude-standard", "--full-name"}));
    if (!untracked.succeeded()) return usage("git could not list the new files" + gitSays(untracked));
    for (std::string_view name : text::splitText(untracked.out, '\0'))
      if (!name.empty() && isJava(std::string(name))) pairs.push_back({std::nullopt, std::string(name), {}, {}, {}, {}});
  }
  for (FilePair& pair : pairs) {
    if (pair.basePath) {
      const GitRun blob = runGit({"-C", root, "cat-file", "blob", base + ":" + *pair.basePath});
      if (blob.succeeded()) pair.baseText = blob.out;
      else pair.baseWhy = "cannot be read from " + base + gitSays(blob);
    }
    if (pair.headPath) {
      if (head) {
        const GitRun blob = runGit({"-C", root, "cat-file", "blob", *head + ":" + *pair.headPath});
        if (blob.succeeded()) pair.headText = blob.out;
        else pair.headWhy = "cannot be read from " + *head + gitSays(blob);
      } else {
        errors::Result<std::string> read = pipeline::readSourceFile((fs::path(root) / *pair.headPath).string());
        if (read) pair.headText = std::move(*read);
        else if (read.problem().message.find("binary") != std::string::npos) pair.headText = std::string(1, '\0');
        else pair.headWhy = read.problem().message;
      }
    }
  }
  compareFiles(pairs, reading, sides);
  return sides;
}

errors::Result<DiffSides> readPaths(const std::string& oldPath, const std::string& newPath, const DiffReading& reading) {
  std::error_code ec;
  DiffSides sides;
  sides.base.name = oldPath;
  sides.head.name = newPath;
  std::vector<FilePair> pairs;
  const auto read = [](const std::string& path, std::optional<std::string>& text, std::string& why) {
    errors::Result<std::string> got = pipeline::readSourceFile(path);
    if (got) text = std::move(*got);
    else if (got.problem().message.find("binary") != std::string::npos) text = std::string(1, '\0');
    else why = got.problem().message;
  };
  if (fs::is_directory(oldPath, ec) && fs::is_directory(newPath, ec)) {
    // Files by their path below each folder.
    std::map<std::string, std::pair<bool, bool>> below;
    for (const auto& [folder, isBase] : {std::pair(oldPath, true), std::pair(newPath, false)}) {
      const site::JavaFiles found = site::javaFilesBelow(site::realSiteFiles(), folder);
      for (const site::UnreadableFolder& unreadable : found.unreadable)
        sides.failures.push_back({folder, unreadable.folder.generic_string(), 0,
                                  "cannot be read: " + std::generic_category().message(unreadable.systemError)});
      for (const site::JavaFile& file : found.files) {
        const std::string relative = fs::relative(file.path, folder, ec).generic_string();
        (isBase ? below[relative].first : below[relative].second) = true;
      }
    }
    for (const auto& [relative, present] : below) {
      FilePair pair;
      if (present.first) {
        pair.basePath = relative;
        read((fs::path(oldPath) / relative).string(), pair.baseText, pair.baseWhy);
      }
      if (present.second) {
        pair.headPath = relative;
        read((fs::path(newPath) / relative).string(), pair.headText, pair.headWhy);
      }
      pairs.push_back(std::move(pair));
    }
  } else if (fs::is_regular_file(oldPath, ec) && fs::is_regular_file(newPath, ec)) {
    FilePair pair;
    pair.basePath = oldPath;
    pair.headPath = newPath;
    read(oldPath, pair.baseText, pair.baseWhy);
    read(newPath, pair.headText, pair.headWhy);
    pairs.push_back(std::move(pair));
  } else {
    return usage("diff: " + oldPath + " and " + newPath + " are not two files nor two folders");
  }
  compareFiles(pairs, reading, sides);
  return sides;
}

}  // namespace cli
