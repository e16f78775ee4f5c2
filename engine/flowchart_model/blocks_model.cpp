#include "engine/flowchart_model/blocks_model.h"

#include <algorithm>
#include <stdexcept>

#include "engine/flowchart_model/number_text.h"

namespace flowchart {

// ---------------------------------------------------------------- index

BlocksModel::Index::Slot* BlocksModel::Index::find(int32_t id) {
  const int64_t at = int64_t{id} + 1;
  if (at >= 0 && at < static_cast<int64_t>(dense_.size())) return &dense_[static_cast<size_t>(at)];
  auto found = sparse_.find(id);
  return found == sparse_.end() ? nullptr : &found->second;
}

const BlocksModel::Index::Slot* BlocksModel::Index::find(int32_t id) const {
  return const_cast<Index*>(this)->find(id);
}

BlocksModel::Index::Slot& BlocksModel::Index::slotFor(int32_t id) {
  const int64_t at = int64_t{id} + 1;
  // Dense while the ids stay near the ones seen: growth is bounded by doubling.
  if (at >= 0 && at < static_cast<int64_t>(dense_.size()) * 2 + 1024) {
    if (at >= static_cast<int64_t>(dense_.size())) dense_.resize(static_cast<size_t>(at) + 1);
    return dense_[static_cast<size_t>(at)];
  }
  return sparse_[id];
}

void BlocksModel::Index::add(int32_t id, ModelNode node) {
  Slot& slot = slotFor(id);
  if (!slot.first) {
    slot.first = node;
  } else {
    slot.more.push_back(node);
  }
}

void BlocksModel::Index::remove(int32_t id, ModelNode node) {
  Slot* found = find(id);
  if (!found) return;
  Slot& slot = *found;
  if (slot.first == node) {
    if (slot.more.empty()) {
      slot.first = ModelNode();
    } else {
      slot.first = slot.more.back();
      slot.more.pop_back();
    }
    return;
  }
  slot.more.erase(std::remove(slot.more.begin(), slot.more.end(), node), slot.more.end());
}

// ---------------------------------------------------------------- creation

ModelNode BlocksModel::createBlocksContainer(int32_t id) {
  ModelNode container = tree_.create(Tag::kBlocks, {Attr::kId});
  setBlockId(container, id);
  return container;
}

ModelNode BlocksModel::createBlock() {
  ModelNode block = tree_.create(Tag::kBlock, {Attr::kId, Attr::kType, Attr::kSln, Attr::kEln, Attr::kText});
  tree_.appendChild(block, tree_.create(Tag::kControlflow, {}));
  return block;
}

ModelNode BlocksModel::createHint() { return tree_.create(Tag::kHint, {Attr::kId, Attr::kValue}); }

ModelNode BlocksModel::createSuccessor() {
  return tree_.create(Tag::kSuccessor, {Attr::kId, Attr::kType, Attr::kText});
}

// ---------------------------------------------------------------- edges

namespace {

// The block's first "controlflow" child: where its edges go.
ModelNode controlflowOf(const ModelTree& tree, ModelNode block) {
  for (ModelNode child = tree.firstChild(block); child; child = tree.nextSibling(child))
    if (tree.tag(child) == Tag::kControlflow) return child;
  return ModelNode();
}

}  // namespace

ModelNode BlocksModel::appendSuccessor(ModelNode block) {
  ModelNode flow = controlflowOf(tree_, block);
  ModelNode successor = createSuccessor();
  tree_.appendChild(flow, successor);
  return successor;
}

void BlocksModel::addSuccessor(ModelNode block, int32_t target) {
  ModelNode flow = controlflowOf(tree_, block);
  for (ModelNode child = tree_.firstChild(flow); child; child = tree_.nextSibling(child)) {
    if (tree_.tag(child) != Tag::kSuccessor) continue;
    if (tree_.hasAttribute(child, Attr::kId) && xpathEqualsInt(tree_.attribute(child, Attr::kId), target))
      return;  // "successor[@id=target]" exists
  }
  setBlockId(appendSuccessor(block), target);
}

void BlocksModel::addTypedSuccessor(ModelNode block, int32_t target, std::string_view type) {
  ModelNode successor = appendSuccessor(block);
  setBlockId(successor, target);
  setTypeAttr(successor, type);
}

void BlocksModel::addLabelledSuccessor(ModelNode block, int32_t target, std::string_view type,
                                       std::string_view text) {
  ModelNode successor = appendSuccessor(block);
  setBlockId(successor, target);
  setTypeAttr(successor, type);
  setTextAttr(successor, text);
}

ModelNode BlocksModel::firstSuccessor(ModelNode block) const {
  for (ModelNode flow = tree_.firstChild(block); flow; flow = tree_.nextSibling(flow)) {
    if (tree_.tag(flow) != Tag::kControlflow) continue;
    for (ModelNode child = tree_.firstChild(flow); child; child = tree_.nextSibling(child))
      if (tree_.tag(child) == Tag::kSuccessor) return child;
  }
  return ModelNode();
}

void BlocksModel::appendHint(ModelNode element, std::string_view id, std::string_view value) {
  ModelNode hint = createHint();
  setValue(hint, Attr::kId, id);
  setValueAttr(hint, value);
  tree_.appendChild(element, hint);
}

// ---------------------------------------------------------------- attributes

std::string_view BlocksModel::value(ModelNode node, Attr attr) const {
  if (!tree_.hasAttribute(node, attr)) throw xml::Error(xml::kPointer, "no attribute " + std::string(attrName(attr)));
  return tree_.attribute(node, attr);
}

void BlocksModel::setValue(ModelNode node, Attr attr, std::string_view value) {
  tree_.setAttribute(node, attr, value);
}

int32_t BlocksModel::getBlockId(ModelNode node) const { return leadingInt(value(node, Attr::kId)); }

int32_t BlocksModel::getStartLine(ModelNode node) const { return leadingInt(value(node, Attr::kSln)); }

int32_t BlocksModel::getEndLine(ModelNode node) const { return leadingInt(value(node, Attr::kEln)); }

std::string_view BlocksModel::getTypeAttr(ModelNode node) const { return value(node, Attr::kType); }

void BlocksModel::setBlockId(ModelNode node, int32_t id) {
  const std::string_view current = value(node, Attr::kId);
  const Tag tag = tree_.tag(node);
  if (tag == Tag::kBlock || tag == Tag::kBlocks) {
    // The index follows the element from its old id to the new one.
    Index& index = tag == Tag::kBlock ? blocks_ : containers_;
    if (!current.empty()) index.remove(leadingInt(current), node);
    index.add(id, node);
  }
  setValue(node, Attr::kId, std::to_string(id));
}

void BlocksModel::setTypeAttr(ModelNode node, std::string_view type) { setValue(node, Attr::kType, type); }

void BlocksModel::setValueAttr(ModelNode node, std::string_view value) { setValue(node, Attr::kValue, value); }

void BlocksModel::setTextAttr(ModelNode node, std::string_view text) { setValue(node, Attr::kText, text); }

void BlocksModel::setStartLine(ModelNode node, int32_t line) { setValue(node, Attr::kSln, std::to_string(line)); }

void BlocksModel::setEndLine(ModelNode node, int32_t line) { setValue(node, Attr::kEln, std::to_string(line)); }

// ---------------------------------------------------------------- finding

// The first element with the tag and id in document order below node (or
// node itself, when orSelf): what "descendant::block[@id=id]" and
// "descendant-or-self::blocks[@id=id]" find.
ModelNode BlocksModel::searchBelow(ModelNode node, Tag tag, int32_t id, bool orSelf) const {
  auto matches = [&](ModelNode n) {
    if (tree_.tag(n) != tag) return false;
    return tree_.hasAttribute(n, Attr::kId) && xpathEqualsInt(tree_.attribute(n, Attr::kId), id);
  };
  if (orSelf && matches(node)) return node;
  ModelNode current = tree_.firstChild(node);
  while (current) {
    if (matches(current)) return current;
    if (ModelNode child = tree_.firstChild(current)) {
      current = child;
      continue;
    }
    while (current && current != node && !tree_.nextSibling(current)) current = tree_.parent(current);
    if (!current || current == node) break;
    current = tree_.nextSibling(current);
  }
  return ModelNode();
}

// "block[@id=id]": the container's first child block with the id.
ModelNode BlocksModel::searchChildren(ModelNode container, int32_t id) const {
  for (ModelNode child = tree_.firstChild(container); child; child = tree_.nextSibling(child)) {
    if (tree_.tag(child) != Tag::kBlock) continue;
    if (tree_.hasAttribute(child, Attr::kId) && xpathEqualsInt(tree_.attribute(child, Attr::kId), id)) return child;
  }
  return ModelNode();
}

void BlocksModel::check(ModelNode indexed, ModelNode searched, const char* what) const {
  if (indexed != searched) throw std::logic_error(std::string(what) + ": the index disagrees with the search");
}

ModelNode BlocksModel::findBlock(ModelNode node, int32_t id) {
  ModelNode found;
  int matches = 0;
  blocks_.forEach(id, [&](ModelNode block) {
    if (!tree_.contains(node, block, false)) return;
    found = block;
    ++matches;
  });
  if (matches > 1) return searchBelow(node, Tag::kBlock, id, false);  // document order decides
  if (crossCheck_) check(found, searchBelow(node, Tag::kBlock, id, false), "findBlock");
  return found;
}

void BlocksModel::placeBlock(ModelNode container, ModelNode block) {
  const int32_t id = getBlockId(block);
  ModelNode existing;
  int matches = 0;
  blocks_.forEach(id, [&](ModelNode candidate) {
    if (tree_.parent(candidate) != container) return;
    existing = candidate;
    ++matches;
  });
  if (matches > 1) {
    existing = searchChildren(container, id);
  } else if (crossCheck_) {
    check(existing, searchChildren(container, id), "placeBlock");
  }
  if (existing) remove(container, existing);
  append(container, block);
}

void BlocksModel::popContainer() {
  if (!containerStack_.empty()) containerStack_.pop_back();
}

ModelNode BlocksModel::currentContainer() {
  if (!root_) return ModelNode();
  if (containerStack_.empty()) throw xml::Error(xml::kFail, "no open blocks container");
  const int32_t id = containerStack_.back();
  ModelNode found;
  int matches = 0;
  containers_.forEach(id, [&](ModelNode container) {
    if (!tree_.contains(root_, container, true)) return;
    found = container;
    ++matches;
  });
  if (matches > 1) return searchBelow(root_, Tag::kBlocks, id, true);
  if (crossCheck_) check(found, searchBelow(root_, Tag::kBlocks, id, true), "currentContainer");
  return found;
}

}  // namespace flowchart
