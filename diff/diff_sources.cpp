#include "diff/diff_sources.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "frontends/java/syntax/syntax_tree.h"
#include "git/cat_file_reader.h"
#include "git/git_run.h"
#include "pipeline/method_measures.h"
#include "metrics/measures.h"
#include "pipeline/method_signature.h"
#include "diff/unchanged_bodies.h"
#include "files/latin1.h"
#include "pipeline/method_flow.h"
#include "pipeline/method_sequence.h"
#include "pipeline/parsed_source.h"
#include "site/java_files.h"
#include "text/json_text.h"
#include "text/text_output.h"

namespace diff {
namespace {

namespace fs = std::filesystem;

errors::Problem usage(std::string why) { return errors::Problem(errors::Problem::Kind::Usage, std::move(why)); }

bool isJava(const std::string& path) { return path.size() > 5 && path.compare(path.size() - 5, 5, ".java") == 0; }

// A method's class, name and parameters, as methods are matched.
std::string signatureKey(const diff::MethodVersion& method) {
  std::string key = method.className + '\x1f' + method.method + '\x1f';
  for (const std::string& type : method.parameterTypes) key += type + ',';
  return key;
}

// A method's signature and tokens: two methods with the same are the same.
std::string twinKey(const diff::MethodVersion& method) { return signatureKey(method) + '\x1f' + method.fingerprint; }

// The twin keys of one side's methods whose signature both sides hold
// once: only then is the twin the method it is matched with.  (Local
// classes of one name in several overloads give one signature to several
// methods, and one of them may have changed.)
std::set<std::string> twinKeys(const std::vector<diff::MethodVersion>& side,
                               const std::vector<diff::MethodVersion>& other) {
  std::map<std::string, int> signatures;
  for (const diff::MethodVersion& method : side) ++signatures[signatureKey(method)];
  for (const diff::MethodVersion& method : other) signatures[signatureKey(method)] += 1000;
  std::set<std::string> keys;
  for (const diff::MethodVersion& method : side)
    if (signatures[signatureKey(method)] == 1001) keys.insert(twinKey(method));
  return keys;
}

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

// A declaration's tokens as they were scanned, one after another: two
// declarations with the same are the same up to layout and comments.
// (Cheaper than their text, and never looser.)
std::string tokenText(const syntax::Node& declaration) {
  std::string out;
  for (const syntax::Node token : declaration.tokens()) {
    out += token.raw();
    out += '\x1f';
  }
  return out;
}

// The headers of the classes a file declares (names, what they extend and
// implement), token by token: where a catch clause takes what a throw
// makes is decided by the superclasses the file declares.
std::string classHeaders(const syntax::Tree& tree) {
  std::string out;
  tree.root().walk([&](const syntax::Node& node) {
    if (!node.is(syntax::Kind::ClsHeader) && !node.is(syntax::Kind::EnumHeader) && !node.is(syntax::Kind::RecHeader))
      return syntax::Step::Into;
    out += tokenText(node);
    out += '\x1e';
    return syntax::Step::Over;
  });
  return out;
}

// Whether the tokens (as tokenText joins them) hold the token.
bool holdsToken(std::string_view tokens, std::string_view token) {
  for (size_t at = tokens.find(token); at != std::string_view::npos; at = tokens.find(token, at + 1))
    if ((at == 0 || tokens[at - 1] == '\x1f') && at + token.size() < tokens.size() && tokens[at + token.size()] == '\x1f')
      return true;
  return false;
}

// One side of a file, parsed, with its methods read but their graphs and
// measures not yet taken; a problem when it does not parse, or when it is binary.
struct ReadSide {
  std::optional<pipeline::ParsedSource> parsed;
  std::vector<diff::MethodVersion> methods;
  std::string classHeaders;
};

// Where the two sides' class headers differ (a class's superclass
// changed), a method that throws and catches may take another way with
// the same tokens: its fingerprint holds its side's headers, so that it
// has no twin and its graphs are compared.
void markHeaderDependents(const ReadSide& other, ReadSide& side) {
  if (side.classHeaders == other.classHeaders) return;
  for (diff::MethodVersion& method : side.methods)
    if (holdsToken(method.fingerprint, "throw") && holdsToken(method.fingerprint, "catch"))
      method.fingerprint += '\x1e' + side.classHeaders;
}

errors::Result<ReadSide> readSide(const std::string& path, std::string source, const DiffReading& reading) {
  errors::Result<pipeline::ParsedSource> parsed =
      pipeline::ParsedSource::parseText(path, std::move(source), reading.languageLevel);
  if (!parsed && pipeline::isBinaryFile(parsed.problem()))
    return errors::Problem(errors::Problem::Kind::Unreadable, "a binary file, not compared");
  if (!parsed) return std::move(parsed).problem();
  ReadSide side;
  side.parsed.emplace(std::move(*parsed));
  pipeline::ParsedSource& source_ = *side.parsed;
  const pipeline::FileSummary& summary = source_.summary();
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    const pipeline::MethodSummary& method = summary.methods[m];
    diff::MethodVersion version;
    version.file = text::validUtf8(path);
    version.className = utf8Text(summary.classes[method.classIndex].qualifiedName, source_.charset());
    version.method = utf8Text(pipeline::shownName(method), source_.charset());
    if (!method.isInitializer())
      for (const std::string& type : pipeline::parameterTypes(method.signature, method.name))
        version.parameterTypes.push_back(utf8Text(type, source_.charset()));
    version.signature = method.isInitializer() ? version.method : pipeline::withParameterTypes(version.method, version.parameterTypes);
    version.line = method.line;
    version.hiddenCode = source_.hiddenCodeOf(method);
    if (const syntax::Node declaration = source_.declarationOf(method)) {
      version.fingerprint = utf8Text(tokenText(declaration), source_.charset());
      // An edit that only hides code (a statement that now seems commented
      // out) leaves the tokens as they were, but no twin.
      for (const java::HiddenCode& code : version.hiddenCode) version.fingerprint += '\x1e' + code.message();
    }
    side.methods.push_back(std::move(version));
  }
  side.classHeaders = classHeaders(source_.syntax());
  return side;
}

// Takes the measures and builds the graphs (and, for the site, the calls
// and source lines) of the methods that need them: those without a twin of the same name,
// parameters and tokens on the other side, which compare as unchanged
// without a graph.
errors::Status completeSide(ReadSide& side, const std::set<std::string>& twins, const DiffReading& reading) {
  pipeline::ParsedSource& parsed = *side.parsed;
  const pipeline::FileSummary& summary = parsed.summary();
  const bool latin1 = parsed.charset() == text::Charset::Latin1;
  std::optional<pipeline::SequenceSources> classes;
  std::optional<pipeline::MeasuredSource> whole;
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    diff::MethodVersion& version = side.methods[m];
    if (!version.fingerprint.empty() && twins.count(twinKey(version))) continue;
    const pipeline::MethodSummary& method = summary.methods[m];
    // Measured here, not when read: most methods of a changed file have a
    // twin, and their measures are never shown.  A declaration the tree's
    // index does not place where the summary has the method is measured
    // with the whole file, as check joins them.
    std::optional<metrics::MethodMeasures> alone = metrics::measureDeclaration(parsed.declarationOf(method));
    if (alone && (alone->line != method.line || alone->endLine != method.endLine)) alone.reset();
    if (!alone && !whole) whole.emplace(pipeline::measureSource(parsed));
    const metrics::MethodMeasures* measures = alone ? &*alone : whole->byMethod[m];
    if (measures) version.line = measures->nameLine;
    if (measures && measures->hasBody)
      version.measures = diff::Measures{measures->cyclomatic, measures->cognitive, method.nloc.value_or(measures->nloc)};
    errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(parsed, method);
    if (flow) {
      if (latin1) toUtf8(*flow);
      flow->file = version.file;
      version.flow = std::move(*flow);
    } else if (flow.problem().kind != errors::Problem::Kind::NoBody) {
      return errors::Problem(flow.problem().kind, flow.problem().message, flow.problem().line);
    }
    if (!reading.messages) continue;
    version.sourceLine = method.line;
    for (int32_t line = method.line; line <= method.endLine; ++line)
      version.source.push_back(utf8Text(parsed.lines().line(line), parsed.charset()));
    if (!version.flow) continue;
    if (!classes) classes.emplace(parsed, std::string());
    errors::Result<pipeline::MethodSequence> sequence = pipeline::planMethodSequence(*classes, method, {});
    if (sequence)
      for (const sequence::Message& message : sequence->diagram.messages) {
        if (message.kind == sequence::Message::Kind::Return) continue;
        const std::string to = utf8Text(sequence->diagram.lifelines[message.to].label, parsed.charset());
        const std::string text = utf8Text(message.text, parsed.charset());
        version.calls.push_back(diff::callOf(
            to, text, message.kind == sequence::Message::Kind::Create ? "new " + to : to + ": " + text));
      }
  }
  return {};
}

// One file of each side (either missing for a file added or removed
// whole); a side that cannot be read or parsed is a failure, and the
// other side's methods are then left out too, so that nothing is listed
// for a file that was not compared.
struct FilePair {
  std::optional<std::string> basePath, headPath;
  std::optional<std::string> baseText, headText;
  std::string baseWhy, headWhy;    // why a text is missing that should be there
  std::string baseBlob, headBlob;  // the ids of a revision's blobs
  bool untracked = false;          // a working-tree file git does not track yet
};

// How much of two texts is the same, as git's rename detection scores it:
// the bytes of the lines the two share (each line as often as it is on
// both sides) over the size of the larger text.
double sharedShare(const std::string& a, const std::string& b) {
  if (a.empty() && b.empty()) return 1.0;
  std::map<std::string_view, size_t> lines;
  const auto eachLine = [](const std::string& text, auto use) {
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find('\n', at);
      const size_t next = end == std::string::npos ? text.size() : end + 1;
      use(std::string_view(text).substr(at, next - at));
      at = next;
    }
  };
  eachLine(a, [&](std::string_view line) { ++lines[line]; });
  size_t shared = 0;
  eachLine(b, [&](std::string_view line) {
    auto found = lines.find(line);
    if (found == lines.end() || found->second == 0) return;
    --found->second;
    shared += line.size();
  });
  return double(shared) / double(std::max(a.size(), b.size()));
}

// Git's rename detection sees only files it tracks: a file deleted from the
// working tree and a new one it does not track yet are one file moved when
// at least half of them is the same (git's default), the most alike first.
void followUntrackedRenames(std::vector<FilePair>& pairs) {
  struct Candidate {
    double share;
    size_t gone, made;
  };
  std::vector<Candidate> candidates;
  for (size_t g = 0; g < pairs.size(); ++g) {
    if (!pairs[g].basePath || pairs[g].headPath || !pairs[g].baseText) continue;
    for (size_t m = 0; m < pairs.size(); ++m)
      if (pairs[m].untracked && pairs[m].headText)
        if (const double share = sharedShare(*pairs[g].baseText, *pairs[m].headText); share >= 0.5)
          candidates.push_back({share, g, m});
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& x, const Candidate& y) { return x.share > y.share; });
  std::vector<bool> taken(pairs.size());
  for (const Candidate& candidate : candidates) {
    if (taken[candidate.gone] || taken[candidate.made]) continue;
    taken[candidate.gone] = taken[candidate.made] = true;
    FilePair& made = pairs[candidate.made];
    FilePair& gone = pairs[candidate.gone];
    gone.headPath = std::move(made.headPath);
    gone.headText = std::move(made.headText);
    gone.headWhy = std::move(made.headWhy);
    made.headPath.reset();
  }
  std::erase_if(pairs, [](const FilePair& pair) { return !pair.basePath && !pair.headPath; });
}

// Both sides of one file read, their graphs built, the parse let go.
struct ReadPair {
  errors::Result<ReadSide> base = ReadSide();
  errors::Result<ReadSide> head = ReadSide();
};

// Base's side of a file whose head side was read, with the bodies head
// left as they were not parsed (see unchanged_bodies.h): those methods
// take head's tokens, and stand in blanked for the head methods they
// repeat.  None when no body could be left out.
std::optional<ReadSide> readBaseSkeleton(const std::string& path, std::string_view source, ReadSide& head,
                                         const DiffReading& reading, std::map<size_t, size_t>& blanked) {
  if (!head.parsed || source.find('\0') != std::string_view::npos) return std::nullopt;
  std::optional<Skeleton> skeleton = skeletonOf(source, *head.parsed);
  if (!skeleton) return std::nullopt;
  errors::Result<ReadSide> side = readSide(path, std::move(skeleton->text), reading);
  if (!side || !side->parsed) return std::nullopt;
  std::optional<std::map<size_t, size_t>> methods = blankedMethods(*skeleton, *side->parsed, *head.parsed);
  if (!methods) return std::nullopt;
  for (const auto& [b, h] : *methods) side->methods[b].fingerprint = head.methods[h].fingerprint;
  blanked = std::move(*methods);
  return std::move(*side);
}

ReadPair readPair(FilePair& pair, const DiffReading& reading) {
  ReadPair out;
  errors::Result<ReadSide>& base = out.base;
  errors::Result<ReadSide>& head = out.head;
  if (pair.headPath) {
    if (pair.headText) head = readSide(*pair.headPath, std::move(*pair.headText), reading);
    else head = errors::Problem(errors::Problem::Kind::Unreadable, pair.headWhy);
  }
  std::map<size_t, size_t> blanked;
  if (pair.basePath) {
    std::optional<ReadSide> skeleton;
    if (pair.baseText && pair.headPath && head)
      skeleton = readBaseSkeleton(*pair.basePath, *pair.baseText, *head, reading, blanked);
    if (skeleton) base = std::move(*skeleton);
    else if (pair.baseText) base = readSide(*pair.basePath, std::move(*pair.baseText), reading);
    else base = errors::Problem(errors::Problem::Kind::Unreadable, pair.baseWhy);
  }
  if (base && head) {
    markHeaderDependents(*head, *base);
    markHeaderDependents(*base, *head);
    std::set<std::string> baseKeys = twinKeys(base->methods, head->methods);
    std::set<std::string> headKeys = twinKeys(head->methods, base->methods);
    // A blanked method that is no twin (its class renamed, or its name
    // given to two methods) needs its graph: base is read whole.
    if (std::any_of(blanked.begin(), blanked.end(),
                    [&](const auto& b) { return !headKeys.count(twinKey(base->methods[b.first])); })) {
      base = readSide(*pair.basePath, std::move(*pair.baseText), reading);
      if (base) {
        markHeaderDependents(*head, *base);
        baseKeys = twinKeys(base->methods, head->methods);
        headKeys = twinKeys(head->methods, base->methods);
      }
    }
    if (base && base->parsed)
      if (errors::Status done = completeSide(*base, headKeys, reading); !done) base = std::move(done).problem();
    if (head->parsed)
      if (errors::Status done = completeSide(*head, baseKeys, reading); !done) head = std::move(done).problem();
  }
  if (base) base->parsed.reset();
  if (head) head->parsed.reset();
  return out;
}

// Reads pairs on several threads (parsing, graphs and measures keep no
// shared state; drawing, which does, comes later) as they are handed in,
// each thread taking the largest pair waiting, so that no thread is left
// with a large one at the end while the others wait.
class PairReaders {
 public:
  PairReaders(std::vector<FilePair>& pairs, const DiffReading& reading)
      : pairs_(pairs), reading_(reading), read_(pairs.size()) {
    const size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), pairs.size());
    for (size_t t = 0; t < threads; ++t) threads_.emplace_back([this] { work(); });
  }
  ~PairReaders() { finish(); }

  // A pair whose texts are all in.
  void add(size_t pair) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waiting_.push_back(pair);
    }
    wake_.notify_one();
  }

  void addAll() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (size_t k = 0; k < pairs_.size(); ++k) waiting_.push_back(k);
    }
    wake_.notify_all();
  }

  // Every pair, once all have been added.
  std::vector<std::optional<ReadPair>>& finish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
    return read_;
  }

 private:
  size_t sizeOf(size_t k) const {
    return (pairs_[k].baseText ? pairs_[k].baseText->size() : 0) + (pairs_[k].headText ? pairs_[k].headText->size() : 0);
  }

  void work() {
    for (;;) {
      size_t pair = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return closed_ || !waiting_.empty(); });
        if (waiting_.empty()) return;
        const auto largest = std::max_element(waiting_.begin(), waiting_.end(),
                                              [this](size_t a, size_t b) { return sizeOf(a) < sizeOf(b); });
        pair = *largest;
        waiting_.erase(largest);
      }
      read_[pair] = readPair(pairs_[pair], reading_);
    }
  }

  std::vector<FilePair>& pairs_;
  const DiffReading& reading_;
  std::vector<std::optional<ReadPair>> read_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<size_t> waiting_;
  bool closed_ = false;
  std::vector<std::thread> threads_;
};

// The methods of the pairs read, joined in the files' order.
void joinPairs(const std::vector<FilePair>& pairs, std::vector<std::optional<ReadPair>>& read, DiffSides& sides) {
  size_t baseMethods = 0, headMethods = 0;
  for (const std::optional<ReadPair>& pair : read) {
    baseMethods += pair->base ? pair->base->methods.size() : 0;
    headMethods += pair->head ? pair->head->methods.size() : 0;
  }
  sides.base.methods.reserve(baseMethods);
  sides.head.methods.reserve(headMethods);
  for (size_t k = 0; k < pairs.size(); ++k) {
    const FilePair& pair = pairs[k];
    errors::Result<ReadSide>& base = read[k]->base;
    errors::Result<ReadSide>& head = read[k]->head;
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
    for (diff::MethodVersion& method : base->methods) sides.base.methods.push_back(std::move(method));
    for (diff::MethodVersion& method : head->methods) sides.head.methods.push_back(std::move(method));
    if (pair.basePath && pair.headPath && *pair.basePath != *pair.headPath)
      sides.renamedFiles[text::validUtf8(*pair.basePath)] = text::validUtf8(*pair.headPath);
  }
}

void compareFiles(std::vector<FilePair>& pairs, const DiffReading& reading, DiffSides& sides) {
  PairReaders readers(pairs, reading);
  readers.addAll();
  joinPairs(pairs, readers.finish(), sides);
}

constexpr const char* kLink = "a symbolic link, which git keeps as a link (it is not followed): not compared";

// Why what git keeps at a path of a mode has no Java text; empty for a file.
std::string whyNoText(std::string_view mode) {
  if (mode == "120000") return kLink;
  if (mode == "160000") return "a submodule, not a file: not compared";
  return {};
}

bool isObjectId(std::string_view text) {
  return (text.size() == 40 || text.size() == 64) && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The Java files of what `git diff --raw -z` lists, record by record:
// ":MODE MODE ID ID STATUS\0PATH\0", with a second path after a rename or
// a copy.  Each side's blob id is kept, or why it holds no Java text.
std::vector<FilePair> listedPairs(std::string_view raw) {
  std::vector<FilePair> pairs;
  const std::vector<std::string_view> fields = text::splitText(raw, '\0');
  for (size_t k = 0; k < fields.size();) {
    const std::string_view header = fields[k];
    const std::vector<std::string_view> parts =
        header.empty() || header[0] != ':' ? std::vector<std::string_view>() : text::splitText(header.substr(1), ' ');
    if (parts.size() != 5 || parts[4].empty()) break;
    const char what = parts[4][0];
    const size_t names = what == 'R' || what == 'C' ? 2 : 1;
    if (k + names >= fields.size()) break;
    FilePair pair;
    if (what != 'A' && what != 'C') {
      pair.basePath = std::string(fields[k + 1]);
      pair.baseBlob = std::string(parts[2]);
      pair.baseWhy = whyNoText(parts[0]);
    }
    if (what != 'D') {
      pair.headPath = std::string(fields[k + names]);
      pair.headBlob = std::string(parts[3]);
      pair.headWhy = whyNoText(parts[1]);
    }
    k += names + 1;
    if ((pair.basePath && isJava(*pair.basePath)) || (pair.headPath && isJava(*pair.headPath)))
      pairs.push_back(std::move(pair));
  }
  return pairs;
}

// Reads the blobs of the pairs' files by their ids (head's too when
// headBlobs; the working tree's files are not read here) from one git
// process, handing each pair to onRead as soon as all its blobs are in,
// or known to be missing.
void readBlobs(const std::string& root, std::vector<FilePair>& pairs, bool headBlobs,
               const std::function<void(size_t pair)>& onRead) {
  struct Wanted {
    size_t pair;
    const std::string* id;
    std::optional<std::string>* text;
    std::string* why;
  };
  std::vector<Wanted> wanted;
  std::vector<int> awaited(pairs.size());
  for (size_t p = 0; p < pairs.size(); ++p) {
    FilePair& pair = pairs[p];
    const auto ask = [&](const std::string& id, std::optional<std::string>* text, std::string* why) {
      if (!why->empty()) return;
      if (!isObjectId(id) || id.find_first_not_of('0') == std::string::npos) {
        *why = "cannot be read from the revision";
        return;
      }
      wanted.push_back({p, &id, text, why});
      ++awaited[p];
    };
    if (pair.basePath) ask(pair.baseBlob, &pair.baseText, &pair.baseWhy);
    if (pair.headPath && headBlobs) ask(pair.headBlob, &pair.headText, &pair.headWhy);
  }
  for (size_t p = 0; p < pairs.size(); ++p)
    if (awaited[p] == 0) onRead(p);
  if (wanted.empty()) return;
  const auto arrived = [&](size_t k) {
    if (--awaited[wanted[k].pair] == 0) onRead(wanted[k].pair);
  };
  git::CatFileReader reader([&](git::CatFileReader::Object object) {
    if (object.index >= wanted.size()) return;
    const Wanted& asked = wanted[object.index];
    if (object.bytes) *asked.text = std::move(*object.bytes);
    else *asked.why = "cannot be read from the revision (" + object.why + ")";
    arrived(object.index);
  });
  std::string batch;
  batch.reserve(wanted.size() * 65);
  for (const Wanted& object : wanted) batch.append(*object.id).append(1, '\n');
  const git::GitOutcome run = git::streamGit({"-C", root, "cat-file", "--batch"}, batch,
                               [&](std::string_view piece) { reader.feed(piece); });
  // Whether git ran is told by the answers read: an object not answered
  // says why with what git said.
  run.ignore();
  for (size_t k = reader.answered(); k < wanted.size(); ++k) {
    *wanted[k].why = "cannot be read from the revision" + git::gitSays(run);
    arrived(k);
  }
}

// Why a working-tree file is not read: a symbolic link at it, or on the
// way to it from the top folder, which git keeps as a link and never
// follows; empty when there is none.
std::string linkOnTheWay(const fs::path& root, const std::string& relative) {
  fs::path at = root;
  const fs::path path(relative);
  for (auto part = path.begin(); part != path.end(); ++part) {
    at /= *part;
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(at, ec))) continue;
    return std::next(part) == path.end() ? kLink : "below a symbolic link, which git does not follow: not compared";
  }
  return {};
}

constexpr const char* kNoGit = "cannot run git, which diff reads the revisions with: it is not installed or not on the PATH";

// A name resolved to its commit, once: afterwards git is given only the id.
struct Commit {
  std::string id;     // empty when the name is no commit
  bool range = false; // the name is git's syntax for a range of commits
};

// Asks git for the commit a name is, in a form in which no name is ever
// read as an option.  "^A" is answered "^ID" and "A..B" with two lines:
// ranges, which diff does not take for one revision.
Commit resolveCommit(const std::string& name) {
  Commit commit;
  if (name.empty() || name[0] == '-') return commit;  // no ref starts so, whatever git's version reads as an option
  const git::GitOutcome run = git::runGit({"rev-parse", "--verify", "--quiet", "--end-of-options", name + "^{commit}"});
  std::string_view said = run ? std::string_view(run->out) : std::string_view();
  if (!said.empty() && said.back() == '\n') said.remove_suffix(1);
  if (git::succeeded(run) && isObjectId(said)) {
    commit.id = std::string(said);
    return commit;
  }
  const auto ends = [&](std::string_view end) { return text::endsWith(name, end); };
  commit.range = (!said.empty() && said[0] == '^') || (!name.empty() && name[0] == '^') ||
                 name.find("..") != std::string::npos || ends("^!") || ends("^@") ||
                 (name.find("^-") != std::string::npos &&
                  name.find_first_not_of("0123456789", name.rfind("^-") + 2) == std::string::npos);
  return commit;
}

// The name, quoted for a message.
std::string named(const std::string& name) { return "'" + text::quotedName(name) + "'"; }

errors::Problem rangeRefused(const std::string& name) {
  return usage(named(name) + " is git's syntax for a range of commits; diff compares two revisions: give them as "
                             "BASE HEAD (flowchart diff main HEAD)");
}

// A name given before "--" that is neither a revision nor a file or folder
// here, as git refuses one.
errors::Problem ambiguous(const std::string& name) {
  return usage("ambiguous argument " + named(name) +
               ": unknown revision or path not in the working tree; put paths after '--' "
               "(flowchart diff BASE [HEAD] -- PATH...)");
}

// "diff OLD NEW" where one of the two is a file or folder here and the
// other is not (or is not of the same kind): what is wrong with the paths.
std::optional<errors::Problem> pathsProblem(const std::string& first, const std::string& second) {
  std::error_code ec;
  const bool firstThere = fs::exists(first, ec), secondThere = fs::exists(second, ec);
  if (!firstThere && !secondThere) return std::nullopt;
  if (firstThere && secondThere)
    return usage("diff: " + text::quotedName(first) + " and " + text::quotedName(second) +
                 " are not two files nor two folders");
  return usage("diff: " + text::quotedName(firstThere ? second : first) +
               ": no such file or folder (diff OLD NEW compares two files or two folders)");
}

// Both sides' files between the commits (head: none for the working
// tree) of the repository whose top folder is root, below the paths.
errors::Result<DiffSides> readCommits(const std::string& root, const std::string& baseName, const std::string& baseId,
                                      const std::optional<std::string>& headName, const std::string& headId,
                                      const std::vector<std::string>& paths, const DiffReading& reading) {
  const auto withPaths = [&](std::vector<std::string> arguments) {
    const std::vector<std::string> git = {"--literal-pathspecs", "-C", root, "-c", "core.quotePath=false"};
    arguments.insert(arguments.begin(), git.begin(), git.end());
    arguments.push_back("--");
    std::error_code ec;
    for (const std::string& path : paths) arguments.push_back(fs::absolute(path, ec).string());
    return arguments;
  };
  std::vector<std::string> changes = {"diff", "--raw", "-z", "-M", "--no-abbrev", "--no-relative", "--no-color",
                                      "--no-ext-diff", baseId};
  if (headName) changes.push_back(headId);
  const git::GitOutcome listed = git::runGit(withPaths(changes));
  if (!git::succeeded(listed)) return usage("git could not list the changes since " + named(baseName) + git::gitSays(listed));
  DiffSides sides;
  sides.base.name = baseName;
  sides.head.name = headName ? *headName : "working tree";
  std::vector<FilePair> pairs = listedPairs(listed->out);
  if (headName) {
    // Each file is parsed as soon as git has given both its blobs.
    PairReaders readers(pairs, reading);
    readBlobs(root, pairs, true, [&](size_t pair) { readers.add(pair); });
    joinPairs(pairs, readers.finish(), sides);
    return sides;
  }
  const git::GitOutcome untracked = git::runGit(withPaths({"ls-files", "-z", "--others", "--exclude-standard", "--full-name"}));
  if (!git::succeeded(untracked)) return usage("git could not list the new files" + git::gitSays(untracked));
  for (std::string_view name : text::splitText(untracked->out, '\0'))
    if (!name.empty() && isJava(std::string(name))) {
      FilePair pair;
      pair.headPath = std::string(name);
      pair.untracked = true;
      pairs.push_back(std::move(pair));
    }
  // The working tree: its files as they are, a new one perhaps a deleted one moved.
  readBlobs(root, pairs, false, [](size_t) {});
  for (FilePair& pair : pairs) {
    if (!pair.headPath || !pair.headWhy.empty()) continue;
    pair.headWhy = linkOnTheWay(root, *pair.headPath);
    if (!pair.headWhy.empty()) continue;
    errors::Result<std::string> read = pipeline::readSourceFile((fs::path(root) / *pair.headPath).string());
    if (read) pair.headText = std::move(*read);
    else if (read.problem().message.find("binary") != std::string::npos) pair.headText = std::string(1, '\0');
    else pair.headWhy = read.problem().message;
  }
  followUntrackedRenames(pairs);
  compareFiles(pairs, reading, sides);
  return sides;
}

}  // namespace

errors::Result<DiffSides> readRevisions(const std::string& base, const std::optional<std::string>& head,
                                        const std::vector<std::string>& paths, const DiffReading& reading,
                                        bool namesBeforeSeparator) {
  // The top folder and each name's commit are asked at once, each name
  // once: what is listed and read after is the commits' ids, so that a ref
  // moved meanwhile (a fetch in the background) cannot mix two commits.
  Commit baseCommit, headCommit;
  std::thread baseAsked([&] { baseCommit = resolveCommit(base); });
  std::optional<std::thread> headAsked;
  if (head) headAsked.emplace([&] { headCommit = resolveCommit(*head); });
  const git::GitOutcome top = git::runGit({"rev-parse", "--show-toplevel"});
  baseAsked.join();
  if (headAsked) headAsked->join();
  if (!top) return usage(kNoGit);
  const bool pathsPossible = namesBeforeSeparator && head;
  if (!top->succeeded()) {
    if (pathsPossible)
      if (std::optional<errors::Problem> problem = pathsProblem(base, *head)) return *problem;
    return usage("the current folder is not in a git repository" + git::gitSays(top) +
                 "; diff compares revisions of it, or two files or folders");
  }
  // The top folder exactly as git wrote it, but for the line break after it.
  std::string root = top->out;
  if (!root.empty() && root.back() == '\n') root.pop_back();
  if (baseCommit.id.empty()) {
    if (pathsPossible)
      if (std::optional<errors::Problem> problem = pathsProblem(base, *head)) return *problem;
    if (baseCommit.range) return rangeRefused(base);
    return usage("unknown git revision " + named(base));
  }
  std::error_code ec;
  if (namesBeforeSeparator)
    for (const std::string& path : paths)
      if (!fs::exists(fs::symlink_status(path, ec))) return ambiguous(path);
  if (head && headCommit.id.empty()) {
    if (headCommit.range) return rangeRefused(*head);
    if (!namesBeforeSeparator) return usage("unknown git revision " + named(*head));
    if (!fs::exists(fs::symlink_status(*head, ec))) return ambiguous(*head);
    // "diff BASE PATH": the working tree below the path.
    std::vector<std::string> below = paths;
    below.insert(below.begin(), *head);
    return readCommits(root, base, baseCommit.id, std::nullopt, {}, below, reading);
  }
  return readCommits(root, base, baseCommit.id, head, headCommit.id, paths, reading);
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
      const site::JavaFiles found = site::javaFilesBelow(files::realFileSystem(), folder);
      for (const site::UnreadableFolder& unreadable : found.unreadable)
        sides.failures.push_back({folder, unreadable.folder.generic_string(), 0,
                                  "cannot be read: " + std::generic_category().message(unreadable.systemError)});
      for (const site::JavaFile& file : found.files) {
        // The path below the folder as listed: a link is named by its own path, not its target's.
        const std::string relative = file.path.lexically_relative(folder).generic_string();
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
    return usage("diff: " + text::quotedName(oldPath) + " and " + text::quotedName(newPath) +
                 " are not two files nor two folders");
  }
  compareFiles(pairs, reading, sides);
  return sides;
}

}  // namespace diff
