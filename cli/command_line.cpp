#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <span>

#include "formats/output_formats.h"

namespace cli {
namespace {

constexpr const char* kIntro =
    "flowchart: flowcharts and sequence diagrams of Java methods, from source to\n"
    "pictures in one step.\n"
    "\n";

struct CommandHelp {
  std::string name;
  std::string text;
};

// A paragraph of a command's description, filled to 76 columns under its
// indent.  Two spaces after a sentence stay two within a line.
std::string described(std::string_view words) {
  constexpr size_t kWidth = 76;
  const std::string indent = "      ";
  std::string out, line = indent;
  size_t at = 0;
  size_t gap = 0;
  while (at < words.size()) {
    const size_t end = std::min(words.find(' ', at), words.size());
    const std::string_view word = words.substr(at, end - at);
    if (line.size() > indent.size() && line.size() + gap + word.size() > kWidth) {
      out += line + "\n";
      line = indent;
    } else if (line.size() > indent.size()) {
      line.append(gap, ' ');
    }
    line += word;
    at = std::min(words.find_first_not_of(' ', end), words.size());
    gap = at - end;
  }
  return out + line + "\n";
}

// Each command's part of the help, as "flowchart help COMMAND" and
// "flowchart COMMAND --help" print it.  The lists of output forms are the
// format table's.  First the commands that draw.
std::vector<CommandHelp> drawingCommands() {
  return {
      {"list",
       "  flowchart list FILE.java [--json]\n"
       "      Lists the classes and methods of a file with their parameter types,\n"
       "      lines and measures: NLOC (lines of code), CC (cyclomatic complexity\n"
       "      as checkstyle counts it), COG (cognitive complexity as SonarSource\n"
       "      defines it) and HV (Halstead volume: length times log2 of the\n"
       "      vocabulary).\n"
       "      Example: flowchart list tests/fixtures/examples/java/Inventory.java\n"},
      {"draw",
       "  flowchart draw FILE.java [METHOD[(TYPES)][:LINE]] [-o OUT] [--fold auto|none|all]\n"
       "                [--src DIR] [--editor URL]\n" +
           described("Draws one method's flowchart as Java runs it; with no METHOD, every method of the file in one "
                     "HTML page with an index.  METHOD may be qualified by its class (Outer.Inner.method); its "
                     "parameter types (add(String, int)) or a line (add:24) pick one of several overloads.  OUT ends "
                     "in " + formats::helpList(formats::kFlowchart) +
                     ".  A method is one page: --fold auto (the default) moves its largest constructs onto pages of "
                     "their own only when a page is too large to read, none never, all every loop body, branch and "
                     "block of two boxes or more.  Which catch clause takes an exception of a class the program "
                     "declares is decided through the classes of the file and, with --src DIR, of the classes "
                     "there.  Enter on a box, or a click, shows its source lines; --editor URL (such as "
                     "vscode://file/{path}:{line}) also opens the editor there.") +
           "      Example: flowchart draw tests/fixtures/examples/java/Checkout.java total\n"},
      {"sequence",
       "  flowchart sequence FILE.java METHOD[(TYPES)][:LINE] [-o OUT] [--depth N]\n"
       "                    [--src DIR] [--max-messages N] [--follow-implementations]\n" +
           described("Draws a UML sequence diagram of the calls METHOD makes, in the order they run: the objects it "
                     "calls as lifelines (this object, name:Type for parameters, variables and fields, :Type for "
                     "static calls and new objects, else the receiver as written), calls, creations and the returns "
                     "of values that are used, with activation bars, and alt, opt, loop, break and critical frames "
                     "round the calls of ifs, switches, loops, synchronized blocks and try/catch.  --depth N shows "
                     "N levels of calls (default 1: the method's own), following calls into methods of the file "
                     "and, with --src DIR, of the classes there, found through packages and imports as Java finds "
                     "them.  --follow-implementations follows a call on an interface or abstract class with exactly "
                     "one implementation in DIR into it.  A recursive call is shown once and not followed.  The "
                     "diagram stops at --max-messages messages (default 200) and a note says what is left out.  "
                     "OUT ends in " + formats::helpList(formats::kSequence) + ".") +
           "      Example: flowchart sequence tests/fixtures/examples/java/Checkout.java total\n"},
      {"batch",
       "  flowchart batch SRC_DIR -o OUT_DIR [-j N] [--force] [--quiet] [--sequence]\n"
       "                 [--changed-since REV] [--shard K/N] [--fold auto|none|all]\n"
       "                 [--editor URL] [--exclude GLOB] [--format " + formats::siteFormList(",") + "]\n" +
           described("Draws every method of every .java file below SRC_DIR into a site in OUT_DIR: "
                     "OUT_DIR/index.html lists the methods with their measures (sortable, with a filter) and the "
                     "files, each file has a page with its classes, methods and source, each method a page with its "
                     "flowchart.  Outputs newer than their source are kept unless --force; -j sets the worker "
                     "processes (default: one per core); --quiet hides the progress line and the closing summary; "
                     "--sequence adds each method's sequence diagram (depth 1) beside its flowchart; "
                     "--changed-since REV draws only the methods changed since the git revision; --shard K/N draws "
                     "only the K-th of N shares of the files (by a hash of their path), for 'flowchart index' to "
                     "merge; --fold and --editor as for draw; --format adds each method's flowchart in other forms "
                     "beside its page, linked from it (" + formats::siteFormHelp() + "; default html alone); --exclude as for "
                     "check.") +
           "      Example: flowchart batch tests/fixtures/examples/java -o flowcharts\n"},
      {"index",
       "  flowchart index OUT_DIR... -o SITE\n"
       "      Merges the outputs of several batch runs (such as the shards of\n"
       "      'batch --shard K/N') into one site in SITE with one index; SITE may\n"
       "      be one of the OUT_DIRs.  Takes the files each output's index shows;\n"
       "      a file drawn by several runs is taken from the newest.  Shards of\n"
       "      different splits, or a set missing a share, are refused.  The site\n"
       "      is built beside SITE and put in its place in one step.\n"
       "      Example: flowchart index shard-1 shard-2 shard-3 -o site\n"},
  };
}

// The commands that measure, gate and review, and the editor's server.
std::vector<CommandHelp> gateCommands() {
  return {
      {"check",
       "  flowchart check SRC... [--max-cc N] [--max-cognitive N] [--max-nloc N]\n"
       "                 [--format text|json|sarif|codeclimate|markdown] [-o FILE]\n"
       "                 [--changed-since REV] [--exclude GLOB]\n"
       "      Measures every method of the files and folders given and reports\n"
       "      each one over a threshold as FILE:LINE: METHOD(TYPES): measure N > MAX\n"
       "      (no threshold: every method's measures); json has every method, sarif\n"
       "      is SARIF 2.1.0 for code scanning, codeclimate GitLab's code quality\n"
       "      report, markdown a table for a CI job's summary.  Exits 3 when a\n"
       "      method is over a threshold.  --changed-since REV takes only the\n"
       "      methods whose lines changed since the git revision.  --exclude GLOB\n"
       "      (once for each glob, relative to the current folder) leaves out the\n"
       "      paths it names, in place of the settings file's exclude.\n"
       "      Example: flowchart check tests/fixtures/examples/java --max-cc 3\n"},
      {"diff",
       "  flowchart diff BASE [HEAD] [--] [PATH...] [-o OUT] [--link URL_PREFIX]\n"
       "                [--max-cc N] [--max-cognitive N] [--max-nloc N]\n"
       "                [--max-increase-cc N] [--max-increase-cognitive N] [--exclude GLOB]\n"
       "  flowchart diff OLD NEW [-o OUT] ...\n"
       "      Shows how a change alters each method's control flow: the methods\n"
       "      added, removed, renamed or changed between the git revisions BASE\n"
       "      and HEAD (left out: the working tree, new files included), below\n"
       "      the PATHs given, or between two .java files or two folders.  A\n"
       "      method only reformatted, commented or moved is not listed.  OUT\n"
       "      ending in .json is the changes node by node for tools, in .md a\n"
       "      Markdown report with Mermaid flowcharts for a pull-request comment\n"
       "      (its links below --link URL_PREFIX), without an extension or\n"
       "      ending in / a folder for an HTML site; without -o, one line per\n"
       "      method.  The --max options gate the changed and added methods as\n"
       "      check does, --max-increase-* how much a method's measure rose:\n"
       "      exit 3 when one is passed.\n"
       "      --exclude as for check.  Options go before --: every name after it\n"
       "      is a path.\n"
       "      Example: flowchart diff main HEAD -o review.md -- src\n"},
      {"config",
       "  flowchart config [--max-cc N] [--max-cognitive N] [--max-nloc N]\n"
       "                  [--max-increase-cc N] [--max-increase-cognitive N]\n"
       "                  [--java LEVEL] [--editor URL] [--exclude GLOB]\n"
       "      Prints the settings in force in the current folder and where each\n"
       "      one comes from: the nearest .flowchart.toml in the folder or one\n"
       "      above it (FILE:LINE), a flag given here, or the default.  The file\n"
       "      holds java, exclude (globs of paths check, batch and diff leave\n"
       "      out, relative to its folder), [thresholds] max-cc, max-cognitive,\n"
       "      max-nloc, max-increase-cc and max-increase-cognitive, [site] title\n"
       "      and [editor] url; a flag goes over the file's value.  An unknown\n"
       "      key or a file that is not TOML is wrong usage (exit 2) for every\n"
       "      command run below it.\n"
       "      Example: flowchart config --max-cc 12\n"},
      {"lsp",
       "  flowchart lsp\n"
       "      A language server for editors (LSP 3.17 on standard input and\n"
       "      output): each open Java file's classes and methods, a lens with each\n"
       "      method's measures, warnings for methods over the thresholds the\n"
       "      client gives (initializationOptions maxCc, maxCognitive, maxNloc,\n"
       "      java), and a method's flowchart or sequence diagram as SVG, its graph\n"
       "      and its Mermaid text on request.  Writes no file.\n"
       "      Example: in Neovim, require('flowchart').setup()\n"},
  };
}

const std::vector<CommandHelp>& commands() {
  static const std::vector<CommandHelp> kCommands = [] {
    std::vector<CommandHelp> all = drawingCommands();
    for (CommandHelp& command : gateCommands()) all.push_back(std::move(command));
    return all;
  }();
  return kCommands;
}

constexpr const char* kTrailer =
    "\n"
    "Every command takes --java LEVEL, the Java release the sources are written\n"
    "for: 1 to 25 (1.5 to 1.8 also read), default 25, the newest.  Below 6 the\n"
    "sources are read with the Java 5 grammar, as the engine's mode 7 does.\n"
    "\n"
    "Exit codes: 0 all done; 1 some files or methods failed (each is reported as\n"
    "FILE:LINE: message on standard error); 2 wrong usage or unreadable input;\n"
    "3 (check, diff) a method is over a threshold.\n";

const CommandHelp* commandHelp(std::string_view name) {
  for (const CommandHelp& command : commands())
    if (name == command.name) return &command;
  return nullptr;
}

// The most shards --shard splits a tree into, and the largest threshold
// check takes (past any real method's measures).
constexpr unsigned kMostShards = 10000;
constexpr unsigned kLargestThreshold = config::kLargestThreshold;

bool isOption(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

// "--" ends the options: every argument after it is a name, even one that
// starts with a dash.  True when args[i] is "--" (the rest then taken).
bool restAreNames(const std::vector<std::string>& args, size_t i, std::vector<std::string>& names) {
  if (args[i] != "--") return false;
  names.insert(names.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  return true;
}

ParseResult refuse(std::string message) { return errors::Problem(errors::Problem::Kind::Usage, std::move(message)); }

// What an option's reader made of args[i]: nothing when it is another
// argument; else done (its value stored), or why its value is refused.
using Taken = std::optional<errors::Status>;

errors::Status refusedValue(std::string message) { return errors::Problem(errors::Problem::Kind::Usage, std::move(message)); }

// Takes the value of an option given as "-o VALUE", "--output VALUE" or
// "--output=VALUE".
Taken optionValue(const std::vector<std::string>& args, size_t& i, std::string_view shortName,
                  std::string_view longName, std::string& value) {
  const std::string& arg = args[i];
  if (!longName.empty() && arg.rfind(std::string(longName) + "=", 0) == 0) {
    value = arg.substr(longName.size() + 1);
    return errors::Status();
  }
  if (arg != shortName && arg != longName) return std::nullopt;
  if (i + 1 >= args.size()) return refusedValue("option " + arg + " needs a value");
  value = args[++i];
  return errors::Status();
}

// A whole number from low to high.
std::optional<unsigned> countIn(std::string_view text, unsigned low, unsigned high) {
  unsigned value = 0;
  const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failed != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

// "--changed-since REV".  An empty revision (a CI variable left unset) is
// refused rather than read as no option, which would check everything, or
// nothing the gate meant.
Taken changedSinceOption(const std::vector<std::string>& args, size_t& i, std::string& revision) {
  Taken taken = optionValue(args, i, "", "--changed-since", revision);
  if (!taken || !taken->ok() || !revision.empty()) return taken;
  return refusedValue("--changed-since needs a git revision, and it was given an empty one (is a variable unset?)");
}

// "--fold auto|none|all".
Taken foldOption(const std::vector<std::string>& args, size_t& i, FoldMode& fold) {
  std::string value;
  Taken taken = optionValue(args, i, "", "--fold", value);
  if (!taken || !taken->ok()) return taken;
  if (value == "auto") fold = FoldMode::Auto;
  else if (value == "none") fold = FoldMode::None;
  else if (value == "all") fold = FoldMode::All;
  else return refusedValue("--fold takes auto, none or all, not '" + value + "'");
  return taken;
}

// "--java LEVEL".  "1.8" is read as 8, as Java's own tools write it.
Taken languageLevelOption(const std::vector<std::string>& args, size_t& i, LanguageLevel& level) {
  std::string value;
  Taken taken = optionValue(args, i, "", "--java", value);
  if (!taken || !taken->ok()) return taken;
  std::string_view release = value;
  if (release.rfind("1.", 0) == 0) release.remove_prefix(2);
  const std::optional<unsigned> number = countIn(release, 1, java::kNewestLanguageLevel);
  if (!number)
    return refusedValue("--java takes a Java release from 1 to " + std::to_string(java::kNewestLanguageLevel) +
                        ", not '" + value + "'");
  level = {static_cast<int>(*number), true};
  return taken;
}

// "--editor URL".  The URL is put into pages as a link, so it must name
// its scheme and the line, and may not run script.
Taken editorOption(const std::vector<std::string>& args, size_t& i, std::string& url) {
  Taken taken = optionValue(args, i, "", "--editor", url);
  if (!taken || !taken->ok()) return taken;
  if (const std::optional<std::string> refusal = config::editorUrlRefusal(url))
    return refusedValue("--editor " + *refusal);
  return taken;
}

// "--exclude GLOB", given once for each glob: the paths left out, relative
// to the current folder, in place of the settings file's.
Taken excludeOption(const std::vector<std::string>& args, size_t& i, std::vector<std::string>& globs) {
  std::string glob;
  Taken taken = optionValue(args, i, "", "--exclude", glob);
  if (!taken || !taken->ok()) return taken;
  if (glob.empty()) return refusedValue("--exclude needs a glob of paths, and it was given an empty one");
  globs.push_back(glob);
  return taken;
}

// The command's refusal of an option's value.
ParseResult refuse(std::string_view command, const errors::Status& taken) {
  return refuse(std::string(command) + ": " + taken.problem().message);
}

// A threshold option of check, diff or config ("--max-cc N"), among those
// given; rises takes the --max-increase-* options too.
Taken thresholdOption(const std::vector<std::string>& args, size_t& i, findings::Thresholds& thresholds, bool rises) {
  const std::pair<const char*, std::optional<int64_t>*> options[] = {
      {"--max-cc", &thresholds.cyclomatic},
      {"--max-cognitive", &thresholds.cognitive},
      {"--max-nloc", &thresholds.nloc},
      {"--max-increase-cc", &thresholds.cyclomaticRise},
      {"--max-increase-cognitive", &thresholds.cognitiveRise}};
  std::string value;
  for (const auto& [name, maximum] : std::span(options, rises ? 5 : 3)) {
    Taken taken = optionValue(args, i, "", name, value);
    if (!taken) continue;
    if (!taken->ok()) return taken;
    const std::optional<unsigned> number = countIn(value, 0, kLargestThreshold);
    if (!number)
      return refusedValue(std::string(name) + " takes a whole number from 0 to " + std::to_string(kLargestThreshold) +
                          ", not '" + value + "'");
    *maximum = *number;
    return taken;
  }
  return std::nullopt;
}

ParseResult parseList(const std::vector<std::string>& args) {
  ListRequest request;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    if (restAreNames(args, i, positional)) break;
    if (const Taken taken = languageLevelOption(args, i, request.languageLevel)) {
      if (!taken->ok()) return refuse("list", *taken);
      continue;
    }
    if (args[i] == "--json") request.json = true;
    else if (isOption(args[i])) return refuse("list: unknown option " + args[i]);
    else positional.push_back(args[i]);
  }
  if (positional.size() != 1) return refuse("list: give exactly one FILE.java");
  request.source = positional[0];
  return ParseResult(Request(request));
}

ParseResult parseDraw(const std::vector<std::string>& args) {
  DrawRequest request;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    if (restAreNames(args, i, positional)) break;
    Taken taken;
    if ((taken = optionValue(args, i, "-o", "--output", request.output)) ||
        (taken = optionValue(args, i, "", "--src", request.sourceTree)) ||
        (taken = foldOption(args, i, request.fold)) ||
        (taken = editorOption(args, i, request.editor)) ||
        (taken = languageLevelOption(args, i, request.languageLevel))) {
      if (!taken->ok()) return refuse("draw", *taken);
      continue;
    }
    if (isOption(args[i])) return refuse("draw: unknown option " + args[i]);
    positional.push_back(args[i]);
  }
  if (positional.empty() || positional.size() > 2) return refuse("draw: give FILE.java and at most one METHOD");
  if (!request.output.empty()) {
    if (const std::optional<std::string> error = formats::refusal("draw", request.output, formats::kFlowchart))
      return refuse(*error);
  }
  request.source = positional[0];
  if (positional.size() == 2) request.method = positional[1];
  return ParseResult(Request(request));
}

// A worker count from 1 to 256.
std::optional<unsigned> jobCount(std::string_view text) { return countIn(text, 1, 256); }

ParseResult parseSequence(const std::vector<std::string>& args) {
  SequenceRequest request;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    if (restAreNames(args, i, positional)) break;
    std::string number;
    Taken taken;
    if ((taken = optionValue(args, i, "-o", "--output", request.output)) ||
        (taken = optionValue(args, i, "", "--src", request.sourceTree)) ||
        (taken = languageLevelOption(args, i, request.languageLevel))) {
      if (!taken->ok()) return refuse("sequence", *taken);
      continue;
    }
    if (const Taken depthTaken = optionValue(args, i, "", "--depth", number)) {
      if (!depthTaken->ok()) return refuse("sequence", *depthTaken);
      const std::optional<unsigned> depth = countIn(number, 1, 50);
      if (!depth) return refuse("sequence: --depth takes a number of levels from 1 to 50, not '" + number + "'");
      request.depth = static_cast<int>(*depth);
      continue;
    }
    if (const Taken mostTaken = optionValue(args, i, "", "--max-messages", number)) {
      if (!mostTaken->ok()) return refuse("sequence", *mostTaken);
      // Above this the layout takes over a minute and gigabytes, and past
      // about 45000 messages Graphviz runs out of memory.
      constexpr unsigned kMostMessages = 20000;
      const std::optional<unsigned> most = countIn(number, 1, kMostMessages);
      if (!most)
        return refuse("sequence: --max-messages takes a number from 1 to " + std::to_string(kMostMessages) +
                      " (the most a diagram can be laid out with), not '" + number + "'");
      request.maxMessages = *most;
      continue;
    }
    if (args[i] == "--follow-implementations") {
      request.followImplementations = true;
      continue;
    }
    if (isOption(args[i])) return refuse("sequence: unknown option " + args[i]);
    positional.push_back(args[i]);
  }
  if (positional.size() != 2) return refuse("sequence: give FILE.java and one METHOD");
  if (!request.output.empty()) {
    if (const std::optional<std::string> error = formats::refusal("sequence", request.output, formats::kSequence))
      return refuse(*error);
  }
  request.source = positional[0];
  request.method = positional[1];
  return ParseResult(Request(request));
}

ParseResult parseBatch(const std::vector<std::string>& args) {
  BatchRequest request;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    if (restAreNames(args, i, positional)) break;
    std::string jobs, shard;
    if (const Taken shardTaken = optionValue(args, i, "", "--shard", shard)) {
      if (!shardTaken->ok()) return refuse("batch", *shardTaken);
      const size_t slash = shard.find('/');
      const std::optional<unsigned> count =
          slash == std::string::npos ? std::nullopt
                                     : countIn(std::string_view(shard).substr(slash + 1), 1, kMostShards);
      const std::optional<unsigned> which =
          count ? countIn(std::string_view(shard).substr(0, slash), 1, *count) : std::nullopt;
      if (!which)
        return refuse("batch: --shard takes K/N, the K-th of N shares (1 <= K <= N <= " + std::to_string(kMostShards) +
                      "), not '" + shard + "'");
      request.shard = *which;
      request.shards = *count;
      continue;
    }
    Taken taken;
    if ((taken = optionValue(args, i, "-o", "--output", request.outputDir)) ||
        (taken = changedSinceOption(args, i, request.changedSince)) ||
        (taken = foldOption(args, i, request.fold)) ||
        (taken = editorOption(args, i, request.editor)) ||
        (taken = excludeOption(args, i, request.exclude)) ||
        (taken = languageLevelOption(args, i, request.languageLevel))) {
      if (!taken->ok()) return refuse("batch", *taken);
      continue;
    }
    const bool joined = args[i].size() > 2 && args[i].rfind("-j", 0) == 0 && args[i][2] != '-';
    if (joined) jobs = args[i].substr(2);
    if (const Taken jobsTaken = joined ? Taken(errors::Status()) : optionValue(args, i, "-j", "--jobs", jobs)) {
      if (!jobsTaken->ok()) return refuse("batch", *jobsTaken);
      const std::optional<unsigned> count = jobCount(jobs);
      if (!count) return refuse("batch: -j takes a number of workers from 1 to 256, not '" + jobs + "'");
      request.jobs = *count;
      continue;
    }
    std::string formats;
    if (const Taken formatsTaken = optionValue(args, i, "", "--format", formats)) {
      if (!formatsTaken->ok()) return refuse("batch", *formatsTaken);
      request.formats.clear();
      for (size_t at = 0; at <= formats.size();) {
        const size_t comma = std::min(formats.find(',', at), formats.size());
        const std::string format = formats.substr(at, comma - at);
        at = comma + 1;
        if (format == "html") continue;
        if (!formats::siteForm(format))
          return refuse("batch: --format takes a list of " + formats::siteFormNames() + ", not '" + format + "'");
        if (std::find(request.formats.begin(), request.formats.end(), format) == request.formats.end())
          request.formats.push_back(format);
      }
      continue;
    }
    if (args[i] == "--force") request.force = true;
    else if (args[i] == "--quiet" || args[i] == "-q") request.quiet = true;
    else if (args[i] == "--sequence") request.sequence = true;
    else if (isOption(args[i])) return refuse("batch: unknown option " + args[i]);
    else positional.push_back(args[i]);
  }
  if (positional.size() != 1) return refuse("batch: give exactly one SRC_DIR");
  if (request.outputDir.empty()) return refuse("batch: give the output folder with -o OUT_DIR");
  request.sourceDir = positional[0];
  return ParseResult(Request(request));
}

ParseResult parseIndex(const std::vector<std::string>& args) {
  IndexRequest request;
  for (size_t i = 1; i < args.size(); ++i) {
    if (const Taken taken = optionValue(args, i, "-o", "--output", request.site)) {
      if (!taken->ok()) return refuse("index", *taken);
      continue;
    }
    if (isOption(args[i])) return refuse("index: unknown option " + args[i]);
    request.outputDirs.push_back(args[i]);
  }
  if (request.outputDirs.empty()) return refuse("index: give the output folders of batch runs to merge");
  if (request.site.empty()) return refuse("index: give the site's folder with -o SITE");
  return ParseResult(Request(request));
}

// flowchart check: thresholds, a report format and its file, and sources.
ParseResult parseCheck(const std::vector<std::string>& args) {
  CheckRequest request;
  for (size_t i = 1; i < args.size(); ++i) {
    if (restAreNames(args, i, request.sources)) break;
    std::string value;
    Taken taken;
    if ((taken = optionValue(args, i, "-o", "--output", request.output)) ||
        (taken = changedSinceOption(args, i, request.changedSince)) ||
        (taken = languageLevelOption(args, i, request.languageLevel)) ||
        (taken = thresholdOption(args, i, request.thresholds, false)) ||
        (taken = excludeOption(args, i, request.exclude))) {
      if (!taken->ok()) return refuse("check", *taken);
      continue;
    }
    if (const Taken formatTaken = optionValue(args, i, "-f", "--format", value)) {
      if (!formatTaken->ok()) return refuse("check", *formatTaken);
      if (value == "text") request.format = CheckRequest::Format::Text;
      else if (value == "json") request.format = CheckRequest::Format::Json;
      else if (value == "sarif") request.format = CheckRequest::Format::Sarif;
      else if (value == "codeclimate") request.format = CheckRequest::Format::CodeClimate;
      else if (value == "markdown") request.format = CheckRequest::Format::Markdown;
      else return refuse("check: --format is text, json, sarif, codeclimate or markdown, not '" + value + "'");
      continue;
    }
    if (isOption(args[i])) return refuse("check: unknown option " + args[i]);
    request.sources.push_back(args[i]);
  }
  if (request.sources.empty()) return refuse("check: give at least one source file or folder");
  return ParseResult(Request(request));
}

// flowchart diff: revisions or two paths, paths after "--", an output,
// and the gate's thresholds.
ParseResult parseDiff(const std::vector<std::string>& args) {
  DiffRequest request;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--") {
      request.pathsMarked = true;
      restAreNames(args, i, request.paths);
      break;
    }
    Taken taken;
    if ((taken = optionValue(args, i, "-o", "--output", request.output)) ||
        (taken = optionValue(args, i, "", "--link", request.link)) ||
        (taken = languageLevelOption(args, i, request.languageLevel)) ||
        (taken = thresholdOption(args, i, request.thresholds, true)) ||
        (taken = excludeOption(args, i, request.exclude))) {
      if (!taken->ok()) return refuse("diff", *taken);
      continue;
    }
    if (isOption(args[i])) return refuse("diff: unknown option " + args[i]);
    request.names.push_back(args[i]);
  }
  if (request.names.empty()) return refuse("diff: give a git revision to compare with, or two files or folders");
  if (request.pathsMarked && request.names.size() > 2)
    return refuse("diff: give at most two revisions before --, the paths after it");
  if (request.output.empty() && !request.link.empty()) return refuse("diff: --link is for the Markdown report (-o OUT.md)");
  // A folder for the site is a name without an extension, or one ending in '/'.
  const std::string extension = formats::extensionOf(request.output);
  const bool folder = !request.output.empty() && request.output.back() == '/';
  if (!request.output.empty() && !folder && !extension.empty() && !formats::formatOf(request.output, formats::kDiffReport))
    return refuse("diff: cannot write '" + request.output + "': no report has the extension " + extension +
                  "; name the output .json (for tools), .md (a pull-request comment), or a folder for the HTML "
                  "site: a name without an extension, or ending in /");
  return ParseResult(Request(request));
}

// flowchart config: the flags shown over the settings file's values.
ParseResult parseConfig(const std::vector<std::string>& args) {
  ConfigRequest request;
  for (size_t i = 1; i < args.size(); ++i) {
    Taken taken;
    if ((taken = languageLevelOption(args, i, request.languageLevel)) ||
        (taken = editorOption(args, i, request.editor)) ||
        (taken = thresholdOption(args, i, request.thresholds, true)) ||
        (taken = excludeOption(args, i, request.exclude))) {
      if (!taken->ok()) return refuse("config", *taken);
      continue;
    }
    if (isOption(args[i])) return refuse("config: unknown option " + args[i]);
    return refuse("config: takes no names, only options (it shows the settings in force in the current folder)");
  }
  return ParseResult(Request(request));
}

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args) {
  if (args.empty()) return refuse("no command given");
  const std::string& command = args[0];
  for (size_t i = 1; i < args.size(); ++i)
    if ((args[i] == "--help" || args[i] == "-h") && (commandHelp(command) || command == "help"))
      return ParseResult(Request(HelpRequest{command == "help" ? "" : command}));
  if (command == "--help" || command == "-h") return ParseResult(Request(HelpRequest{}));
  if (command == "help") {
    const std::string topic = args.size() > 1 ? args[1] : "";
    if (!topic.empty() && !commandHelp(topic)) return refuse("help: no command '" + topic + "'");
    return ParseResult(Request(HelpRequest{topic}));
  }
  if (command == "--version") return ParseResult(Request(VersionRequest{}));
  if (command == "list") return parseList(args);
  if (command == "draw") return parseDraw(args);
  if (command == "sequence") return parseSequence(args);
  if (command == "batch") return parseBatch(args);
  if (command == "check") return parseCheck(args);
  if (command == "diff") return parseDiff(args);
  if (command == "index") return parseIndex(args);
  if (command == "config") return parseConfig(args);
  if (command == "lsp") {
    if (args.size() > 1) return refuse("lsp: takes no arguments (the client's initializationOptions give its settings)");
    return ParseResult(Request(LspRequest{}));
  }
  return refuse("unknown command '" + command + "'");
}

bool isCommand(std::string_view name) { return commandHelp(name) != nullptr; }

std::string helpText(const std::string& topic) {
  if (const CommandHelp* command = commandHelp(topic))
    return std::string("Usage:\n") + command->text + kTrailer;
  std::string out = std::string(kIntro) + "Usage:\n";
  for (const CommandHelp& command : commands()) out += command.text;
  out += "  flowchart help [COMMAND] | COMMAND --help | --help | --version\n";
  return out + kTrailer;
}

}  // namespace cli
