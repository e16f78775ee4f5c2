// libFuzzer target for the Java scanner and grammar: any bytes must give
// a defined answer, and an accepted file must give a well-formed tree.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "frontends/java/comments.h"
#include "frontends/java/metrics.h"
#include "frontends/java/parse_context.h"
#include "frontends/java/scanner.h"

namespace {

class StringSink : public tree::TextSink {
 public:
  bool write(std::string_view bytes) override {
    text.append(bytes);
    return true;
  }
  std::string text;
};

bool wellFormed(const std::string& text) {
  pugi::xml_document document;
  return document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_latin1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the enum switch (bit 0) and the language level
  // (the rest: 0 and the levels below 6 are the Java 5 grammar; 6 to 25
  // the modern one; more, the newest).
  const bool enumKeyword = data[0] & 1;
  const int level = data[0] >> 1;
  const std::string_view source(reinterpret_cast<const char*>(data) + 1, size - 1);

  java::CommentRecorder comments;
  java::Metrics metrics;
  java::LexerState lexer;
  lexer.enumKeyword = enumKeyword;
  lexer.level = java::effectiveLanguageLevel(level);
  lexer.comments = &comments;
  lexer.metrics = &metrics;
  metrics.start(1180000000);

  java::Scanner scanner(source, lexer);
  java::ParseContext context(scanner, lexer, metrics);
  if (java::parseAtLevel(context) != 0 || !context.reducedProgram()) return 0;

  StringSink tree;
  if (!context.tree().write(context.program().list, tree)) std::abort();
  if (tree.text.size() != context.tree().textLength(context.program().list)) std::abort();
  if (tree.text.find('\0') != std::string::npos) std::abort();
  if (!wellFormed(tree.text)) std::abort();
  if (!wellFormed(metrics.resultsText())) std::abort();
  if (!wellFormed(comments.fileText())) std::abort();
  return 0;
}
