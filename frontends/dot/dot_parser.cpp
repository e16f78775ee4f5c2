#include "frontends/dot/dot_parser.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>

#include "dot_grammar.h"
#include "files/atomic_file.h"
#include "frontends/dot/parse_context.h"

// The generated scanner's interface (reentrant, prefix dot_yy).
int dot_scan(void* scanner);
int dot_yylex_init(void** scanner);
int dot_yylex_destroy(void* scanner);
void dot_yyset_in(std::FILE* input, void* scanner);
char* dot_yyget_text(void* scanner);
int dot_yyget_leng(void* scanner);
int dot_yyget_lineno(void* scanner);

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

const char* tokenName(int kind) {
  switch (kind) {
    case CUO: return "CUO";
    case CUC: return "CUC";
    case SEMI: return "SEMI";
    case EQ: return "EQ";
    case SQO: return "SQO";
    case SQC: return "SQC";
    case COMMA: return "COMMA";
    case COLON: return "COLON";
    case CHAR_STR: return "CHAR_STR";
    case NUMBER: return "NUMBER";
    case HTML_STR: return "HTML_STR";
    case ARROW: return "ARROW";
    case MINMIN: return "MINMIN";
    case COM_PT: return "COM_PT";
    case NODE: return "NODE";
    case EDGE: return "EDGE";
    case GRAPH: return "GRAPH";
    case DIGRAPH: return "DIGRAPH";
    case SUBGRAPH: return "SUBGRAPH";
    case STRICT: return "STRICT";
    case STR_ST: return "STR_ST";
    case STR_CON: return "STR_CON";
    case STR_END: return "STR_END";
    default: return "UNKNOWN";
  }
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// Owns the scanner state of one parse.
class Scanner {
 public:
  explicit Scanner(std::FILE* input) {
    if (dot_yylex_init(&state_) != 0) {
      state_ = nullptr;
      return;
    }
    dot_yyset_in(input, state_);
  }
  ~Scanner() {
    if (state_) dot_yylex_destroy(state_);
  }
  bool ok() const { return state_ != nullptr; }
  Scanner(const Scanner&) = delete;
  Scanner& operator=(const Scanner&) = delete;
  void* state() const { return state_; }
  int line() const { return dot_yyget_lineno(state_); }

 private:
  void* state_ = nullptr;
};

class AtomicFileSink : public tree::TextSink {
 public:
  explicit AtomicFileSink(files::AtomicFile& file) : file_(file) {}
  bool write(std::string_view bytes) override { return file_.write(bytes); }

 private:
  files::AtomicFile& file_;
};

bool writeTree(const dot::ParseContext& context, const std::string& outPath) {
  files::AtomicFile out(outPath);
  if (!out.open() || !out.write(kDeclaration)) return false;
  AtomicFileSink sink(out);
  if (!context.tree.write(context.root, sink)) return false;
  return out.write("\n") && out.commit();
}

std::string errorStatus(int line) {
  return "<ParseError line=\"" + std::to_string(line) + "\"/>";
}

}  // namespace

// The grammar asks for one token at a time; each becomes a leaf of the
// tree at once, with the line on which it ends.
int dot_yylex(DOT_YYSTYPE* value, dot::ParseContext& context) {
  const int kind = dot_scan(context.scanner);
  if (kind == 0) return 0;
  const std::string_view text(dot_yyget_text(context.scanner),
                              static_cast<size_t>(dot_yyget_leng(context.scanner)));
  *value = context.tree.token(tokenName(kind), dot_yyget_lineno(context.scanner), -1, text);
  return kind;
}

namespace dot {

int parseDotFile(const std::string& dotPath, const std::string& outPath,
                 const std::string& statusPath) {
  return parseDotFileOutcome(dotPath, outPath, statusPath) == DotParse::Parsed ? 0 : 1;
}

DotParse parseDotFileOutcome(const std::string& dotPath, const std::string& outPath,
                             const std::string& statusPath) {
  std::error_code ec;
  // Only a regular file is read: a pipe would block for good.
  if (!std::filesystem::is_regular_file(dotPath, ec)) return DotParse::CannotRead;
  InputFile input(std::fopen(dotPath.c_str(), "rb"));
  if (!input) return DotParse::CannotRead;
  files::AtomicFile status(statusPath);
  if (!status.open()) return DotParse::CannotWrite;

  bool parsed = false;
  bool written = false;
  int line = 1;
  Scanner scanner(input.get());
  if (scanner.ok()) {
    ParseContext context;
    context.scanner = scanner.state();
    try {
      parsed = dot_yyparse(context) == 0 && context.accepted;
      line = scanner.line();
      // A tree that cannot be written is a failed parse, not a success.
      written = parsed && writeTree(context, outPath);
    } catch (const std::bad_alloc&) {
      // Out of memory while building the tree: the parse failed.
      line = scanner.line();
      written = false;
    }
  }

  if (!status.write(written ? std::string(kParseSuccess) : errorStatus(line))) return DotParse::CannotWrite;
  if (!status.commit()) return DotParse::CannotWrite;
  if (written) return DotParse::Parsed;
  return parsed ? DotParse::CannotWrite : DotParse::NotParsed;
}

}  // namespace dot
