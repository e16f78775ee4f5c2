#include "flowchart/blocks_model.h"

#include <algorithm>
#include <stdexcept>

#include "flowchart/number_text.h"

namespace flowchart {
namespace {

bool holdsBlocks(const xml::Node& node) { return node.nameIs("block") || node.nameIs("blocks"); }

const xml::ChildPath kControlflow("controlflow");
const xml::ChildPath kSuccessors("successor");

}  // namespace

// ---------------------------------------------------------------- creation

xml::Node BlocksModel::createWithAttributes(std::string_view name,
                                            std::initializer_list<const char*> attributes) {
  xml::Node element = document_.createElement(name);
  for (const char* attribute : attributes) element.setAttribute(attribute, "");
  return element;
}

xml::Node BlocksModel::createBlocksContainer(int32_t id) {
  xml::Node container = createWithAttributes("blocks", {"id"});
  setAttribute(container, "id", std::to_string(id));
  containers_[id].push_back(&addEntry(container));
  return container;
}

// New blocks, successors and hints are copies of one empty element each,
// made once: a copy costs less than adding the attributes one by one.
xml::Node BlocksModel::createBlock() {
  if (!blockPrototype_) {
    blockPrototype_ = createWithAttributes("block", {"id", "type", "sln", "eln", "text"});
    blockPrototype_.appendElement("controlflow");
  }
  return blockPrototype_.cloneNode();
}

xml::Node BlocksModel::appendSuccessor(const xml::Node& block) {
  if (!successorPrototype_) successorPrototype_ = createSuccessor();
  return block.selectSingleNode(kControlflow).appendCopy(successorPrototype_);
}

xml::Node BlocksModel::createHint() { return createWithAttributes("hint", {"id", "value"}); }

xml::Node BlocksModel::createSuccessor() {
  return createWithAttributes("successor", {"id", "type", "text"});
}

// ---------------------------------------------------------------- edges

void BlocksModel::addSuccessor(const xml::Node& block, int32_t target) {
  xml::Node flow = block.selectSingleNode(kControlflow);
  bool present = false;
  for (const xml::Node& successor : flow.selectNodes(kSuccessors)) {
    xml::Node id = successor.attributeNamed("id");
    if (id && xpathEqualsInt(id.value(), target)) {
      present = true;
      break;
    }
  }
  if (crossCheck_) {
    const bool queried =
        static_cast<bool>(flow.selectSingleNode("successor[@id=" + std::to_string(target) + "]"));
    if (queried != present) throw std::logic_error("successor test disagrees with its query");
  }
  if (present) return;
  setBlockId(appendSuccessor(block), target);
}

void BlocksModel::addTypedSuccessor(const xml::Node& block, int32_t target, std::string_view type) {
  xml::Node successor = appendSuccessor(block);
  setBlockId(successor, target);
  setTypeAttr(successor, type);
}

void BlocksModel::addLabelledSuccessor(const xml::Node& block, int32_t target,
                                       std::string_view type, std::string_view text) {
  xml::Node successor = appendSuccessor(block);
  setBlockId(successor, target);
  setTypeAttr(successor, type);
  setTextAttr(successor, text);
}

void BlocksModel::appendHint(xml::Node element, std::string_view id, std::string_view value) {
  if (!hintPrototype_) hintPrototype_ = createHint();
  xml::Node hint = element.appendCopy(hintPrototype_);
  setAttribute(hint, "id", id);
  setValueAttr(hint, value);
}

// ---------------------------------------------------------------- attributes

void BlocksModel::setAttribute(const xml::Node& node, const char* name, std::string_view value) {
  node.attributeNamed(name).setValue(value);
}

int32_t BlocksModel::getBlockId(const xml::Node& node) const {
  return leadingInt(node.attributeNamed("id").text());
}

int32_t BlocksModel::getStartLine(const xml::Node& node) const {
  xml::Node line = node.attributeNamed("sln");
  if (!line) line = node.attributeNamed("sl");
  return leadingInt(line.text());
}

int32_t BlocksModel::getEndLine(const xml::Node& node) const {
  xml::Node line = node.attributeNamed("eln");
  if (!line) line = node.attributeNamed("el");
  return leadingInt(line.text());
}

std::string BlocksModel::getTypeAttr(const xml::Node& node) const { return node.attributeNamed("type").text(); }

std::string BlocksModel::getNameAttr(const xml::Node& node) const { return node.attributeNamed("name").text(); }

void BlocksModel::setBlockId(const xml::Node& node, int32_t id) {
  xml::Node attribute = node.attributeNamed("id");
  const bool isBlock = attribute && node.nameIs("block");
  Entry* entry = nullptr;
  if (isBlock) {
    entry = entryFor(node);
    if (entry) {
      auto& entries = blocks_[leadingInt(attribute.value())];
      auto listed = std::find(entries.begin(), entries.end(), entry);
      if (listed != entries.end()) entries.erase(listed);
    }
  }
  attribute.setValue(std::to_string(id));
  if (isBlock) blocks_[id].push_back(entry ? entry : &addEntry(node));
}

void BlocksModel::setTypeAttr(const xml::Node& node, std::string_view type) { setAttribute(node, "type", type); }

void BlocksModel::setValueAttr(const xml::Node& node, std::string_view value) {
  setAttribute(node, "value", value);
}

void BlocksModel::setTextAttr(const xml::Node& node, std::string_view text) { setAttribute(node, "text", text); }

void BlocksModel::setStartLine(const xml::Node& node, int32_t line) {
  setAttribute(node, "sln", std::to_string(line));
}

void BlocksModel::setEndLine(const xml::Node& node, int32_t line) {
  setAttribute(node, "eln", std::to_string(line));
}

// ---------------------------------------------------------------- finding

BlocksModel::Entry& BlocksModel::addEntry(const xml::Node& node) {
  Entry& entry = entries_.emplace_back(Entry{node});
  entryOfNode_[node.raw().internal_object()] = &entry;
  return entry;
}

BlocksModel::Entry* BlocksModel::entryFor(const xml::Node& node) {
  if (node.isNull() || node.isAttribute()) return nullptr;
  auto found = entryOfNode_.find(node.raw().internal_object());
  return found == entryOfNode_.end() ? nullptr : found->second;
}

bool BlocksModel::isOwnContainer(const xml::Node& node) {
  Entry* entry = entryFor(node);
  return entry && entry->node.nameIs("blocks");
}

bool BlocksModel::isBelow(const xml::Node& node, const xml::Node& ancestor, bool orSelf) const {
  if (orSelf && node == ancestor) return true;
  for (xml::Node up = node.parent(); up; up = up.parent())
    if (up == ancestor) return true;
  return false;
}

bool BlocksModel::belowRoot(const Entry& entry, bool orSelf) const {
  if (!flagsHold()) return isBelow(entry.node, root_, orSelf);
  const bool flagged = entry.node == root_ ? orSelf : entry.attached;
  if (crossCheck_ && flagged != isBelow(entry.node, root_, orSelf))
    throw std::logic_error("attachment flag disagrees with the tree");
  return flagged;
}

void BlocksModel::check(const xml::Node& indexed, const xml::Node& queried, const char* what) const {
  if (indexed != queried)
    throw std::logic_error(std::string(what) + ": the index disagrees with the query");
}

xml::Node BlocksModel::findBlockByQuery(const xml::Node& node, int32_t id) const {
  return node.selectSingleNode("descendant::block[@id=" + std::to_string(id) + "]");
}

xml::Node BlocksModel::childBlockByQuery(const xml::Node& container, int32_t id) const {
  return container.selectSingleNode("block[@id=" + std::to_string(id) + "]");
}

xml::Node BlocksModel::containerByQuery(int32_t id) const {
  return root_.selectSingleNode("descendant-or-self::blocks[@id=" + std::to_string(id) + "]");
}

xml::Node BlocksModel::findBlock(const xml::Node& node, int32_t id) {
  // Every block below the root container got its id through setBlockId;
  // elsewhere the index knows nothing.
  if (!root_ || node != root_) return findBlockByQuery(node, id);
  xml::Node found;
  int matches = 0;
  if (auto candidates = blocks_.find(id); candidates != blocks_.end()) {
    for (const Entry* block : candidates->second) {
      if (!belowRoot(*block, false)) continue;
      found = block->node;
      ++matches;
    }
  }
  if (matches > 1) return findBlockByQuery(node, id);  // document order decides
  if (crossCheck_) check(found, findBlockByQuery(node, id), "findBlock");
  return found;
}

void BlocksModel::placeBlock(xml::Node container, const xml::Node& block) {
  const int32_t id = getBlockId(block);
  xml::Node existing;
  int matches = 0;
  if (auto candidates = blocks_.find(id); candidates != blocks_.end()) {
    for (const Entry* candidate : candidates->second) {
      xml::Node parent = candidate->node.parent();
      if (!parent || parent != container) continue;
      existing = candidate->node;
      ++matches;
    }
  }
  // The index knows every block of the containers made here.
  if (matches > 1 || !isOwnContainer(container)) {
    existing = childBlockByQuery(container, id);
  } else {
    if (crossCheck_) check(existing, childBlockByQuery(container, id), "placeBlock");
  }
  if (existing) remove(container, existing);
  append(container, block);
}

void BlocksModel::popContainer() {
  if (!containerStack_.empty()) containerStack_.pop_back();
}

xml::Node BlocksModel::currentContainer() {
  if (!root_) return xml::Node();
  if (containerStack_.empty()) throw xml::Error(xml::kFail, "no open blocks container");
  const int32_t id = containerStack_.back();
  xml::Node found;
  int matches = 0;
  if (auto candidates = containers_.find(id); candidates != containers_.end()) {
    for (const Entry* container : candidates->second) {
      if (!belowRoot(*container, true)) continue;
      found = container->node;
      ++matches;
    }
  }
  if (matches > 1) return containerByQuery(id);
  if (crossCheck_) check(found, containerByQuery(id), "currentContainer");
  return found;
}

void BlocksModel::append(xml::Node parent, const xml::Node& child) {
  parent.appendChild(child);
  auto floating = std::find(floating_.begin(), floating_.end(), child);
  if (floating != floating_.end()) floating_.erase(floating);
  if (!holdsBlocks(child)) return;
  // The child's flag can be set only from a parent whose own state is known.
  Entry* parentEntry = parent == root_ ? nullptr : entryFor(parent);
  const bool parentAttached = parent == root_ || (parentEntry && parentEntry->attached);
  Entry* childEntry = entryFor(child);
  if (!childEntry || !floating_.empty() || !parentAttached) {
    flagsLost_ = true;
    return;
  }
  childEntry->attached = true;
}

void BlocksModel::remove(xml::Node parent, const xml::Node& child) {
  parent.removeChild(child);
  if (holdsBlocks(child)) floating_.push_back(child);
}

}  // namespace flowchart
