// The blocks model of one method: creating its elements, reading and
// writing their attributes, linking, finding and placing blocks.
//
// The model is built in a ModelTree and copied into the results document
// when it is complete.  Every element is made and changed through this
// class, so it can keep two indexes: blocks by id and containers by id.  A
// lookup uses them only to pick its candidates; it still checks that a
// candidate stands where the search would find it, and searches the tree
// in document order when more than one does, so an index never changes
// what a lookup returns.  With cross-checking on, every lookup is also
// done by that search and a disagreement throws std::logic_error.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/flowchart_model/model_tree.h"

namespace flowchart {

class BlocksModel {
 public:
  BlocksModel() = default;
  BlocksModel(const BlocksModel&) = delete;
  BlocksModel& operator=(const BlocksModel&) = delete;

  void setCrossCheck(bool on) { crossCheck_ = on; }
  const ModelTree& tree() const { return tree_; }

  // The method's "blocks" element; lookups search below it.
  void setRootContainer(ModelNode root) { root_ = root; }

  // Element creation; nothing is attached anywhere.
  ModelNode createBlocksContainer(int32_t id);
  ModelNode createBlock();       // id, type, sln, eln, text empty; a "controlflow" child
  ModelNode createHint();        // id, value empty
  ModelNode createSuccessor();   // id, type, text empty

  // Edges.  Only the plain form refuses a second edge to the same target.
  void addSuccessor(ModelNode block, int32_t target);
  void addTypedSuccessor(ModelNode block, int32_t target, std::string_view type);
  void addLabelledSuccessor(ModelNode block, int32_t target, std::string_view type, std::string_view text);
  // The first successor of the block's controlflow, or empty.
  ModelNode firstSuccessor(ModelNode block) const;
  // A hint with the given id and value appended to the element.
  void appendHint(ModelNode element, std::string_view id, std::string_view value);

  // Attributes.  A missing attribute is an xml::Error.
  int32_t getBlockId(ModelNode node) const;
  int32_t getStartLine(ModelNode node) const;
  int32_t getEndLine(ModelNode node) const;
  std::string_view getTypeAttr(ModelNode node) const;
  void setBlockId(ModelNode node, int32_t id);
  void setTypeAttr(ModelNode node, std::string_view type);
  void setValueAttr(ModelNode node, std::string_view value);
  void setTextAttr(ModelNode node, std::string_view text);
  void setStartLine(ModelNode node, int32_t line);
  void setEndLine(ModelNode node, int32_t line);

  // The first block below node, in document order, with the id ("descendant::block[@id=id]"),
  // or empty.
  ModelNode findBlock(ModelNode node, int32_t id);
  // Removes the container's child block with the block's id, if any, then
  // appends the block.
  void placeBlock(ModelNode container, ModelNode block);

  // The stack of open containers; the current one is named by its top.
  void pushContainer(int32_t id) { containerStack_.push_back(id); }
  void popContainer();
  // The first container, the root or below it, with the top's id
  // ("descendant-or-self::blocks[@id=top]").
  ModelNode currentContainer();

  // Plain tree edits (no id test).
  void append(ModelNode parent, ModelNode child) { tree_.appendChild(parent, child); }
  void remove(ModelNode parent, ModelNode child) { tree_.removeChild(parent, child); }

 private:
  // The elements with each id.  Ids come from counters, so most are small
  // and dense and have one element: a slot each, with room for one inline.
  class Index {
   public:
    template <typename Visit>
    void forEach(int32_t id, Visit&& visit) const {
      const Slot* slot = find(id);
      if (!slot) return;
      if (slot->first) visit(slot->first);
      for (ModelNode node : slot->more) visit(node);
    }
    void add(int32_t id, ModelNode node);
    void remove(int32_t id, ModelNode node);

   private:
    struct Slot {
      ModelNode first;
      std::vector<ModelNode> more;
    };
    Slot* find(int32_t id);
    const Slot* find(int32_t id) const;
    Slot& slotFor(int32_t id);
    std::vector<Slot> dense_;  // ids -1 and up, at id + 1
    std::unordered_map<int32_t, Slot> sparse_;
  };

  std::string_view value(ModelNode node, Attr attr) const;
  void setValue(ModelNode node, Attr attr, std::string_view value);
  ModelNode appendSuccessor(ModelNode block);
  ModelNode searchBelow(ModelNode node, Tag tag, int32_t id, bool orSelf) const;
  ModelNode searchChildren(ModelNode container, int32_t id) const;
  void check(ModelNode indexed, ModelNode searched, const char* what) const;

  ModelTree tree_;
  ModelNode root_;
  std::vector<int32_t> containerStack_;
  Index blocks_;
  Index containers_;
  bool crossCheck_ = false;
};

}  // namespace flowchart
