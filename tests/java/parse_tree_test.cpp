// The parse tree mode 7 writes: the shapes the flowchart builder relies
// on, token attributes, escaping, and what a failed parse leaves behind.
#include <gtest/gtest.h>

#include "xml/document.h"
#include "tests/java/java_run.h"

using namespace javatest;
using testing_support::TempDir;

namespace {

struct Tree {
  std::string text;
  std::unique_ptr<xml::Document> document;

  // Names of the children of the first node the query finds.
  std::string children(std::string_view xpath) const {
    xml::Node node = document->root().selectSingleNode(xpath);
    if (!node) return "(none)";
    std::string names;
    for (const xml::Node& child : node.childElements()) {
      if (!names.empty()) names += ' ';
      names += child.name();
    }
    return names;
  }
  size_t count(std::string_view xpath) const { return document->root().countNodes(xpath); }
};

Tree parseTree(std::string_view source, int enumSwitch = 1, int level = 0) {
  TempDir dir;
  ParseRun run = parseSource(dir, source, enumSwitch, level);
  EXPECT_EQ(run.exitCode, 0) << source;
  EXPECT_EQ(run.status, "<ParseSuccess/>") << source;
  EXPECT_EQ(run.err, "");
  Tree tree;
  tree.text = run.tree.value_or("");
  tree.document = xml::Document::loadText(tree.text);
  if (!tree.document) {
    ADD_FAILURE() << "tree does not load for " << source;
    tree.document = std::make_unique<xml::Document>();
  }
  return tree;
}

Tree inMethod(std::string_view body) {
  return parseTree("class A {\n  void f() {\n" + std::string(body) + "\n  }\n}\n");
}

}  // namespace

TEST(ParseTree, MethodsConstructorsAndInitialisers) {
  Tree tree = parseTree(
      "public class A extends B implements C, D {\n"
      "  private static final int[] n = {1, 2,};\n"
      "  static { x = 1; }\n"
      "  { y = 2; }\n"
      "  public A(int a, final String b) throws E { super(a); }\n"
      "  protected abstract String[] g(int... xs)[] throws E, F;\n"
      "  synchronized void h() {}\n"
      "}\n");
  EXPECT_EQ(tree.children("//ClsHeader"), "Modifier CLASS IDEN Extends Infaces");
  EXPECT_EQ(tree.children("//FldVarDecln"), "Modifier Modifier Modifier TypeSpec VarDeclr");
  EXPECT_EQ(tree.children("//VarInit"), "OBR VarInit CMA VarInit CMA CBR");
  EXPECT_EQ(tree.children("//StaticInit"), "STATIC Blk");
  EXPECT_EQ(tree.children("//NonStaticInit"), "Blk");
  EXPECT_EQ(tree.children("//CtorDecln"), "Modifier CtorDeclr Throws Blk");
  EXPECT_EQ(tree.children("//CtorDeclr"), "IDEN OPR Param CMA Param CPR");
  EXPECT_EQ(tree.children("//CtorDeclr/Param[2]"), "FINAL TypeSpec IDEN");
  EXPECT_EQ(tree.children("//MtdDecln[MtdDeclr//IDEN/@t='g']"), "Modifier Modifier TypeSpec MtdDeclr Throws MtdBody");
  // A trailing array pair wraps the declarator once more.
  EXPECT_EQ(tree.children("//MtdDeclr[DIM]"), "MtdDeclr DIM");
  EXPECT_EQ(tree.children("//MtdDeclr[DIM]/MtdDeclr"), "IDEN OPR Param CPR");
  EXPECT_EQ(tree.children("//MtdDeclr[DIM]/MtdDeclr/Param"), "TypeSpec ELL IDEN");
  EXPECT_EQ(tree.children("//MtdBody[SEMI]"), "SEMI");
  EXPECT_EQ(tree.count("//Throws/CMA"), 1u);
}

TEST(ParseTree, AFileHoldingOnlyAMethod) {
  Tree tree = parseTree("int f() { return 1; }\n");
  EXPECT_EQ(tree.children("/Program"), "MtdDecln");
}

TEST(ParseTree, StatementShapes) {
  Tree tree = inMethod(
      "    int i = 0, j;\n"
      "    final long k = 1;\n"
      "    ;\n"
      "    label: i++;\n"
      "    switch (i) { case 1: case A + 1: break; default: i--; }\n"
      "    while (i < 3) i++;\n"
      "    do { i++; } while (i < 5);\n"
      "    for (i = 0, j = 1; i < 3; i++, j++) continue label;\n"
      "    for (;;) break;\n"
      "    for (int v : list) { }\n"
      "    try { f(); } catch (final IOException e) { } catch (RuntimeException e) { } finally { }\n"
      "    synchronized (this) { return; }\n"
      "    assert i > 0 : \"bad\";\n"
      "    throw new Error();\n");
  EXPECT_EQ(tree.children("//MtdBody/Blk"),
            "OBR LocVarDecln LocVarDecln Stmt Stmt Stmt Stmt Stmt Stmt Stmt Stmt Stmt Stmt Stmt Stmt Stmt CBR");
  EXPECT_EQ(tree.children("//MtdBody/Blk/LocVarDecln[1]"), "TypeSpec VarDeclr CMA VarDeclr SEMI");
  EXPECT_EQ(tree.children("//MtdBody/Blk/LocVarDecln[2]"), "FINAL TypeSpec VarDeclr SEMI");
  EXPECT_EQ(tree.children("//MtdBody/Blk/Stmt[1]"), "EmptyStmt");
  EXPECT_EQ(tree.children("//MtdBody/Blk/Stmt[2]/LblStmt"), "IDEN COL");
  EXPECT_EQ(tree.children("//MtdBody/Blk/Stmt[3]"), "ExprStmt SEMI");
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]"), "SWITCH OPR Expr CPR Blk");
  // Case labels are statements of their own; the constant is not wrapped.
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]/Blk"), "OBR Stmt Stmt Stmt Stmt Stmt CBR");
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]/Blk/Stmt[1]/LblStmt"), "CASE NUMLIT COL");
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]/Blk/Stmt[2]/LblStmt"), "CASE Qlid ADD NUMLIT COL");
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]/Blk/Stmt[4]/LblStmt"), "DEFAULT COL");
  EXPECT_EQ(tree.children("//IterStmt[WHILE and not(DO)]"), "WHILE OPR Expr CPR Stmt");
  EXPECT_EQ(tree.children("//IterStmt[DO]"), "DO Stmt WHILE OPR Expr CPR SEMI");
  EXPECT_EQ(tree.children("//IterStmt[FOR][ForIncr]"), "FOR OPR ForInit ForExpr ForIncr CPR Stmt");
  EXPECT_EQ(tree.children("//IterStmt[FOR][ForIncr]/ForInit"), "ExprStmt CMA ExprStmt SEMI");
  EXPECT_EQ(tree.children("//IterStmt[FOR][ForIncr]/ForIncr"), "ExprStmt CMA ExprStmt");
  EXPECT_EQ(tree.children("//IterStmt[FOR][not(ForIncr)][ForInit]"), "FOR OPR ForInit ForExpr CPR Stmt");
  EXPECT_EQ(tree.children("//IterStmt[for_each_var]"), "FOR OPR for_each_var CPR Stmt");
  EXPECT_EQ(tree.children("//for_each_var"), "TypeSpec IDEN COL Expr");
  EXPECT_EQ(tree.children("//GrdingStmt[TRY]"), "TRY Blk Catch Catch Finally");
  EXPECT_EQ(tree.children("//Catch[1]"), "CatchHeader Blk");
  EXPECT_EQ(tree.children("//Catch[1]/CatchHeader"), "CATCH OPR FINAL TypeSpec IDEN CPR");
  EXPECT_EQ(tree.children("//Finally"), "FINALLY Blk");
  EXPECT_EQ(tree.children("//GrdingStmt[SYNCHRONIZED]"), "SYNCHRONIZED OPR Expr CPR Stmt");
  EXPECT_EQ(tree.children("//JumpStmt[CONTINUE]"), "CONTINUE IDEN SEMI");
  EXPECT_EQ(tree.children("//JumpStmt[RETURN]"), "RETURN SEMI");
  EXPECT_EQ(tree.children("//Stmt[assertStmt]"), "assertStmt SEMI");
  EXPECT_EQ(tree.children("//JumpStmt[THROW]"), "THROW Expr SEMI");
}

TEST(ParseTree, ElseBindsToTheNearestIf) {
  Tree tree = inMethod("    if (a) if (b) x(); else y();\n");
  EXPECT_EQ(tree.children("//MtdBody/Blk/Stmt/SelStmt"), "IF OPR Expr CPR Stmt");
  EXPECT_EQ(tree.children("//SelStmt/Stmt/SelStmt"), "IF OPR Expr CPR Stmt ELSE Stmt");
}

TEST(ParseTree, ExpressionsAreFlat) {
  Tree tree = inMethod(
      "    r = a >> b;\n"
      "    r = (List<String>) x;\n"
      "    r = (int[]) o;\n"
      "    r = (String) o;\n"
      "    r = -a * (b + c) >>> 2 < 1 ? p.q.f(1, x) : new int[3][];\n"
      "    r = !done && s[i].length() > 0;\n"
      "    r = this.x++ + A.class.getName();\n");
  const auto statement = [&](int n) {
    return "//MtdBody/Blk/Stmt[" + std::to_string(n) + "]/ExprStmt/Expr";
  };
  EXPECT_EQ(tree.children(statement(1)), "Qlid AsstOp Qlid GT GT Qlid");
  EXPECT_EQ(tree.children(statement(2)), "Qlid AsstOp CASTEXPR Qlid");
  EXPECT_EQ(tree.children(statement(3)), "Qlid AsstOp OPR PrimType Dims CPR Qlid");
  // A cast to a class name reads as a parenthesised expression.
  EXPECT_EQ(tree.children(statement(4)), "Qlid AsstOp OPR Expr CPR Qlid");
  EXPECT_EQ(tree.children(statement(5)),
            "Qlid AsstOp UnaryOp Qlid MUL OPR Expr CPR SHRR NUMLIT LT NUMLIT QUEST Expr COL Expr");
  EXPECT_EQ(tree.children(statement(5) + "/Expr[2]"), "MtdCall");
  EXPECT_EQ(tree.children(statement(5) + "/Expr[2]/MtdCall"), "MtdAcc OPR Expr CMA Expr CPR");
  EXPECT_EQ(tree.children(statement(5) + "/Expr[3]/NewAllocExpr/AryAllocExpr"), "NEW TName DimExpr Dims");
  EXPECT_EQ(tree.children(statement(6)), "Qlid AsstOp LogUnaryOp Qlid LAND MtdCall GT NUMLIT");
  EXPECT_EQ(tree.children(statement(6) + "/MtdCall/MtdAcc/FldAcc"), "AryAcc DOT IDEN");
  EXPECT_EQ(tree.children(statement(7)), "Qlid AsstOp RealPostfixExpr ADD MtdCall");
}

TEST(ParseTree, ClassBodiesEnumsAndAnnotations) {
  Tree tree = parseTree(
      "@Retention(RUNTIME) @interface Note { String value() default \"\"; int n = 1; }\n"
      "enum Colour { RED, GREEN(1); Colour() {} }\n"
      "class Box<T extends Number> {\n"
      "  @Override public String toString() { return new Object() { }.toString(); }\n"
      "  Runnable r = new java.lang.Runnable() { public void run() { } };\n"
      "  Map<String, List<? extends T>> m;\n"
      "  class Inner { }\n"
      "}\n");
  EXPECT_EQ(tree.children("/Program"), "AnnotDecln TypeDecln TypeDecln");
  EXPECT_EQ(tree.children("/Program/AnnotDecln"), "AnnotType AT_INTERFACE IDEN AnnTypeBody");
  EXPECT_EQ(tree.children("//AnnTypeBody"), "OBR AnnElemtDecln AnnElemtDecln CBR");
  EXPECT_EQ(tree.children("//AnnElemtDecln[1]"), "TypeSpec IDEN OPR CPR DEFAULT Expr SEMI");
  EXPECT_EQ(tree.children("/Program/TypeDecln[1]"), "EnumDecln");
  EXPECT_EQ(tree.children("//EnumDecln"), "EnumHeader OBR Expr CMA Expr SEMI FldDecln CBR");
  EXPECT_EQ(tree.children("//EnumHeader"), "ENUM IDEN");
  EXPECT_EQ(tree.children("//EnumDecln/Expr[2]"), "MtdCall");
  EXPECT_EQ(tree.children("/Program/TypeDecln[2]/ClsHeader"), "CLASS IDEN LT IDEN EXTENDS TName GT");
  EXPECT_EQ(tree.count("/Program/TypeDecln[2]/FldDecln/AnnotType"), 1u);
  // new Object() { } with an empty body is a plain allocation, no AnonyClass.
  EXPECT_EQ(tree.count("//AnonyClass"), 1u);
  EXPECT_EQ(tree.children("//AnonyClass"), "ClsAllocExpr OBR FldDecln CBR");
  EXPECT_EQ(tree.children("//FldVarDecln[VarDeclr/IDEN/@t='m']/TypeSpec/TName/Qlid"), "IDEN");
  EXPECT_EQ(tree.count("/Program/TypeDecln[2]/FldDecln/TypeDecln/ClsHeader"), 1u);
}

TEST(ParseTree, EnumIsAnIdentifierWhenTheSwitchIsOff) {
  TempDir dir;
  const std::string source = "class A { int enum = 1; }\n";
  ParseRun on = parseSource(dir, source, 1);
  EXPECT_EQ(on.exitCode, 1);
  EXPECT_EQ(on.status, "<ParseError line=\"1\"/>");
  Tree off = parseTree(source, 0);
  EXPECT_NE(off.text.find("<IDEN l=\"1\" c=\"15\" t=\"enum\"/>"), std::string::npos);
}

TEST(ParseTree, TokenTextsAreEscapedAndBytesKept) {
  Tree tree = inMethod("    s = \"a\" + '\\'' + \"<&>\" + caf\xE9 + x\t/*c*/+ y;\r\n");
  EXPECT_NE(tree.text.find("<STRLIT l=\"3\" c=\"9\" t=\"&quot;a&quot;\"/>"), std::string::npos);
  EXPECT_NE(tree.text.find("<CHRLIT l=\"3\" c=\"15\" t=\"&apos;\\&apos;&apos;\"/>"), std::string::npos);
  EXPECT_NE(tree.text.find("<STRLIT l=\"3\" c=\"22\" t=\"&quot;&lt;&amp;&gt;&quot;\"/>"), std::string::npos);
  EXPECT_NE(tree.text.find("<IDEN l=\"3\" c=\"30\" t=\"caf\xE9\"/>"), std::string::npos);
  // The tab counts one column, the comment none.
  EXPECT_NE(tree.text.find("<ADD l=\"3\" c=\"39\" t=\"+\"/>"), std::string::npos);
  // Read back as ISO-8859-1, the byte is the same letter.
  EXPECT_EQ(tree.count("//IDEN[@t='caf\xE9']"), 1u);
}

TEST(ParseTree, FailedParsesWriteOnlyTheStatus) {
  const std::pair<std::string, int> cases[] = {
      {"", 1},
      {"class A {\n  void f() {\n    x = ;\n  }\n}\n", 3},
      {"class A {\n  Runnable r = () -> go();\n}\n", 2},
      {"class A {\n", 2},
      {"class A { } }", 1},
  };
  for (const auto& [source, line] : cases) {
    TempDir dir;
    ParseRun run = parseSource(dir, source);
    EXPECT_EQ(run.exitCode, 1) << source;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, "<ParseError line=\"" + std::to_string(line) + "\"/>") << source;
    EXPECT_FALSE(run.tree) << source;
    EXPECT_FALSE(run.results) << source;
    EXPECT_FALSE(run.comments) << source;
  }
}

// ---------------------------------------------------------------- levels

namespace {

Tree modernTree(std::string_view source) { return parseTree(source, 1, 25); }

}  // namespace

// Lambdas, method references, switch rules and expressions, patterns and
// try with resources: the shapes of the new elements.
TEST(ModernParseTree, StatementsAndExpressions) {
  Tree tree = modernTree(
      "class A {\n"
      "  void f() {\n"
      "    Runnable r = () -> go();\n"
      "    g(x -> x + 1, (a, b) -> { return a; }, (int a, final String b) -> a, String::length, int[]::new);\n"
      "    int v = switch (k) { case 1, 2 -> 3; default -> { yield 4; } };\n"
      "    switch (o) { case Point(int x, var y) when x > 0 -> h(); case String s -> { } case null, default -> throw e; }\n"
      "    if (o instanceof String s) { }\n"
      "    try (Reader in = open(); out) { } catch (A | B e) { }\n"
      "  }\n"
      "}\n");
  EXPECT_EQ(tree.children("//LambdaExpr[ARROW/@l=3]"), "OPR CPR ARROW Expr");
  EXPECT_EQ(tree.children("//LambdaExpr[IDEN/@t='x']"), "IDEN ARROW Expr");
  // Parameters in parentheses are written as their names alone.
  EXPECT_EQ(tree.children("//LambdaExpr[Blk]"), "OPR IDEN CMA IDEN CPR ARROW Blk");
  EXPECT_EQ(tree.children("//LambdaExpr[Param]"), "OPR Param CMA Param CPR ARROW Expr");
  EXPECT_EQ(tree.children("//MtdRef[IDEN]"), "Qlid COLCOL IDEN");
  EXPECT_EQ(tree.children("//MtdRef[NEW]"), "PrimType Dims COLCOL NEW");
  EXPECT_EQ(tree.children("//SwExpr"), "SWITCH OPR Expr CPR SwBlk");
  EXPECT_EQ(tree.children("//SwExpr/SwBlk"), "OBR SwRule SwRule CBR");
  EXPECT_EQ(tree.children("//SwExpr//SwRule[1]"), "SwLabel Stmt");
  EXPECT_EQ(tree.children("//SwExpr//SwRule[1]/SwLabel"), "CASE NUMLIT CMA NUMLIT ARROW");
  EXPECT_EQ(tree.children("//SwExpr//SwRule[2]/SwLabel"), "DEFAULT ARROW");
  EXPECT_EQ(tree.children("//YieldStmt"), "YIELD Expr SEMI");
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]"), "SWITCH OPR Expr CPR SwBlk");
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]//SwRule[1]/SwLabel"), "CASE RecPat Guard ARROW");
  EXPECT_EQ(tree.children("//RecPat"), "TypeSpec OPR TypePat CMA TypePat CPR");
  EXPECT_EQ(tree.children("//Guard"), "WHEN Qlid GT NUMLIT");
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]//SwRule[3]/SwLabel"), "CASE SplName CMA DEFAULT ARROW");
  EXPECT_EQ(tree.children("//SelStmt[SWITCH]//SwRule[3]/Stmt"), "JumpStmt");
  EXPECT_EQ(tree.children("//SelStmt[IF]/Expr"), "Qlid INSTANCEOF TypePat");
  EXPECT_EQ(tree.children("//GrdingStmt"), "TRY RsrcSpec Blk Catch");
  EXPECT_EQ(tree.children("//RsrcSpec"), "OPR Rsrc SEMI Rsrc CPR");
  EXPECT_EQ(tree.children("//Rsrc[1]"), "TypeSpec IDEN EQ Expr");
  EXPECT_EQ(tree.children("//Rsrc[2]"), "Expr");
  EXPECT_EQ(tree.children("//CatchHeader"), "CATCH OPR TypeSpec PIPE TypeSpec IDEN CPR");
  // Tokens keep their line, column and text.
  EXPECT_NE(tree.text.find("<ARROW l=\"3\" c=\"21\" t=\"-&gt;\"/>"), std::string::npos);
  EXPECT_NE(tree.text.find("<COLCOL l=\"4\" c=\"80\" t=\"::\"/>"), std::string::npos);
}

// Records, sealed types, enum constants with bodies, annotations wherever
// they may stand, nested type arguments, text blocks and newer numbers.
TEST(ModernParseTree, Declarations) {
  Tree tree = modernTree(
      "@Deprecated @SuppressWarnings(\"x\")\n"
      "public sealed interface S<T extends Comparable<? super T>> permits R, E {\n"
      "  default List<List<List<T>>> all() { return Collections.<T>emptyList(); }\n"
      "}\n"
      "record R<T>(@NonNull T first, int... rest) implements S<T> {\n"
      "  public R { Objects.requireNonNull(first); }\n"
      "}\n"
      "enum E implements S<String> { @Deprecated A(1) { void f() {} }, B; E(int... x) {} }\n"
      "non-sealed class N { void f(@Nullable String s, final @A int n) { @SuppressWarnings(\"u\") var v = \"\"\"\n"
      "    text\"\"\";\n"
      "  int z = 1_000 + 0b11; } }\n");
  // Annotations before a type stand on their own, as before a member.
  EXPECT_EQ(tree.children("/Program"), "AnnotType AnnotType TypeDecln TypeDecln TypeDecln TypeDecln");
  EXPECT_EQ(tree.children("//ClsHeader[INTERFACE]"),
            "Modifier Modifier INTERFACE IDEN LT IDEN EXTENDS TName LT QUEST SUPER TName GT GT Permits");
  EXPECT_EQ(tree.children("//ClsHeader[INTERFACE]/Modifier[2]"), "SEALED");
  EXPECT_EQ(tree.children("//Permits"), "PERMITS Qlid CMA Qlid");
  EXPECT_EQ(tree.children("//MtdDecln[MtdDeclr/IDEN/@t='all']"), "Modifier TypeSpec MtdDeclr MtdBody");
  EXPECT_EQ(tree.children("//MtdDecln[MtdDeclr/IDEN/@t='all']/Modifier"), "DEFAULT");
  EXPECT_EQ(tree.children("//MtdDecln[MtdDeclr/IDEN/@t='all']/TypeSpec"), "TName LT TName LT TName LT TName SHRR");
  EXPECT_EQ(tree.children("//TypeDecln[RecDecln]"), "RecDecln");
  EXPECT_EQ(tree.children("//RecDecln"), "RecHeader OBR FldDecln CBR");
  EXPECT_EQ(tree.children("//RecHeader"), "RECORD IDEN LT TName GT OPR Param CMA Param CPR Infaces");
  EXPECT_EQ(tree.children("//RecHeader/Param[1]"), "AnnotType TypeSpec IDEN");
  // The compact constructor: a constructor whose declarator is its name.
  EXPECT_EQ(tree.children("//RecDecln//CtorDecln"), "Modifier CtorDeclr Blk");
  EXPECT_EQ(tree.children("//RecDecln//CtorDeclr"), "IDEN");
  EXPECT_EQ(tree.children("//EnumHeader"), "ENUM IDEN Infaces");
  EXPECT_EQ(tree.children("//EnumDecln"), "EnumHeader OBR AnnotType Expr EnumCstBody CMA Expr SEMI FldDecln CBR");
  EXPECT_EQ(tree.children("//EnumCstBody"), "OBR FldDecln CBR");
  EXPECT_EQ(tree.children("//ClsHeader[CLASS]"), "Modifier CLASS IDEN");
  EXPECT_EQ(tree.children("//ClsHeader[CLASS]/Modifier"), "NONSEALED");
  EXPECT_EQ(tree.children("//MtdDeclr[IDEN/@t='f']/Param[1]"), "AnnotType TypeSpec IDEN");
  EXPECT_EQ(tree.children("//MtdDeclr[IDEN/@t='f']/Param[2]"), "FINAL AnnotType TypeSpec IDEN");
  EXPECT_EQ(tree.children("//LocVarDecln[1]"), "AnnotType TypeSpec VarDeclr SEMI");
  // A text block is one token, ending on its last line.
  EXPECT_NE(tree.text.find("<TXTBLK l=\"10\" c=\"98\" t=\"&quot;&quot;&quot;\n    text&quot;&quot;&quot;\"/>"),
            std::string::npos);
  EXPECT_NE(tree.text.find("<NUMLIT l=\"11\" c=\"11\" t=\"1_000\"/>"), std::string::npos);
  EXPECT_NE(tree.text.find("<NONSEALED l=\"9\" c=\"1\" t=\"non-sealed\"/>"), std::string::npos);
}

TEST(ModernParseTree, ModuleDeclarationsAndModuleImports) {
  Tree tree = modernTree(
      "import module java.base;\n"
      "@Foo open module a.b { requires transitive static c; exports p to q, r; provides S with I, J; uses T; }\n");
  EXPECT_EQ(tree.children("/Program"), "ImpStmt AnnotType ModDecln");
  EXPECT_EQ(tree.children("//ImpStmt"), "IMPORT MODULE Qlid SEMI");
  EXPECT_EQ(tree.children("//ModDecln"), "OPEN MODULE Qlid OBR ModDirv ModDirv ModDirv ModDirv CBR");
  EXPECT_EQ(tree.children("//ModDirv[1]"), "REQUIRES TRANSITIVE STATIC Qlid SEMI");
  EXPECT_EQ(tree.children("//ModDirv[2]"), "EXPORTS Qlid TO Qlid CMA Qlid SEMI");
  EXPECT_EQ(tree.children("//ModDirv[3]"), "PROVIDES Qlid WITH Qlid CMA Qlid SEMI");
}

// The contextual words are names wherever they are not keywords.
TEST(ModernParseTree, ContextualWordsStayNames) {
  Tree tree = modernTree(
      "class A {\n"
      "  int record, yield, sealed, permits, when, module, open, to, with;\n"
      "  void f(Record record) { yield = record.yield(); int var = 1; var x = non - sealed; }\n"
      "}\n");
  EXPECT_EQ(tree.count("//RECORD|//YIELD|//SEALED|//NONSEALED|//PERMITS|//WHEN|//MODULE|//OPEN|//TO|//WITH"), 0u);
  EXPECT_EQ(tree.count("//IDEN[@t='record']"), 3u);
}

// Level 0 (and anything below 6) is the Java 5 grammar; a construct is
// refused below the release that brought it; above the newest level, the
// newest.
TEST(ModernParseTree, TheLevelChoosesTheLanguage) {
  const std::string lambda = "class A {\n  void f() {\n    Runnable r = () -> go();\n  }\n}\n";
  // At level 15 "record P(int x)" would be a method's header; as a
  // statement it is nothing.
  const std::string record = "class A {\n  void f() {\n    record P(int x) { }\n  }\n}\n";
  const std::pair<int, const char*> lambdaCases[] = {
      {0, "<ParseError line=\"3\"/>"}, {5, "<ParseError line=\"3\"/>"}, {7, "<ParseError line=\"3\"/>"},
      {8, "<ParseSuccess/>"}, {25, "<ParseSuccess/>"}, {99, "<ParseSuccess/>"}};
  for (const auto& [level, status] : lambdaCases) {
    TempDir dir;
    EXPECT_EQ(parseSource(dir, lambda, 1, level).status, status) << level;
  }
  for (const auto& [level, status] : {std::pair{15, "<ParseError line=\"3\"/>"}, {16, "<ParseSuccess/>"}}) {
    TempDir dir;
    EXPECT_EQ(parseSource(dir, record, 1, level).status, status) << level;
  }
  TempDir a, b;
  EXPECT_EQ(parseSource(a, lambda, 1, 25).tree, parseSource(b, lambda, 1, 99).tree);
}

// A compact source file of Java 25: members outside any class, each a
// FldDecln; one method alone stays the MtdDecln it always was.
TEST(ModernParseTree, CompactSourceFiles) {
  const std::string compact = "import java.util.*;\nint count = 0;\nvoid main() {\n  IO.println(\"x\");\n}\n";
  Tree tree = modernTree(compact);
  EXPECT_EQ(tree.children("/Program"), "ImpStmt FldDecln FldDecln");
  EXPECT_EQ(tree.children("/Program/FldDecln[2]"), "MtdDecln");
  EXPECT_EQ(modernTree("void main() { }\n").children("/Program"), "MtdDecln");
  TempDir dir;
  EXPECT_EQ(parseSource(dir, compact, 1, 24).status, "<ParseError line=\"6\"/>");
}

// Preview syntax of the newest release is refused, on its line.
TEST(ModernParseTree, PreviewSyntaxIsRefused) {
  const std::pair<std::string, int> cases[] = {
      // Primitive types in patterns.
      {"class A {\n  void f(Object o) {\n    switch (o) { case int i -> { } default -> { } }\n  }\n}\n", 3},
      {"class A {\n  boolean f(long n) {\n    return n instanceof int i;\n  }\n}\n", 3},
      // String templates.
      {"class A {\n  String f(int x) {\n    return STR.\"x = \\{x}\";\n  }\n}\n", 3},
  };
  for (const auto& [source, line] : cases) {
    TempDir dir;
    ParseRun run = parseSource(dir, source, 1, 25);
    EXPECT_EQ(run.exitCode, 1) << source;
    EXPECT_EQ(run.status, "<ParseError line=\"" + std::to_string(line) + "\"/>") << source;
    EXPECT_FALSE(run.tree) << source;
  }
}

// Where one token of lookahead cannot tell a type from an expression, the
// token filter marks the parenthesis or "<"; the tree writes them as OPR
// and LT, and a comparison in parentheses stays a comparison.
TEST(ModernParseTree, TypesTheFilterTellsFromExpressions) {
  Tree tree = modernTree(
      "class A {\n"
      "  void f() {\n"
      "    g((Map.Entry<K, V> e) -> 1, Class<?>[]::new, List<T>::size);\n"
      "    x = (Class<List<Map<K, ? super V>>>) (Object) y;\n"
      "    z = (a < b) ? 1 : 2;\n"
      "  }\n"
      "}\n");
  EXPECT_EQ(tree.children("//LambdaExpr"), "OPR Param CPR ARROW Expr");
  EXPECT_EQ(tree.children("//LambdaExpr/Param/TypeSpec"), "TName LT TName CMA TName GT");
  EXPECT_EQ(tree.children("//MtdRef[NEW]"), "TypeSpec COLCOL NEW");
  EXPECT_EQ(tree.children("//MtdRef[NEW]/TypeSpec"), "TName LT QUEST GT Dims");
  EXPECT_EQ(tree.children("//MtdRef[IDEN]"), "TypeSpec COLCOL IDEN");
  EXPECT_EQ(tree.children("//ExprStmt[Expr/Qlid/IDEN/@t='x']/Expr"), "Qlid AsstOp OPR TypeSpec CPR OPR Expr CPR Qlid");
  EXPECT_EQ(tree.children("//ExprStmt[Expr/Qlid/IDEN/@t='z']/Expr"), "Qlid AsstOp OPR Expr CPR QUEST Expr COL Expr");
  EXPECT_EQ(tree.count("//LPARAMS|//LTYPEARGS"), 0u);
}

// An annotation of a type is an AnnotType where it is written, and its
// "@" an AT_SYM; a cast the filter marks reads its type as a TypeSpec;
// explicit type arguments stand before the name they are given to.
TEST(ModernParseTree, AnnotationsOfTypesAndTypeArguments) {
  Tree tree = modernTree(
      "class A {\n"
      "  <T> @N T f(@N Object @N ... xs, String @N [] a) throws @N E, java.io.@N IOException {\n"
      "    Object o = (@N Runnable & Serializable) () -> { };\n"
      "    int[][] g = new int @N [2] @M [];\n"
      "    return B.<C<D<E>>>m(a().<T>c(e), Outer.this.<V>lookup(k), (Graph<?>.Edge) o);\n"
      "  }\n"
      "  A(@N A this) { <T>this(1); }\n"
      "}\n");
  EXPECT_EQ(tree.children("//MtdDecln/TypeSpec"), "LT TName GT TName");
  EXPECT_EQ(tree.children("//MtdDecln/TypeSpec/TName[2]"), "AnnotType Qlid");
  EXPECT_EQ(tree.children("//MtdDecln/TypeSpec/TName[2]/AnnotType"), "AT_SYM IDEN");
  EXPECT_EQ(tree.children("//MtdDeclr/Param[1]"), "AnnotType TypeSpec AnnotType ELL IDEN");
  EXPECT_EQ(tree.children("//MtdDeclr/Param[2]/TypeSpec/TName/Qlid/Dims"), "AnnotType DIM");
  EXPECT_EQ(tree.children("//Throws"), "THROWS AnnotType Qlid CMA Qlid");
  EXPECT_EQ(tree.children("//Throws/Qlid/Qlid"), "IDEN DOT AnnotType Qlid");
  EXPECT_EQ(tree.children("//LocVarDecln[1]//VarInit/Expr"), "OPR TypeSpec AMP TypeSpec CPR LambdaExpr");
  EXPECT_EQ(tree.children("//AryAllocExpr"), "NEW TName DimExpr Dims");
  EXPECT_EQ(tree.children("//AryAllocExpr/DimExpr"), "AnnotType OSQ Expr CSQ");
  EXPECT_EQ(tree.children("//JumpStmt/Expr/MtdCall/MtdAcc/Qlid"), "IDEN DOT LT TName LT TName LT TName SHRR IDEN");
  EXPECT_EQ(tree.children("//JumpStmt/Expr/MtdCall/Expr[1]/MtdCall/MtdAcc"), "MtdCall DOT LT TName GT IDEN");
  EXPECT_EQ(tree.children("//JumpStmt/Expr/MtdCall/Expr[2]/MtdCall/MtdAcc/Qlid/Qlid"), "THIS DOT LT TName GT IDEN");
  EXPECT_EQ(tree.children("//JumpStmt/Expr/MtdCall/Expr[3]"), "OPR TypeSpec CPR Qlid");
  EXPECT_EQ(tree.children("//JumpStmt/Expr/MtdCall/Expr[3]/TypeSpec"), "TName LT QUEST GT DOT TName");
  EXPECT_EQ(tree.children("//CtorDeclr/Param"), "AnnotType TypeSpec THIS");
  EXPECT_EQ(tree.children("//CtorDecln//MtdAcc"), "LT TName GT SplName");
  // Java 7 has neither; the Java 5 grammar neither.
  for (int level : {0, 7}) {
    TempDir dir;
    EXPECT_EQ(parseSource(dir, "class A { String @N [] a; }\n", 1, level).status, "<ParseError line=\"1\"/>") << level;
  }
}

// Bad input at the newest level: the error line is that of the token the
// parse stopped at, even where the token filter had read further.
TEST(ModernParseTree, ErrorsAreReportedOnTheirLine) {
  const std::pair<std::string, int> cases[] = {
      {"class A {\n  void f() {\n    x = a < b c\n    ;\n  }\n}\n", 3},
      {"class A {\n  void f() {\n    g((a.b c d\n    ) -> x);\n  }\n}\n", 3},
      {"class A {\n  void f() {\n    yield\n    ;\n    int\n  }\n}\n", 6},
  };
  for (const auto& [source, line] : cases) {
    for (int level : {0, 25}) {
      TempDir dir;
      ParseRun run = parseSource(dir, source, 1, level);
      EXPECT_EQ(run.status, "<ParseError line=\"" + std::to_string(line) + "\"/>") << level << source;
    }
  }
}

// Names may hold letters written in UTF-8 at modern levels.
// javac reads a zero byte in a literal as the character U+0000, and one
// in a comment as part of it: the tree writes it, and the other bytes XML
// cannot hold, as an octal escape; the comments file leaves it out.
TEST(ModernParseTree, ZeroBytesInLiteralsAndComments) {
  TempDir dir;
  static const char kSource[] =
      "class A {\n  String s = \"a\0b\x01\"; char c = '\0'; /* x\0y */\n  String t = \"\"\"\n    \0\n    \"\"\";\n}\n";
  ParseRun run = parseSource(dir, std::string(kSource, sizeof kSource - 1), 1, 25);
  ASSERT_EQ(run.status, "<ParseSuccess/>");
  EXPECT_NE(run.tree->find("<STRLIT l=\"2\" c=\"14\" t=\"&quot;a\\000b\\001&quot;\"/>"), std::string::npos) << *run.tree;
  EXPECT_NE(run.tree->find("<CHRLIT l=\"2\" c=\"31\" t=\"&apos;\\000&apos;\"/>"), std::string::npos) << *run.tree;
  EXPECT_NE(run.tree->find("t=\"&quot;&quot;&quot;\n    \\000\n    &quot;&quot;&quot;\"/>"), std::string::npos) << *run.tree;
  EXPECT_NE(run.comments->find("/* xy */"), std::string::npos) << *run.comments;
}

TEST(ModernParseTree, Utf8Names) {
  Tree tree = modernTree("class A { int gr\xC3\xBC\xC3\x9F = 1; }\n");
  EXPECT_NE(tree.text.find("<IDEN l=\"1\" c=\"15\" t=\"gr\xC3\xBC\xC3\x9F\"/>"), std::string::npos);
}
