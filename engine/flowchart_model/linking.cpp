// Edges across the nesting: jumps, edges into try blocks, and the depth
// hint of every container.
#include <algorithm>
#include <stdexcept>

#include "engine/flowchart_model/builder.h"

namespace flowchart {
namespace {

const xml::ChildPath kReturn("JumpStmt/RETURN");
const xml::ChildPath kBreak("JumpStmt/BREAK");
const xml::ChildPath kContinue("JumpStmt/CONTINUE");

// The next child from child on (itself included) with the tag, or empty.
ModelNode nextWithTag(const ModelTree& tree, ModelNode child, Tag tag) {
  while (child && tree.tag(child) != tag) child = tree.nextSibling(child);
  return child;
}

// Calls visit for each successor of the block ("controlflow/successor").
template <typename Visit>
void forEachSuccessor(const ModelTree& tree, ModelNode block, Visit&& visit) {
  for (ModelNode flow = nextWithTag(tree, tree.firstChild(block), Tag::kControlflow); flow;
       flow = nextWithTag(tree, tree.nextSibling(flow), Tag::kControlflow)) {
    for (ModelNode successor = nextWithTag(tree, tree.firstChild(flow), Tag::kSuccessor); successor;
         successor = nextWithTag(tree, tree.nextSibling(successor), Tag::kSuccessor)) {
      if (!visit(successor)) return;
    }
  }
}

}  // namespace

void FlowchartBuilder::buildJump(ModelNode box, const xml::Node& statement) {
  BlocksModel& m = *model_;
  if (statement.selectSingleNode(kReturn)) {
    m.addSuccessor(box, -1);
    m.appendHint(box, "EXIT", "RETURN");
  } else if (statement.selectSingleNode(kBreak)) {
    ModelNode target = m.findBlock(root_, topOf(breakTargets_));
    m.addSuccessor(box, m.getBlockId(target));
  } else if (statement.selectSingleNode(kContinue)) {
    m.addTypedSuccessor(box, topOf(continueTargets_), "loop");
  }
}

// Walks the containers depth first with an explicit stack: each block's
// own successors are rewritten before the containers nested in it, and
// those before the block's later siblings.
void FlowchartBuilder::linkTrySuccessors(ModelNode container) {
  BlocksModel& m = *model_;
  const ModelTree& tree = m.tree();
  std::vector<ModelNode> stack{nextWithTag(tree, tree.firstChild(container), Tag::kBlock)};
  while (!stack.empty()) {
    ModelNode block = stack.back();
    if (!block) {
      stack.pop_back();
      continue;
    }
    stack.back() = nextWithTag(tree, tree.nextSibling(block), Tag::kBlock);
    forEachSuccessor(tree, block, [&](ModelNode successor) {
      ModelNode target = m.findBlock(root_, m.getBlockId(successor));
      if (target && m.getTypeAttr(target) == "try") m.setBlockId(successor, resolveTryTarget(target));
      return true;
    });
    // The nested containers in document order: pushed last first.
    std::vector<ModelNode> nested;
    for (ModelNode child = nextWithTag(tree, tree.firstChild(block), Tag::kBlocks); child;
         child = nextWithTag(tree, tree.nextSibling(child), Tag::kBlocks))
      nested.push_back(child);
    for (auto it = nested.rbegin(); it != nested.rend(); ++it)
      stack.push_back(nextWithTag(tree, tree.firstChild(*it), Tag::kBlock));
  }
}

int32_t FlowchartBuilder::resolveTryTarget(ModelNode tryBlock) {
  BlocksModel& m = *model_;
  ModelNode current = tryBlock;
  // Try edges only lead to later blocks, so the chain ends; the bound only
  // guards against a model that was not built here.
  for (int64_t steps = 0; steps <= int64_t{blockCounter_} + 2; ++steps) {
    // "controlflow/successor[@type="try"]": the first edge into a try block.
    ModelNode edge;
    forEachSuccessor(m.tree(), current, [&](ModelNode successor) {
      if (m.getTypeAttr(successor) != "try") return true;
      edge = successor;
      return false;
    });
    const int32_t id = m.getBlockId(edge);
    ModelNode target = m.findBlock(root_, id);
    if (m.getTypeAttr(target) != "try") return id;
    current = target;
  }
  throw xml::Error(xml::kFail, "try edges form a cycle");
}

// The containers in a container's blocks, split as the queries
// "block[@type!="try" and @type!="catchblock"]/blocks" and
// "block[@type="try" or @type="catchblock"]/blocks" split them.
void FlowchartBuilder::nestedContainers(ModelNode container, std::vector<ModelNode>& folded,
                                        std::vector<ModelNode>& guarded) {
  const ModelTree& tree = model_->tree();
  for (ModelNode block = nextWithTag(tree, tree.firstChild(container), Tag::kBlock); block;
       block = nextWithTag(tree, tree.nextSibling(block), Tag::kBlock)) {
    const std::string_view type = model_->getTypeAttr(block);
    std::vector<ModelNode>& list = type == "try" || type == "catchblock" ? guarded : folded;
    for (ModelNode child = nextWithTag(tree, tree.firstChild(block), Tag::kBlocks); child;
         child = nextWithTag(tree, tree.nextSibling(child), Tag::kBlocks))
      list.push_back(child);
  }
}

// Post-order over the containers with an explicit stack.  Each container
// takes the deepest of its folded children plus one and of its try and
// catchblock children as they are; its hint is appended after theirs.
int32_t FlowchartBuilder::computeDepth(ModelNode container) {
  BlocksModel& m = *model_;
  struct Frame {
    ModelNode container;
    std::vector<ModelNode> folded;
    std::vector<ModelNode> guarded;
    size_t next = 0;
    int32_t depth = 0;
  };
  auto enter = [&](ModelNode c) {
    Frame frame{c, {}, {}};
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
      ModelNode child = i < top.folded.size() ? top.folded[i] : top.guarded[i - top.folded.size()];
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
