// The scanner on its own: tokens with the line and column the tree gets,
// comment records, and the counts it reports.
#include "frontends/java/scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontends/java/comments.h"
#include "frontends/java/metrics.h"
#include "frontends/java/parse_context.h"

namespace {

struct Scan {
  std::string tokens;  // "NAME`text`line:column " per token
  java::CommentRecorder comments;
  java::Metrics metrics;
};

void scanInto(Scan& scan, std::string_view source, bool enumKeyword = true) {
  java::LexerState state;
  state.enumKeyword = enumKeyword;
  state.comments = &scan.comments;
  state.metrics = &scan.metrics;
  scan.metrics.start(0);
  java::Scanner scanner(source, state);
  while (int kind = scanner.next()) {
    const std::string_view text = scanner.text();
    scan.tokens += std::string(java::tokenName(kind)) + "`" + std::string(text) + "`" +
                   std::to_string(state.line) + ":" +
                   std::to_string(state.column - static_cast<int>(text.size())) + " ";
    state.previousToken = kind;
  }
}

std::string tokens(std::string_view source, bool enumKeyword = true) {
  Scan scan;
  scanInto(scan, source, enumKeyword);
  return scan.tokens;
}

// Only the token names.
std::string kinds(std::string_view source, bool enumKeyword = true) {
  std::string all = tokens(source, enumKeyword), out;
  for (size_t at = 0; at < all.size();) {
    const size_t tick = all.find('`', at);
    out += all.substr(at, tick - at) + " ";
    const size_t end = all.find('`', tick + 1);
    at = all.find(' ', end) + 1;
  }
  return out;
}

std::string hint(const java::Metrics& metrics, std::string_view id) {
  const std::string text = metrics.resultsText();
  const std::string key = "<hint id=\"" + std::string(id) + "\" value=\"";
  const size_t at = text.find(key);
  if (at == std::string::npos) return "?";
  const size_t from = at + key.size();
  return text.substr(from, text.find('"', from) - from);
}

}  // namespace

TEST(Scanner, ShiftsAndDimensions) {
  EXPECT_EQ(kinds("a >> b"), "IDEN GT GT IDEN ");
  EXPECT_EQ(kinds("a >>> b"), "IDEN SHRR IDEN ");
  EXPECT_EQ(kinds("x >>= 1"), "IDEN ASSSHR NUMLIT ");
  EXPECT_EQ(kinds("a >>>= b <<= c << d"), "IDEN ASSSHRR IDEN ASSSHL IDEN SHL IDEN ");
  EXPECT_EQ(tokens("int[ ] a"), "INT`int`1:1 DIM`[ ]`1:4 IDEN`a`1:8 ");
  // A line break inside the brackets raises the line; the column runs on.
  EXPECT_EQ(tokens("int[\n] a"), "INT`int`1:1 DIM`[\n]`2:4 IDEN`a`2:8 ");
  EXPECT_EQ(kinds("a[i]"), "IDEN OSQ IDEN CSQ ");
}

TEST(Scanner, EveryPunctuatorAndOperator) {
  EXPECT_EQ(kinds("! # $ % & ( ) * + - , . / : ; < > = ? [x] \\ { } | ~ ^"),
            "EXCL HASH DOLLAR PC AMP OPR CPR MUL ADD SUB CMA DOT DIV COL SEMI LT GT EQ QUEST "
            "OSQ IDEN CSQ RDIV OBR CBR PIPE TILD CARET ");
  EXPECT_EQ(kinds("== <= >= != || && ++ -- += -= *= /= &= |= ^= %="),
            "EQEQ LE GE NE LOR LAND INC DEC ASSADD ASSSUB ASSMUL ASSDIV ASSAND ASSOR ASSXOR ASSMOD ");
  EXPECT_EQ(kinds("import a.*; f(x...) @A @interface B"),
            "IMPORT IDEN DOTSTAR SEMI IDEN OPR IDEN ELL CPR AT_SYM IDEN AT_INTERFACE IDEN ");
  EXPECT_EQ(kinds("true false truer"), "BOOLLIT BOOLLIT IDEN ");
}

TEST(Scanner, KeywordsBeatIdentifiersOfTheSameLength) {
  EXPECT_EQ(kinds("abstract assert boolean break byte case catch char class const continue default do "
                  "double else enum extends final finally float for goto if implements import "
                  "instanceof int interface long native new null package private protected public "
                  "return short static strictfp super switch synchronized this throw throws "
                  "transient try void volatile while"),
            "ABSTRACT ASSERT BOOLEAN BREAK BYTE CASE CATCH CHAR CLASS CONST CONTINUE DEFAULT DO "
            "DOUBLE ELSE ENUM EXTENDS FINAL FINALLY FLOAT FOR GOTO IF IMPLEMENTS IMPORT "
            "INSTANCEOF INT INTERFACE LONG NATIVE NEW JNULL PACKAGE PRIVATE PROTECTED PUBLIC "
            "RETURN SHORT STATIC STRICTFP SUPER SWITCH SYNCHRONIZED THIS THROW THROWS "
            "TRANSIENT TRY VOID VOLATILE WHILE ");
  EXPECT_EQ(kinds("iff classes enumeration Int"), "IDEN IDEN IDEN IDEN ");
}

TEST(Scanner, EnumSwitch) {
  EXPECT_EQ(kinds("enum E", true), "ENUM IDEN ");
  EXPECT_EQ(kinds("enum E", false), "IDEN IDEN ");
  // Counted as the operator ENUM either way.
  for (bool on : {true, false}) {
    Scan scan;
    scanInto(scan, "enum", on);
    scan.metrics.finishFile(1);
    EXPECT_EQ(hint(scan.metrics, "TOTAL_OPERATORS"), "1");
    EXPECT_EQ(hint(scan.metrics, "TOTAL_OPERANDS"), "0");
  }
}

TEST(Scanner, IdentifierBytes) {
  EXPECT_EQ(kinds("$ $a a$ _x x9 $$"), "DOLLAR IDEN IDEN IDEN IDEN IDEN ");
  EXPECT_EQ(tokens("caf\xE9 \xFFx"), "IDEN`caf\xE9`1:1 IDEN`\xFFx`1:6 ");
  // 0xC6, 0xD7, 0xF7 are no identifier bytes: skipped, and the column stays.
  EXPECT_EQ(tokens("a\xC6" "b \xD7\xF7z"), "IDEN`a`1:1 IDEN`b`1:2 IDEN`z`1:4 ");
  EXPECT_EQ(tokens("\x01x"), "IDEN`\x01x`1:1 ");
}

TEST(Scanner, NumberForms) {
  EXPECT_EQ(tokens("1 1L 0 00 077 0L 0X1aL 1.5 3. 1.e5 0.5f 1.5D .5 .5e3 1e5 5e+3 1E5D 1f 1d"),
            "NUMLIT`1`1:1 NUMLIT`1L`1:3 NUMLIT`0`1:6 NUMLIT`00`1:8 NUMLIT`077`1:11 NUMLIT`0L`1:15 "
            "NUMLIT`0X1aL`1:18 NUMLIT`1.5`1:24 NUMLIT`3.`1:28 NUMLIT`1.e5`1:31 NUMLIT`0.5f`1:36 "
            "NUMLIT`1.5D`1:41 NUMLIT`.5`1:46 NUMLIT`.5e3`1:49 NUMLIT`1e5`1:54 NUMLIT`5e+3`1:58 "
            "NUMLIT`1E5D`1:63 NUMLIT`1f`1:68 NUMLIT`1d`1:71 ");
  EXPECT_EQ(tokens("09 0x 1e 1e+ 1.5e+"),
            "NUMLIT`0`1:1 NUMLIT`9`1:2 NUMLIT`0`1:4 IDEN`x`1:5 NUMLIT`1e`1:7 NUMLIT`1e`1:10 "
            "ADD`+`1:12 NUMLIT`1.5e`1:14 ADD`+`1:18 ");
  EXPECT_EQ(kinds("1_000"), "NUMLIT IDEN ");
}

TEST(Scanner, CharacterAndStringLiterals) {
  EXPECT_EQ(tokens("'a' '\\n' '\\'' '\\\\' '\\377' '\\u0041' '\\uu00e9' '\n'"),
            "CHRLIT`'a'`1:1 CHRLIT`'\\n'`1:5 CHRLIT`'\\''`1:10 CHRLIT`'\\\\'`1:15 "
            "CHRLIT`'\\377'`1:20 CHRLIT`'\\u0041'`1:27 CHRLIT`'\\uu00e9'`1:36 CHRLIT`'\n'`2:46 ");
  // A quote that starts no literal is skipped without moving the column.
  EXPECT_EQ(tokens("'ab' x"), "IDEN`ab`1:1 IDEN`x`1:4 ");
  EXPECT_EQ(tokens("'\\x' y"), "RDIV`\\`1:1 IDEN`x`1:2 IDEN`y`1:4 ");
  EXPECT_EQ(tokens("\"a\\\"b\" \"\\400\""), "STRLIT`\"a\\\"b\"`1:1 STRLIT`\"\\400\"`1:8 ");
  // A string may span lines: the line rises, the column does not reset.
  EXPECT_EQ(tokens("\"a\nb\" c"), "STRLIT`\"a\nb\"`2:1 IDEN`c`2:7 ");
  EXPECT_EQ(tokens("\"open x"), "IDEN`open`1:1 IDEN`x`1:6 ");
  EXPECT_EQ(tokens("\"bad \\q\" z"), "IDEN`bad`1:1 RDIV`\\`1:5 IDEN`q`1:6 IDEN`z`1:8 ");
  // A zero byte ends no literal and becomes part of no token.
  EXPECT_EQ(kinds(std::string_view("'\0' \"a\0b\"", 10)), "IDEN IDEN ");
}

TEST(Scanner, GenericCasts) {
  EXPECT_EQ(tokens("(List<String>) x"), "CASTEXPR`(List<String>)`1:1 IDEN`x`1:16 ");
  EXPECT_EQ(kinds("(Map<K,V>) (List< String > ) (A<b , c>)"), "CASTEXPR CASTEXPR CASTEXPR ");
  EXPECT_EQ(kinds("(String) x"), "OPR IDEN CPR IDEN ");
  EXPECT_EQ(kinds("(a.B<C>)"), "OPR IDEN DOT IDEN LT IDEN GT CPR ");
  EXPECT_EQ(kinds("(A<B<C>>)"), "OPR IDEN LT IDEN LT IDEN GT GT CPR ");
  EXPECT_EQ(kinds("(A<?>)"), "OPR IDEN LT QUEST GT CPR ");
  EXPECT_EQ(kinds("(A<B[]>)"), "OPR IDEN LT IDEN DIM GT CPR ");
  EXPECT_EQ(kinds("(A<\tB>)"), "OPR IDEN LT IDEN GT CPR ");
  EXPECT_EQ(kinds("(A<>)"), "OPR IDEN LT GT CPR ");
  EXPECT_EQ(kinds("( A<B>)"), "OPR IDEN LT IDEN GT CPR ");
}

TEST(Scanner, ColumnsAfterTabsCommentsAndLineEnds) {
  EXPECT_EQ(tokens("\tx"), "IDEN`x`1:2 ");
  // Comments and skipped bytes do not move the column.
  EXPECT_EQ(tokens("/* c */ x"), "IDEN`x`1:2 ");
  EXPECT_EQ(tokens("a /* one\n two */ b"), "IDEN`a`1:1 IDEN`b`2:4 ");
  EXPECT_EQ(tokens("a\r\nb\rc\fd"), "IDEN`a`1:1 IDEN`b`2:1 IDEN`c`2:1 IDEN`d`2:1 ");
  EXPECT_EQ(tokens("x // y\n z"), "IDEN`x`1:1 IDEN`z`2:2 ");
}

TEST(Scanner, CommentRecords) {
  Scan scan;
  scanInto(scan, "/* a\n b\n */ x; // note <1>\r\n/**/ /*x*/ // \"&'\n/* open\n");
  ASSERT_EQ(scan.comments.lines().size(), 9u);
  const std::pair<int, std::string> expected[] = {
      {1, "/* a"}, {2, " b"}, {3, " */"}, {3, "// note &lt;1&gt;\r"}, {4, "/**/"},
      {4, "/*x*/"}, {4, "// &quot;&amp;&apos;"}, {5, "/* open"}, {6, ""}};
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(scan.comments.lines()[i].line, expected[i].first) << i;
    EXPECT_EQ(scan.comments.lines()[i].text, expected[i].second) << i;
  }
  EXPECT_EQ(scan.tokens, "IDEN`x`3:2 SEMI`;`3:3 ");
}

TEST(Scanner, DecisionPointsAndElseIf) {
  // Counted outside a function: the loose counter collects them.
  auto decisions = [](std::string_view source) {
    Scan scan;
    scanInto(scan, source);
    return scan.metrics.looseDecisions();
  };
  EXPECT_EQ(decisions("if else if ; if"), 3);
  EXPECT_EQ(decisions("else case catch for while switch && || do try"), 8);
  EXPECT_EQ(decisions("else /* c */ if"), 1);
}
