#include "flowchart/blocks_model.h"

#include <gtest/gtest.h>

#include "flowchart/testing/model_text.h"

namespace flowchart {
namespace {

class BlocksModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc = xml::Document::loadText("<results><func name=\"f\" sl=\"3\" el=\"9\"/></results>");
    ASSERT_TRUE(doc);
    model.emplace(*doc);
    model->setCrossCheck(true);
    root = model->createBlocksContainer(0);
    doc->root().selectSingleNode("//func").appendChild(root);
    model->setRootContainer(root);
    model->pushContainer(0);
  }
  xml::Node block(int32_t id) {
    xml::Node b = model->createBlock();
    model->setBlockId(b, id);
    return b;
  }

  std::unique_ptr<xml::Document> doc;
  std::optional<BlocksModel> model;
  xml::Node root;
};

TEST_F(BlocksModelTest, ElementsAreCreatedWithEmptyAttributesInOrder) {
  xml::Node b = model->createBlock();
  model->setTextAttr(b, "t");
  model->setStartLine(b, 4);
  model->addSuccessor(b, 7);
  model->addSuccessor(b, 7);
  model->addTypedSuccessor(b, 7, "loop");
  model->addTypedSuccessor(b, 7, "loop");
  model->addLabelledSuccessor(b, 8, "true", "true");
  model->appendHint(b, "NO_COND", "0");
  EXPECT_EQ(testing::modelText(b),
            "block \"\" \"\" 4 \"\" \"t\"\n"
            "  -> 7\n"
            "  -> 7 loop \"\"\n"
            "  -> 7 loop \"\"\n"
            "  -> 8 true \"true\"\n"
            "  hint NO_COND \"0\"\n");
  EXPECT_EQ(testing::modelText(model->createSuccessor()), "<successor id=\"\" type=\"\" text=\"\">\n");
}

TEST_F(BlocksModelTest, AttributeReadsUseTheShortFormsAndFailWhenMissing) {
  xml::Node func = doc->root().selectSingleNode("//func");
  EXPECT_EQ(model->getStartLine(func), 3);
  EXPECT_EQ(model->getEndLine(func), 9);
  EXPECT_EQ(model->getNameAttr(func), "f");
  xml::Node b = model->createBlock();
  EXPECT_EQ(model->getStartLine(b), 0);  // empty converts to 0
  EXPECT_EQ(model->getBlockId(b), 0);
  EXPECT_THROW(model->getTypeAttr(func), xml::Error);
  EXPECT_THROW(model->getNameAttr(b), xml::Error);
  EXPECT_THROW(model->getStartLine(doc->root().selectSingleNode("//results")), xml::Error);
  EXPECT_THROW(model->setTextAttr(xml::Node(), "x"), xml::Error);
}

TEST_F(BlocksModelTest, PlacingMovesOrReplacesAndFindingSeesOnlyWhatIsBelowTheRoot) {
  xml::Node a = block(1), b = block(2), c = block(3);
  model->placeBlock(root, a);
  model->placeBlock(root, b);
  model->placeBlock(root, a);  // moves behind b
  EXPECT_EQ(root.selectNodes("block")[0], b);
  EXPECT_EQ(root.selectNodes("block")[1], a);
  EXPECT_TRUE(model->findBlock(root, 3).isNull());  // made, not placed

  // A nested container, found through the stack and searched below.
  model->placeBlock(root, c);
  xml::Node nested = model->createBlocksContainer(1);
  model->append(c, nested);
  model->pushContainer(1);
  EXPECT_EQ(model->currentContainer(), nested);
  xml::Node d = block(4);
  model->placeBlock(model->currentContainer(), d);
  EXPECT_EQ(model->findBlock(root, 4), d);
  model->popContainer();
  EXPECT_EQ(model->currentContainer(), root);

  // Taken out, the branch is not found; put back, it is again.
  model->remove(root, c);
  EXPECT_TRUE(model->findBlock(root, 4).isNull());
  model->append(root, c);
  EXPECT_EQ(model->findBlock(root, 4), d);

  // A new block with a used id replaces the old one in that container.
  xml::Node other = block(2);
  model->placeBlock(root, other);
  EXPECT_EQ(model->findBlock(root, 2), other);
  EXPECT_EQ(root.countNodes("block"), 3u);

  // Ids changed after placing are followed; two blocks with one id are
  // told apart by document order.
  model->setBlockId(d, 1);
  EXPECT_EQ(model->findBlock(root, 1), a);
  EXPECT_TRUE(model->findBlock(root, 4).isNull());
  EXPECT_EQ(model->findBlock(c, 1), d);
}

}  // namespace
}  // namespace flowchart
