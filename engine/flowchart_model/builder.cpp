#include "engine/flowchart_model/builder.h"

#include <stdexcept>

#include "engine/flowchart_model/number_text.h"
#include "engine/flowchart_model/tree_queries.h"

namespace flowchart {
namespace {

constexpr std::string_view kInitializerName = "#Block#";

// A line attribute of a results-file element: the long name, else the
// short one; an xml::Error when it has neither.
int32_t lineAttribute(const xml::Node& element, const char* name, const char* shortName) {
  xml::Node line = element.attributeNamed(name);
  if (!line) line = element.attributeNamed(shortName);
  return leadingInt(line.text());
}

}  // namespace

void FlowchartBuilder::reset() {
  blockCounter_ = 0;
  containerCounter_ = 0;
  breakTargets_.clear();
  continueTargets_.clear();
  statementKinds_ = {"IterStmt", "SelStmt", "GrdingStmt", "LblStmt", "IterStmt"};
  model_.reset();
  results_.reset();
  func_ = xml::Node();
  root_ = ModelNode();
}

// ---------------------------------------------------------------- lookups

std::string FlowchartBuilder::firstLineText(const xml::Node& node) {
  std::string walked = firstLineOf(node);
  if (check_) check_->firstLine(node, walked);
  return walked;
}

std::string FlowchartBuilder::lastLineText(const xml::Node& node) {
  std::string walked = lastLineOf(node);
  if (check_) check_->lastLine(node, walked);
  return walked;
}

int32_t FlowchartBuilder::firstLine(const xml::Node& node) { return leadingInt(firstLineText(node)); }

int32_t FlowchartBuilder::lastLine(const xml::Node& node) { return leadingInt(lastLineText(node)); }

xml::Node FlowchartBuilder::lastLinedElement(const xml::Node& node, bool includeSelf) {
  xml::Node walked = flowchart::lastLinedElement(node, includeSelf);
  if (check_) check_->lastLinedElement(node, includeSelf, walked);
  return walked;
}

std::string FlowchartBuilder::sourceText(const xml::Node& node) {
  std::string walked = sourceTextOf(node, sourceLines_);
  if (check_) check_->sourceText(node, sourceLines_, walked);
  return walked;
}

std::string FlowchartBuilder::commentTextBetween(int32_t a, int32_t b) {
  std::string indexed = comments_->between(a, b);
  if (check_) check_->commentsBetween(commentsDocument_, a, b, indexed);
  return indexed;
}

// ---------------------------------------------------------------- driver

xml::Node FlowchartBuilder::findMethodNode(xml::Document& tree, const std::string& name,
                                           int32_t line) {
  static const xml::ChildPath kStaticToken("STATIC");
  static const xml::ChildPath kOpeningBrace("Blk/OBR");
  static const xml::ChildPath kConstructorName("CtorDeclr/IDEN");
  static const xml::ChildPath kMethodName("MtdDeclr/IDEN");
  auto onLine = [&](const xml::Node& token) {
    xml::Node l = token.attributeNamed("l");
    return l && xpathEqualsInt(l.value(), line);
  };
  auto anyOf = [](const xml::NodeList& tokens, auto&& test) {
    for (const xml::Node& token : tokens)
      if (test(token)) return true;
    return false;
  };
  xml::Node found;
  if (name == kInitializerName) {
    // "//StaticInit[STATIC[@l=line]]|//NonStaticInit[Blk/OBR[@l=line]]"
    found = tree.root().firstElementNamed("StaticInit", "NonStaticInit", [&](const xml::Node& e) {
      return anyOf(e.selectNodes(e.name() == "StaticInit" ? kStaticToken : kOpeningBrace), onLine);
    });
  } else {
    // "//CtorDecln[CtorDeclr/IDEN[@l=line and @t=name]]|//MtdDecln[MtdDeclr/IDEN[...]]"
    found = tree.root().firstElementNamed("CtorDecln", "MtdDecln", [&](const xml::Node& e) {
      return anyOf(e.selectNodes(e.name() == "CtorDecln" ? kConstructorName : kMethodName),
                   [&](const xml::Node& token) {
                     xml::Node t = token.attributeNamed("t");
                     return onLine(token) && t && t.value() == name;
                   });
    });
  }
  if (check_) check_->methodNode(tree, name, line, found);
  return found;
}

int FlowchartBuilder::build(const BuildRequest& request) {
  reset();
  xml::Document& tree = *request.tree;

  comments_.emplace(request.comments);
  commentsDocument_ = request.comments;

  results_ = files_.loadResults();
  if (!results_) return 0;

  xml::Node classNode = results_->root().selectSingleNode(
      "//rclass[@name=" + xpathLiteral(request.className) +
      " and @sl=" + xpathLiteral(std::to_string(request.classLine)) + "]");
  if (!classNode) return 0;
  func_ = classNode.selectSingleNode("func[@name=" + xpathLiteral(request.methodName) + "][@sl=" +
                                     std::to_string(request.methodLine) + "]");
  if (!func_) return 0;
  if (func_.selectSingleNode("blocks")) return 1;  // a model is built only once

  xml::Node method = findMethodNode(tree, request.methodName, request.methodLine);
  if (!method) return 0;

  // The boxes' texts are cut from the source: a model built without it
  // would be stored with empty texts for good.
  std::string lineCount = lastSourceLine(tree);
  if (check_) check_->lastSourceLine(tree, lineCount);
  std::optional<SourceLines> lines = files_.readSource(leadingInt(lineCount));
  if (!lines) return 0;
  sourceLines_ = std::move(*lines);

  model_.emplace();
  model_->setCrossCheck(check_ != nullptr);
  root_ = model_->createBlocksContainer(0);
  model_->setRootContainer(root_);
  model_->pushContainer(0);
  containerCounter_ = 1;

  walkMethodBody(method, func_);
  computeDepth(root_);

  // A model that was not saved is not built.
  return saveWithModel() ? 1 : 0;
}

// The results file with the model as the func's last child.  The model's
// text goes straight into the printed file, in the place of a marker
// element: a large model is neither parsed into the document nor printed
// from it.  Where the marker's text is not found exactly once (a CDATA
// section holding it, say), the model is parsed into the document instead.  In
// checked builds (a lookup check set) both are done and must agree byte for
// byte.
bool FlowchartBuilder::saveWithModel() {
  static constexpr std::string_view kMarker = "flowchart-model-in-progress";
  xml::Node marker = func_.appendElement(kMarker);
  const std::string text = results_->toText();
  func_.removeChild(marker);
  const std::string markerText = "<" + std::string(kMarker) + "/>";
  const size_t at = text.find(markerText);
  const bool spliced = at != std::string::npos && text.find(markerText, at + 1) == std::string::npos;
  const std::string_view before = std::string_view(text).substr(0, spliced ? at : 0);
  const std::string_view after = std::string_view(text).substr(spliced ? at + markerText.size() : 0);
  if (!spliced || check_) {
    std::string modelText;
    model_->tree().writeXml(root_, modelText);
    func_.appendParsed(modelText);
    const std::string printed = results_->toText();
    if (spliced && printed != std::string(before) + modelText + std::string(after))
      throw std::logic_error("the spliced model differs from the printed one");
    return files_.saveResults([&printed](const auto& write) { return write(printed); });
  }
  return files_.saveResults([&](const auto& write) {
    if (!write(before)) return false;
    bool written = true;
    model_->tree().writeXml(root_, [&](std::string_view piece) { written = write(piece) && written; });
    return written && write(after);
  });
}

void FlowchartBuilder::walkMethodBody(const xml::Node& method, const xml::Node& func) {
  BlocksModel& m = *model_;
  const int32_t funcStart = lineAttribute(func, "sln", "sl");
  const int32_t funcEnd = lineAttribute(func, "eln", "el");
  ModelNode start = m.createBlock();
  m.setTextAttr(start, func.attributeNamed("name").text());
  m.setStartLine(start, funcStart);
  m.setEndLine(start, funcStart);
  m.setBlockId(start, takeBlockId());
  m.setTypeAttr(start, "start");
  m.placeBlock(root_, start);

  xml::NodeList statements =
      method.selectNodes("MtdBody/Blk/Stmt|Blk/Stmt|MtdBody/Blk/LocVarDecln|Blk/LocVarDecln");

  ModelNode end = m.createBlock();
  m.setTypeAttr(end, "end");
  m.setStartLine(end, funcEnd);
  m.setEndLine(end, funcEnd);
  m.setBlockId(end, -1);
  m.placeBlock(root_, end);

  std::vector<int32_t> ids = sequenceStatements(statements, start, end);
  m.addSuccessor(start, ids.empty() ? -1 : ids.front());
  linkTrySuccessors(root_);
}

}  // namespace flowchart
