#include "frontends/dot/dot_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace {

using testing_support::fileExists;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

struct Parsed {
  int result = -1;
  std::string tree;    // out.xml without the declaration line, "" when absent
  std::string status;  // err.xml
  bool treeWritten = false;
};

Parsed parse(const TempDir& dir, const std::string& dot) {
  writeFile(dir.file("in.dot"), dot);
  Parsed parsed;
  parsed.result = dotfront::parseDotFile(dir.file("in.dot"), dir.file("out.xml"), dir.file("err.xml"));
  parsed.status = readFile(dir.file("err.xml"));
  parsed.treeWritten = fileExists(dir.file("out.xml"));
  if (parsed.treeWritten) {
    std::string text = readFile(dir.file("out.xml"));
    const std::string declaration = kDeclaration;
    EXPECT_EQ(text.substr(0, declaration.size()), declaration);
    parsed.tree = text.substr(std::min(text.size(), declaration.size()));
  }
  return parsed;
}

TEST(DotParser, WritesTheTreeOfASmallGraphByteForByte) {
  TempDir dir;
  Parsed parsed = parse(dir, "digraph G {\na [label=\"S\"];\na -> b;\n}\n");
  ASSERT_EQ(parsed.result, 0);
  EXPECT_EQ(parsed.status, "<ParseSuccess/>");
  EXPECT_EQ(parsed.tree,
            "<graph>\n"
            "<grp_digrp>\n"
            "<DIGRAPH l=\"1\" t=\"digraph\"/></grp_digrp>\n"
            "<id>\n"
            "<CHAR_STR l=\"1\" t=\"G\"/></id>\n"
            "<CUO l=\"1\" t=\"{\"/><stmt>\n"
            "<node_stmt>\n"
            "<node_id>\n"
            "<id>\n"
            "<CHAR_STR l=\"2\" t=\"a\"/></id>\n"
            "<opt_port>\n"
            "</opt_port>\n"
            "</node_id>\n"
            "<attr_list>\n"
            "<SQO l=\"2\" t=\"[\"/><a_list>\n"
            "<id>\n"
            "<CHAR_STR l=\"2\" t=\"label\"/></id>\n"
            "<EQ l=\"2\" t=\"=\"/><id>\n"
            "<STR_ST l=\"2\" t=\"&quot;\"/><STR_CON l=\"2\" t=\"S\"/><STR_END l=\"2\" t=\"&quot;\"/></id>\n"
            "</a_list>\n"
            "<SQC l=\"2\" t=\"]\"/></attr_list>\n"
            "</node_stmt>\n"
            "</stmt>\n"
            "<SEMI l=\"2\" t=\";\"/><stmt>\n"
            "<edge_stmt>\n"
            "<nod_subgrp>\n"
            "<node_id>\n"
            "<id>\n"
            "<CHAR_STR l=\"3\" t=\"a\"/></id>\n"
            "<opt_port>\n"
            "</opt_port>\n"
            "</node_id>\n"
            "</nod_subgrp>\n"
            "<edgerhs>\n"
            "<edgeop>\n"
            "<ARROW l=\"3\" t=\"-&gt;\"/></edgeop>\n"
            "<nod_subgrp>\n"
            "<node_id>\n"
            "<id>\n"
            "<CHAR_STR l=\"3\" t=\"b\"/></id>\n"
            "<opt_port>\n"
            "</opt_port>\n"
            "</node_id>\n"
            "</nod_subgrp>\n"
            "</edgerhs>\n"
            "</edge_stmt>\n"
            "</stmt>\n"
            "<SEMI l=\"3\" t=\";\"/><CUC l=\"4\" t=\"}\"/></graph>\n"
            "\n");
}

}  // namespace
