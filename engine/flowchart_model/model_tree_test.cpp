#include "engine/flowchart_model/model_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace flowchart {
namespace {

// The model's text must be what the document prints for the same
// elements: the results file is written with the text spliced in.
TEST(ModelTree, WritesWhatTheDocumentPrints) {
  ModelTree tree;
  ModelNode root = tree.create(Tag::kBlocks, {Attr::kId});
  tree.setAttribute(root, Attr::kId, "0");
  std::string everyByte;
  for (int c = 1; c < 256; ++c) everyByte += static_cast<char>(c);
  for (const std::string& text : {everyByte, std::string(), std::string("cut\0here", 8)}) {
    ModelNode block = tree.create(Tag::kBlock, {Attr::kId, Attr::kType, Attr::kSln, Attr::kEln, Attr::kText});
    tree.setAttribute(block, Attr::kText, text);
    ModelNode flow = tree.create(Tag::kControlflow, {});
    tree.appendChild(block, flow);
    ModelNode hint = tree.create(Tag::kHint, {Attr::kId, Attr::kValue});
    tree.setAttribute(hint, Attr::kValue, text);
    tree.appendChild(block, hint);
    tree.appendChild(root, block);
  }
  std::string written;
  tree.writeXml(root, written);

  auto doc = xml::Document::loadText("<func/>");
  ASSERT_TRUE(doc);
  xml::Node parsed = doc->documentElement().appendParsed(written);
  EXPECT_EQ(doc->toText(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<func>" + written + "</func>\n");
  EXPECT_EQ(parsed.selectSingleNode("block/@text").value(), everyByte);
  EXPECT_EQ(parsed.selectSingleNode("block[3]/hint/@value").value(), "cut");
}

TEST(ModelTree, MovesChildrenAndRefusesCycles) {
  ModelTree tree;
  ModelNode a = tree.create(Tag::kBlocks, {}), b = tree.create(Tag::kBlock, {}), c = tree.create(Tag::kBlock, {});
  tree.appendChild(a, b);
  tree.appendChild(a, c);
  tree.appendChild(a, b);  // moves behind c
  EXPECT_EQ(tree.firstChild(a), c);
  EXPECT_EQ(tree.nextSibling(c), b);
  EXPECT_FALSE(tree.nextSibling(b));
  tree.appendChild(c, b);  // from a into c
  EXPECT_EQ(tree.parent(b), c);
  EXPECT_TRUE(tree.contains(a, b, false));
  EXPECT_FALSE(tree.contains(b, b, false));
  EXPECT_TRUE(tree.contains(b, b, true));
  EXPECT_THROW(tree.appendChild(b, a), xml::Error);
  EXPECT_THROW(tree.removeChild(a, b), xml::Error);
  tree.removeChild(c, b);
  EXPECT_FALSE(tree.parent(b));
  EXPECT_FALSE(tree.firstChild(c));
  EXPECT_THROW(tree.firstChild(ModelNode()), xml::Error);
}

}  // namespace
}  // namespace flowchart
