#include "tests/support/flowchart_model/model_build.h"

#include <algorithm>

#include "engine/flowchart_model/builder.h"
#include "tests/support/flowchart_model/lookup_queries.h"
#include "tests/support/flowchart_model/memory_model_files.h"
#include "tests/support/flowchart_model/model_text.h"
#include "tests/support/flowchart_model/tree_notation.h"
#include "tests/support/test_support.h"

namespace flowchart::testing {

std::string call(std::string_view identifier) {
  return "Stmt(ExprStmt(Expr(MtdCall(MtdAcc(Qlid(IDEN:" + std::string(identifier) + ")) OPR CPR))) SEMI)";
}

std::string condition(std::string_view notation) { return "Expr(" + std::string(notation) + ")"; }

std::string name(std::string_view identifier) { return "Expr(Qlid(IDEN:" + std::string(identifier) + "))"; }

std::string block(std::string_view statements) { return "Stmt(Blk(OBR " + std::string(statements) + " CBR))"; }

BuiltModel buildMember(std::string_view members, std::string_view funcName, int funcLine, int funcEnd,
                       std::string_view commentLines) {
  NotatedTree tree = notate("Program(TypeDecln(ClsHeader(CLASS IDEN:A) OBR " + std::string(members) + " / CBR))");
  const int lastLine = static_cast<int>(std::count(tree.source.begin(), tree.source.end(), '\n'));
  const std::string results = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><results>\r\r\n<rclass name=\"A\" sl=\"1\" el=\"" +
                              std::to_string(lastLine) + "\" type=\"CLS\">\r\r\n<func name=\"" + std::string(funcName) +
                              "\" sl=\"" + std::to_string(funcLine) + "\" el=\"" + std::to_string(funcEnd) +
                              "\" sign=\"\">\r\r\n<result><metrics/><bpv/><hints/></result></func>\r\r\n</rclass>\r\r\n</results>\r\r\n";

  std::unique_ptr<xml::Document> treeDocument = xml::Document::loadText(tree.xml);
  std::unique_ptr<xml::Document> comments = xml::Document::loadText(
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><preprocessor>" + std::string(commentLines) + "</preprocessor>");
  if (!treeDocument || !comments) throw std::invalid_argument("test tree does not parse");

  MemoryModelFiles files(results, tree.source);
  FlowchartBuilder builder(files);
  testing::QueryLookupCheck check;
  builder.setLookupCheck(&check);
  BuildRequest request{treeDocument.get(), "A", 1, std::string(funcName), funcLine, comments.get()};
  BuiltModel built;
  built.resultsBefore = results;
  try {
    built.result = builder.build(request);
  } catch (const xml::Error&) {
    built.result = -2;  // the build stopped on a DOM error
  }
  built.resultsAfter = files.results();
  built.model = modelTextInResultsText(files.results(), std::string(funcName), std::to_string(funcLine));
  return built;
}

BuiltModel buildMethod(std::string_view body, std::string_view commentLines) {
  const std::string members =
      "/ FldDecln(MtdDecln(TypeSpec(TName(PrimType(VOID))) MtdDeclr(IDEN:f OPR CPR) MtdBody(Blk(OBR " +
      std::string(body) + " / CBR))))";
  NotatedTree probe = notate("Program(TypeDecln(ClsHeader(CLASS IDEN:A) OBR " + members + " / CBR))");
  const int lastLine = static_cast<int>(std::count(probe.source.begin(), probe.source.end(), '\n'));
  return buildMember(members, "f", 2, lastLine - 1, commentLines);
}

}  // namespace flowchart::testing
