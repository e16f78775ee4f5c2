// Unicode escapes translated as javac reads them, and the ones that hide
// code, each case checked against what javac 17 does with it.
#include "frontends/java/unicode_escapes.h"

#include <gtest/gtest.h>

#include <sstream>

#include "frontends/java/hidden_code.h"

namespace {

using java::TranslatedSource;
using java::translateUnicodeEscapes;
constexpr java::EscapeEncoding kUtf8 = java::EscapeEncoding::Utf8;

// "text | @offset raw>translated ..." of a translation.
std::string described(const TranslatedSource& t) {
  std::ostringstream out;
  out << t.text << " |";
  for (const java::UnicodeEscape& e : t.escapes)
    out << " @" << e.rawOffset << " " << e.rawLength << ">" << e.length;
  for (uint32_t at : t.escapedLineBreaks) out << " break@" << at;
  if (t.malformedLine) out << " malformed " << t.malformedLine << ":" << t.malformedColumn;
  return out.str();
}

std::string hidden(std::string_view source) {
  const TranslatedSource t = translateUnicodeEscapes(source, java::EscapeEncoding::Utf8);
  std::string out;
  for (const java::HiddenCode& code : java::findHiddenCode(source, t))
    out += std::to_string(code.line) + ":" + std::to_string(code.column) + "-" + std::to_string(code.endColumn) + " " +
           code.message() + "\n";
  return out;
}

TEST(UnicodeEscapes, TranslatedAsJavacReadsThem) {
  // An even run of backslashes begins no escape; any number of u's may.
  EXPECT_EQ(described(translateUnicodeEscapes("a\\\\u0041 \\\\\\u0041 \\uuuu0041", kUtf8)),
            "a\\\\u0041 \\\\A A | @11 6>1 @18 9>1");
  // A backslash an escape stands for begins no escape, but the one after it may.
  EXPECT_EQ(described(translateUnicodeEscapes("\\u005cu0041\\u005c\\u0041", kUtf8)),
            "\\u0041\\A | @0 6>1 @11 6>1 @17 6>1");
  // Line breaks escapes stand for are marked; lines and columns are the file's.
  EXPECT_EQ(described(translateUnicodeEscapes("x\n// \\u000a y\n\t\\u000D", kUtf8)),
            "x\n// \n y\n\t\n | @5 6>1 @15 6>1 break@5 break@10");
  // Non-ASCII characters in the file's charset (a pair of surrogates is one
  // character); characters no text shows stay as written.
  EXPECT_EQ(described(translateUnicodeEscapes("\\u00e9\\ud83d\\ude00'\\u0000'\\ud800", kUtf8)),
            "\xC3\xA9\xF0\x9F\x98\x80'\\u0000'\\ud800 | @0 6>2 @6 12>4 @19 6>6 @26 6>6");
  EXPECT_EQ(described(translateUnicodeEscapes("\xE9\\u00e9\\u20ac", java::EscapeEncoding::Latin1)),
            "\xE9\xE9\\u20ac | @1 6>1 @7 6>6");
  EXPECT_EQ(described(translateUnicodeEscapes("'\\u00e9'\\u0041", java::EscapeEncoding::Ascii)),
            "'\\u00e9'A | @1 6>6 @8 6>1");
  // A malformed escape, as javac refuses it, even in a comment.
  EXPECT_EQ(described(translateUnicodeEscapes("ok\n  // c:\\users\n", kUtf8)), "ok\n  // c: | malformed 2:8");
  EXPECT_EQ(described(translateUnicodeEscapes("\\u00g1", kUtf8)), " | malformed 1:1");
  EXPECT_EQ(described(translateUnicodeEscapes("x\\u004", kUtf8)), "x | malformed 1:2");
  EXPECT_FALSE(java::mayHoldUnicodeEscapes("a \\\\ b \\n"));
}

TEST(UnicodeEscapes, HiddenCodeIsFoundWhereJavacReadsOtherwise) {
  EXPECT_EQ(hidden("  // tidy up \\u000a if (x > 1) x = g();\n"),
            "1:14-20 Unicode escape \\u000a is a line break that ends a // comment: the rest of the line is code\n");
  EXPECT_EQ(hidden("/* \\u002a\\u002f if (x > 1) x = g(); /* */\n"),
            "1:4-16 Unicode escapes \\u002a\\u002f are '*/', which ends a comment: what follows is code\n");
  EXPECT_EQ(hidden("s = \"\\u0022 + (x > 1 ? g() : 0) + \\u0022\";\n"),
            "1:6-12 Unicode escape \\u0022 is '\"', which ends a string literal: what follows is code\n"
            "1:35-41 Unicode escape \\u0022 is '\"', which begins a string literal: what follows is not code\n");
  EXPECT_EQ(hidden("x = 1; \\u002f\\u002f x = 2;\n"),
            "1:8-20 Unicode escapes \\u002f\\u002f are '//', which begins a comment: the rest of the line is not "
            "code\n");
  EXPECT_EQ(hidden("s = \"a\\u005c\"\";\nc = '\\u005c'';\n"),
            "1:7-13 Unicode escape \\u005c is '\\', which changes where the string literal ends\n"
            "2:6-12 Unicode escape \\u005c is '\\', which changes where the character literal ends\n");
  EXPECT_EQ(hidden("int \\u0069f = 1; i\\u0066 (a) b();\n"),
            "1:5-12 Unicode escape \\u0069f is the keyword 'if', written so that it reads as a name\n"
            "1:18-25 Unicode escape i\\u0066 is the keyword 'if', written so that it reads as a name\n");
  // Columns count characters: the two bytes of é are one.
  EXPECT_EQ(hidden("\xC3\xA9 \\u003d"), "1:3-9 Unicode escape \\u003d is '=' outside any literal or comment\n");
  EXPECT_EQ(hidden("x \\u003d\\u003d 1;\\u000ay();int\\u0020z;\n"),
            "1:3-15 Unicode escapes \\u003d\\u003d are '==' outside any literal or comment\n"
            "1:18-24 Unicode escape \\u000a is a line break outside any literal or comment\n"
            "1:31-37 Unicode escape \\u0020 is a blank outside any literal or comment\n");
  // Escapes that stay inside their literal, comment, name or number.
  EXPECT_EQ(hidden("int \\u0061bc() { return \"caf\\u00e9\\u005cn\".length() + '\\u0041' + 1\\u0030; }\n"
                   "// caf\\u00e9 \\u002a\\u002f\n/* \\u000a \\u002a */ char c = '\\u0000';\n"
                   "String t = \"\"\"\n  \\u0022 \\u005cn \"\"\";\n"),
            "");
}

}  // namespace
