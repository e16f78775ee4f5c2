// Edges across the nesting: jumps, edges into try blocks, and the depth
// hint of every container.
#include <algorithm>
#include <stdexcept>

#include "flowchart/builder.h"

namespace flowchart {
namespace {

const xml::ChildPath kReturn("JumpStmt/RETURN");
const xml::ChildPath kBreak("JumpStmt/BREAK");
const xml::ChildPath kContinue("JumpStmt/CONTINUE");
const xml::ChildPath kBlocks("block");
const xml::ChildPath kSuccessors("controlflow/successor");
const xml::ChildPath kContainers("blocks");

// "controlflow/successor[@type="try"]": the first edge into a try block.
xml::Node firstTryEdge(const xml::Node& block) {
  for (const xml::Node& successor : block.selectNodes(kSuccessors)) {
    xml::Node type = successor.attributeNamed("type");
    if (type && type.value() == "try") return successor;
  }
  return xml::Node();
}

}  // namespace

void FlowchartBuilder::buildJump(const xml::Node& box, const xml::Node& statement) {
  BlocksModel& m = *model_;
  if (statement.selectSingleNode(kReturn)) {
    m.addSuccessor(box, -1);
    m.appendHint(box, "EXIT", "RETURN");
  } else if (statement.selectSingleNode(kBreak)) {
    xml::Node target = m.findBlock(root_, topOf(breakTargets_));
    m.addSuccessor(box, m.getBlockId(target));
  } else if (statement.selectSingleNode(kContinue)) {
    m.addTypedSuccessor(box, topOf(continueTargets_), "loop");
  }
}

// Walks the containers depth first with an explicit stack: each block's
// own successors are rewritten before the containers nested in it.
void FlowchartBuilder::linkTrySuccessors(const xml::Node& container) {
  BlocksModel& m = *model_;
  struct Frame {
    xml::NodeList blocks;
    size_t next = 0;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{container.selectNodes(kBlocks)});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.blocks.size()) {
      stack.pop_back();
      continue;
    }
    xml::Node block = top.blocks[top.next++];
    for (xml::Node successor : block.selectNodes(kSuccessors)) {
      xml::Node target = m.findBlock(root_, m.getBlockId(successor));
      if (target && m.getTypeAttr(target) == "try") m.setBlockId(successor, resolveTryTarget(target));
    }
    xml::NodeList nested = block.selectNodes(kContainers);
    // Deeper containers first, in document order: push them in reverse.
    for (auto it = nested.rbegin(); it != nested.rend(); ++it)
      stack.push_back(Frame{it->selectNodes(kBlocks)});
  }
}

int32_t FlowchartBuilder::resolveTryTarget(const xml::Node& tryBlock) {
  BlocksModel& m = *model_;
  xml::Node current = tryBlock;
  // Try edges only lead to later blocks, so the chain ends; the bound only
  // guards against a model that was not built here.
  for (int64_t steps = 0; steps <= int64_t{blockCounter_} + 2; ++steps) {
    xml::Node edge = firstTryEdge(current);
    if (crossCheck_ && edge != current.selectSingleNode("controlflow/successor[@type=\"try\"]"))
      throw std::logic_error("try edge disagrees with its query");
    const int32_t id = m.getBlockId(edge);
    xml::Node target = m.findBlock(root_, id);
    if (m.getTypeAttr(target) != "try") return id;
    current = target;
  }
  throw xml::Error(xml::kFail, "try edges form a cycle");
}

// The containers in a container's blocks, split as the queries
// "block[@type!="try" and @type!="catchblock"]/blocks" and
// "block[@type="try" or @type="catchblock"]/blocks" split them: a block
// without a type is in neither list.
void FlowchartBuilder::nestedContainers(const xml::Node& container, xml::NodeList& folded,
                                        xml::NodeList& guarded) {
  for (xml::Node block = container.firstChildElement(); block; block = block.nextSiblingElement()) {
    if (!block.nameIs("block")) continue;
    xml::Node type = block.attributeNamed("type");
    if (!type) continue;
    const std::string value = type.value();
    xml::NodeList& list = value == "try" || value == "catchblock" ? guarded : folded;
    for (xml::Node child = block.firstChildElement(); child; child = child.nextSiblingElement())
      if (child.nameIs("blocks")) list.push_back(child);
  }
  if (!crossCheck_) return;
  if (folded != container.selectNodes("block[@type!=\"try\" and @type!=\"catchblock\"]/blocks") ||
      guarded != container.selectNodes("block[@type=\"try\" or @type=\"catchblock\"]/blocks"))
    throw std::logic_error("nested containers disagree with their queries");
}

// Post-order over the containers with an explicit stack.  Each container
// takes the deepest of its folded children plus one and of its try and
// catchblock children as they are; its hint is appended after theirs.
int32_t FlowchartBuilder::computeDepth(const xml::Node& container) {
  BlocksModel& m = *model_;
  struct Frame {
    xml::Node container;
    xml::NodeList folded;
    xml::NodeList guarded;
    size_t next = 0;
    int32_t depth = 0;
  };
  auto enter = [&](const xml::Node& c) {
    Frame frame{c};
    nestedContainers(c, frame.folded, frame.guarded);
    return frame;
  };
  std::vector<Frame> stack;
  stack.push_back(enter(container));
  int32_t finished = 0;
  while (true) {
    Frame& top = stack.back();
    const size_t total = top.folded.size() + top.guarded.size();
    if (top.next < total) {
      const size_t i = top.next++;
      xml::Node child = i < top.folded.size() ? top.folded[i] : top.guarded[i - top.folded.size()];
      stack.push_back(enter(child));
      continue;
    }
    m.appendHint(top.container, "DEPTH", std::to_string(top.depth));
    finished = top.depth;
    stack.pop_back();
    if (stack.empty()) return finished;
    Frame& parent = stack.back();
    const bool wasFolded = parent.next <= parent.folded.size();
    parent.depth = std::max(parent.depth, wasFolded ? finished + 1 : finished);
  }
}

}  // namespace flowchart
