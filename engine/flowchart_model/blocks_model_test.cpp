#include "engine/flowchart_model/blocks_model.h"

#include <gtest/gtest.h>

#include "tests/support/flowchart_model/model_text.h"

namespace flowchart {
namespace {

class BlocksModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model.setCrossCheck(true);
    root = model.createBlocksContainer(0);
    model.setRootContainer(root);
    model.pushContainer(0);
  }
  ModelNode block(int32_t id) {
    ModelNode b = model.createBlock();
    model.setBlockId(b, id);
    return b;
  }
  // The element as the results document takes it in, in model text.
  std::string text(ModelNode element) {
    std::string xmlText;
    model.tree().writeXml(element, xmlText);
    auto doc = xml::Document::loadText("<func/>");
    return testing::modelText(doc->documentElement().appendParsed(xmlText));
  }
  std::vector<ModelNode> childBlocks(ModelNode container) {
    std::vector<ModelNode> out;
    for (ModelNode c = model.tree().firstChild(container); c; c = model.tree().nextSibling(c))
      if (model.tree().tag(c) == Tag::kBlock) out.push_back(c);
    return out;
  }

  BlocksModel model;
  ModelNode root;
};

TEST_F(BlocksModelTest, ElementsAreCreatedWithEmptyAttributesInOrder) {
  ModelNode b = model.createBlock();
  model.setTextAttr(b, "t&<\"\t\n\xE9");
  model.setStartLine(b, 4);
  model.addSuccessor(b, 7);
  model.addSuccessor(b, 7);
  model.addTypedSuccessor(b, 7, "loop");
  model.addTypedSuccessor(b, 7, "loop");
  model.addLabelledSuccessor(b, 8, "true", "true");
  model.appendHint(b, "NO_COND", "0");
  // The text survives the trip into the document byte for byte.
  EXPECT_EQ(text(b),
            "block \"\" \"\" 4 \"\" \"t&<\"\t\n\xE9\"\n"
            "  -> 7\n"
            "  -> 7 loop \"\"\n"
            "  -> 7 loop \"\"\n"
            "  -> 8 true \"true\"\n"
            "  hint NO_COND \"0\"\n");
  EXPECT_EQ(text(model.createSuccessor()), "<successor id=\"\" type=\"\" text=\"\">\n");
}

TEST_F(BlocksModelTest, AttributeReadsFailWhenMissing) {
  ModelNode b = model.createBlock();
  EXPECT_EQ(model.getStartLine(b), 0);  // empty converts to 0
  EXPECT_EQ(model.getBlockId(b), 0);
  EXPECT_THROW(model.getTypeAttr(root), xml::Error);
  EXPECT_THROW(model.getStartLine(model.createHint()), xml::Error);
  EXPECT_THROW(model.setTextAttr(ModelNode(), "x"), xml::Error);
  EXPECT_THROW(model.append(b, b), xml::Error);  // no owner of itself...
  model.append(root, b);
  EXPECT_THROW(model.append(b, root), xml::Error);  // ...nor of its ancestor
  EXPECT_THROW(model.remove(b, root), xml::Error);  // not a child
}

TEST_F(BlocksModelTest, PlacingMovesOrReplacesAndFindingSeesOnlyWhatIsBelowTheRoot) {
  ModelNode a = block(1), b = block(2), c = block(3);
  model.placeBlock(root, a);
  model.placeBlock(root, b);
  model.placeBlock(root, a);  // moves behind b
  EXPECT_EQ(childBlocks(root), (std::vector<ModelNode>{b, a}));
  EXPECT_TRUE(model.findBlock(root, 3).isNull());  // made, not placed

  // A nested container, found through the stack and searched below.
  model.placeBlock(root, c);
  ModelNode nested = model.createBlocksContainer(1);
  model.append(c, nested);
  model.pushContainer(1);
  EXPECT_EQ(model.currentContainer(), nested);
  ModelNode d = block(4);
  model.placeBlock(model.currentContainer(), d);
  EXPECT_EQ(model.findBlock(root, 4), d);
  model.popContainer();
  EXPECT_EQ(model.currentContainer(), root);

  // Taken out, the branch is not found; put back, it is again.
  model.remove(root, c);
  EXPECT_TRUE(model.findBlock(root, 4).isNull());
  model.append(root, c);
  EXPECT_EQ(model.findBlock(root, 4), d);

  // A new block with a used id replaces the old one in that container.
  ModelNode other = block(2);
  model.placeBlock(root, other);
  EXPECT_EQ(model.findBlock(root, 2), other);
  EXPECT_EQ(childBlocks(root).size(), 3u);

  // Ids changed after placing are followed; two blocks with one id are
  // told apart by document order.
  model.setBlockId(d, 1);
  EXPECT_EQ(model.findBlock(root, 1), a);
  EXPECT_TRUE(model.findBlock(root, 4).isNull());
  EXPECT_EQ(model.findBlock(c, 1), d);
}

}  // namespace
}  // namespace flowchart
