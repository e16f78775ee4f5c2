#include "frontends/java/source_parse.h"

#include <chrono>
#include <climits>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>

#include "frontends/java/parse_context.h"
#include "frontends/java/scanner.h"

namespace java {

// Lines and columns are ints: a larger source cannot be numbered.
constexpr uintmax_t kLargestSource = INT_MAX - 1;

struct SourceParse::State {
  LexerState lexer;
  CommentRecorder comments;
  Metrics metrics;
  std::unique_ptr<Scanner> scanner;
  // Declared last, so destroyed first: it refers to the members above.
  std::unique_ptr<ParseContext> context;
};

std::string ParseStatus::text() const {
  if (parsed()) return "<ParseSuccess/>";
  return "<ParseError line=\"" + std::to_string(line) + "\"/>";
}

std::string implicitClassName(const std::string& sourcePath) {
  std::string stem = std::filesystem::path(sourcePath).stem().string();
  for (char& c : stem) {
    const bool javaName =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    if (!javaName) c = '_';
  }
  return stem.empty() ? "_" : stem;
}

int64_t sourceModificationTime(const std::string& sourcePath) {
  std::error_code ec;
  const std::filesystem::file_time_type stamp = std::filesystem::last_write_time(sourcePath, ec);
  if (ec) return 0;
  const auto system = std::chrono::file_clock::to_sys(stamp);
  return std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
}

SourceParse::SourceParse(std::unique_ptr<State> state) : state_(std::move(state)) {}
SourceParse::SourceParse(SourceParse&&) noexcept = default;
SourceParse& SourceParse::operator=(SourceParse&&) noexcept = default;
SourceParse::~SourceParse() = default;

SourceParse SourceParse::ofText(std::string_view source, const ParseOptions& options) {
  SourceParse parse(std::make_unique<State>());
  if (source.size() > kLargestSource) {
    parse.status_ = ParseStatus{ParseStatus::Kind::Failed, 1, {}, ParseFailure::TooLarge};
    return parse;
  }
  parse.run(options, [&](LexerState& lexer) {
    lexer.escapedLineBreaks = options.escapedLineBreaks;
    return std::make_unique<Scanner>(source, lexer);
  });
  return parse;
}

SourceParse SourceParse::ofFile(std::FILE* source, uintmax_t sourceSize, const ParseOptions& options) {
  SourceParse parse(std::make_unique<State>());
  if (sourceSize > kLargestSource) {
    parse.status_ = ParseStatus{ParseStatus::Kind::Failed, 1, {}, ParseFailure::TooLarge};
    return parse;
  }
  parse.run(options, [&](LexerState& lexer) { return std::make_unique<Scanner>(source, lexer); });
  return parse;
}

void SourceParse::run(const ParseOptions& options,
                      const std::function<std::unique_ptr<Scanner>(LexerState&)>& makeScanner) {
  State& state = *state_;
  ParseStatus& status = status_;
  Metrics& metrics = state.metrics;
  LexerState& lexer = state.lexer;
  metrics.setMethodVolumes(options.methodVolumes);
  if (options.methodVolumes) metrics.setImplicitClass(options.implicitClass);
  lexer.enumKeyword = options.enumKeyword;
  lexer.level = effectiveLanguageLevel(options.languageLevel);
  lexer.comments = &state.comments;
  lexer.metrics = &metrics;
  metrics.start(options.modificationTime);
  lexer.column = 1;
  try {
    state.scanner = makeScanner(lexer);
    state.context = std::make_unique<ParseContext>(*state.scanner, lexer, metrics);
    const int parsed = parseAtLevel(*state.context);
    // The scanner (and its copy of the source) is not needed any more;
    // the context does not read from it after the parse.
    state.scanner.reset();
    if (parsed != 0 || !state.context->reducedProgram()) {
      // The parser answers 2 when its stack would grow past its limit.
      status = ParseStatus{ParseStatus::Kind::Failed, state.context->errorLine(), {},
                           parsed == 2 ? ParseFailure::StackLimit : ParseFailure::Syntax};
      state.context.reset();
      return;
    }
    status = ParseStatus{ParseStatus::Kind::Parsed, 0, {}};
  } catch (const ScannerFatal& fatal) {
    status = ParseStatus{ParseStatus::Kind::Fatal, lexer.line, fatal.what(), ParseFailure::ScannerFatal};
  } catch (const std::bad_alloc&) {
    status = ParseStatus{ParseStatus::Kind::Failed, lexer.line, {}, ParseFailure::OutOfMemory};
  } catch (const std::length_error&) {
    status = ParseStatus{ParseStatus::Kind::Failed, lexer.line, {}, ParseFailure::OutOfMemory};
  }
  if (!status.parsed()) {
    state.context.reset();
    state.scanner.reset();
  }
}

int SourceParse::endLine() const { return state_->lexer.line; }
int SourceParse::strayZeroByteLine() const { return state_->lexer.strayZeroByteLine; }

bool SourceParse::writeTree(tree::TextSink& sink) const {
  const ParseContext& context = *state_->context;
  return context.tree().write(context.program().list, sink);
}

uint64_t SourceParse::treeTextLength() const {
  const ParseContext& context = *state_->context;
  return context.tree().textLength(context.program().list);
}

const tree::PieceTree& SourceParse::pieces() const { return state_->context->tree(); }
tree::PieceList SourceParse::program() const { return state_->context->program().list; }

void SourceParse::releaseTree() {
  if (state_->context) state_->context->releaseTree();
}

const Metrics& SourceParse::metrics() const { return state_->metrics; }
const CommentRecorder& SourceParse::comments() const { return state_->comments; }

}  // namespace java
