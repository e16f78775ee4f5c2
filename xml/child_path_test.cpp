#include "child_path.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Matches as "element" or "element/@attribute" labels with the element's
// position in a pre-order numbering, so that lists compare as text.
using Labels = std::vector<std::string>;

std::string label(pugi::xml_node node, pugi::xml_attribute attribute) {
  std::string text = std::string(node.name()) + "#" + node.attribute("n").value();
  if (attribute) text += std::string("/@") + attribute.name();
  return text;
}

Labels walked(const xml::ChildPath& path, pugi::xml_node context) {
  Labels out;
  path.forEachMatch(context, [&](pugi::xml_node node, pugi::xml_attribute attribute) {
    out.push_back(label(node, attribute));
    return true;
  });
  return out;
}

Labels evaluated(const char* xpath, pugi::xml_node context) {
  pugi::xpath_node_set set = pugi::xpath_query(xpath).evaluate_node_set(context);
  set.sort();
  Labels out;
  for (const pugi::xpath_node& found : set)
    out.push_back(found.attribute() ? label(found.parent(), found.attribute()) : label(found.node(), {}));
  return out;
}

// A document of elements a, b and c nested up to five deep, with attributes
// x, y and z in varying order, text, comments and processing instructions
// between them; every element is numbered in @n.
std::string randomDocument(std::mt19937& rng) {
  std::string text;
  int counter = 0;
  std::function<void(int)> element = [&](int depth) {
    const char* names[] = {"a", "b", "c"};
    const std::string name = names[rng() % 3];
    text += "<" + name + " n=\"" + std::to_string(counter++) + "\"";
    std::vector<std::string> attributes = {"x", "y", "z"};
    std::shuffle(attributes.begin(), attributes.end(), rng);
    for (const std::string& attribute : attributes)
      if (rng() % 2) text += " " + attribute + "=\"v\"";
    text += ">";
    const int children = depth >= 5 ? 0 : static_cast<int>(rng() % 4);
    for (int i = 0; i < children; ++i) {
      switch (rng() % 5) {
        case 0: text += "text"; break;
        case 1: text += "<!--c-->"; break;
        case 2: text += "<?pi x?>"; break;
        default: break;
      }
      element(depth + 1);
    }
    text += "</" + name + ">";
  };
  element(0);
  return text;
}

std::string randomPath(std::mt19937& rng) {
  const char* steps[] = {"a", "b", "c", "*"};
  const char* attributes[] = {"x", "y", "z", "n"};
  std::string path;
  const int branches = 1 + static_cast<int>(rng() % 3);
  for (int b = 0; b < branches; ++b) {
    if (b) path += "|";
    const int depth = static_cast<int>(rng() % 4);
    std::string branch;
    for (int d = 0; d < depth; ++d) branch += std::string(d ? "/" : "") + steps[rng() % 4];
    if (depth == 0 || rng() % 3 == 0) branch += std::string(depth ? "/@" : "@") + attributes[rng() % 4];
    path += branch;
  }
  return path;
}

}  // namespace

TEST(ChildPath, FindsWhatXPathFindsInDocumentOrder) {
  std::mt19937 rng(7);
  int compared = 0;
  for (int round = 0; round < 40; ++round) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(randomDocument(rng).c_str()));
    std::vector<pugi::xml_node> contexts;
    for (pugi::xpath_node found : doc.select_nodes("//*")) contexts.push_back(found.node());
    for (int p = 0; p < 25; ++p) {
      const std::string xpath = randomPath(rng);
      auto path = xml::ChildPath::parse(xpath);
      ASSERT_TRUE(path) << xpath;
      for (pugi::xml_node context : contexts) {
        ASSERT_EQ(walked(*path, context), evaluated(xpath.c_str(), context))
            << xpath << " from " << label(context, {});
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 1000);
}

TEST(ChildPath, StopsAtTheFirstMatchWhenAsked) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string("<r n=\"0\"><a n=\"1\" x=\"v\"/><a n=\"2\"/></r>"));
  auto path = xml::ChildPath::parse("a|a/@x");
  ASSERT_TRUE(path);
  Labels seen;
  path->forEachMatch(doc.first_child(), [&](pugi::xml_node node, pugi::xml_attribute attribute) {
    seen.push_back(label(node, attribute));
    return seen.size() < 2;
  });
  EXPECT_EQ(seen, (Labels{"a#1", "a#1/@x"}));
}

TEST(ChildPath, LeavesEveryOtherTextToXPath) {
  for (const char* xpath : {"", "/", "/a", "a/", "//a", "a//b", "a[1]", "*[1]", "a[@x]", "../a", ".", "a/.",
                            "@*", "@x/a", "a/@x/b", "a | b", " a", "a:b", "1a", "-a", ".a", "@xmlns",
                            "@xmlns:p", "text()", "node()", "child::a", "a||b", "|a", "a|", "\xE9"}) {
    EXPECT_FALSE(xml::ChildPath::parse(xpath)) << xpath;
  }
  for (const char* xpath : {"a", "*", "@x", "a/b/@c", "Blk/Stmt|Blk/LocVarDecln", "a-b.c", "_x", "xmlns", "div"})
    EXPECT_TRUE(xml::ChildPath::parse(xpath)) << xpath;
}
