#include "drawing/template_file.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/test_support.h"

namespace drawing {
namespace {

const Master* find(const TemplateContent& content, const std::string& name) {
  for (const auto& master : content.masters)
    if (master->name == name) return master.get();
  return nullptr;
}

TEST(TemplateFile, ReadsMastersWithOutlineTextAndConnectionPoints) {
  auto content = parseTemplateText(R"(<template>
      <stencil file="Extra.vss"/>
      <master name="Box" width="2" height="1" pin-x="0.5" pin-y="0" text="hi">
        <style fill="#eee" stroke="#111" line-width="2"/>
        <path d="M 0 0 L 1 0 L 0.5 1 Z"/>
        <rect rounding="0.5" fill="none" dash="yes"/>
        <text left="0.1" bottom="0.2" right="0.9" top="0.8" size="8"/>
        <connection name="X1" x="0.5" y="0" dir="down"/>
        <connection name="Side" x="0" y="0.5" snap="side"/>
        <control name="Row_1" x="0.5" y="-2"/>
      </master>
      <connector name="Line" stroke="#f00" route="straight" arrow="open" dash="yes"/>
    </template>)");
  ASSERT_TRUE(content);
  EXPECT_EQ(content->stencils, std::vector<std::string>{"Extra.vss"});
  const Master* box = find(*content, "Box");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->defaultText, "hi");
  EXPECT_DOUBLE_EQ(box->pin.y, 0.0);
  ASSERT_EQ(box->outline.size(), 2u);
  EXPECT_EQ(box->outline[0].runs[0].size(), 4u);  // closed: first point repeated
  EXPECT_TRUE(box->outline[0].closed[0]);
  EXPECT_FALSE(box->outline[1].filled);
  EXPECT_TRUE(box->outline[1].dashed);
  EXPECT_DOUBLE_EQ(box->textBox.fontSize, 8);
  ASSERT_EQ(box->connections.size(), 2u);
  EXPECT_DOUBLE_EQ(box->connections[0].direction.y, -1);
  EXPECT_TRUE(box->connections[1].snapToSide);
  EXPECT_DOUBLE_EQ(box->controls.at(0).y, -2);
  const Master* line = find(*content, "Line");
  ASSERT_TRUE(line);
  EXPECT_TRUE(line->connector);
  EXPECT_EQ(line->route, Master::Route::Straight);
  EXPECT_EQ(line->arrow, Master::Arrow::Open);
}

// Each refused with what is wrong with it.
TEST(TemplateFile, MalformedTemplatesAreRefused) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "not well-formed XML"},
      {"<template>", "not well-formed XML"},
      {"<drawing/>", "its root is <drawing>, not <template> or <stencil>"},
      {"<template><master/></template>", "master without a name"},
      {"<template><master name=\"A\" width=\"wide\"/></template>", "not a number: wide"},
      {"<template><master name=\"A\"><path d=\"L Z\"/></master></template>", "Z without a run"},
      {"<template><master name=\"A\"><blob/></master></template>", "unknown master part: blob"},
      {"<template><master name=\"A\"><connection x=\"0\"/></master></template>", "connection point without a name"},
      {"<template><connector name=\"C\" arrow=\"star\"/></template>", "unknown arrow: star"},
      {"<template><stencil/></template>", "a stencil without a file"},
      {"<template><page/></template>", "unknown element <page>"}};
  for (const auto& [text, why] : cases) {
    const errors::Result<TemplateContent> content = parseTemplateText(text);
    ASSERT_FALSE(content) << text;
    EXPECT_EQ(content.problem().message, why) << text;
  }
}

TEST(TemplateFile, ShippedTemplatesHoldEveryMasterTheDrawingsUse) {
  const auto dir = testing_support::sourceDir() / "templates";
  auto flowchart = loadTemplateFile((dir / "flowchart").string());
  ASSERT_TRUE(flowchart);
  for (const char* name :
       {"If", "For", "While", "End For", "End While", "Switch", "Do", "Do While", "Process",
        "End", "Start", "Try", "Catch", "Finally", "Return", "Complex If", "Complex While",
        "Complex Dowhile", "Folded Block", "Try Block", "Comments", "Back"}) {
    const Master* master = find(*flowchart, name);
    ASSERT_TRUE(master) << name;
    std::set<std::string> points;
    for (const auto& point : master->connections) points.insert(point.name);
    EXPECT_EQ(points, (std::set<std::string>{"X1", "X2", "X3", "X4"})) << name;
  }
  for (const char* name : {"Flow", "True Flow", "False Flow"}) {
    ASSERT_TRUE(find(*flowchart, name)) << name;
    EXPECT_TRUE(find(*flowchart, name)->connector);
  }

  auto sequence = loadTemplateFile((dir / "sequence").string());
  ASSERT_TRUE(sequence);
  EXPECT_EQ(sequence->stencils, std::vector<std::string>{"UML Sequence.vss"});
  auto stencil = loadTemplateFile((dir / "UML Sequence.vss").string());
  ASSERT_TRUE(stencil);
  EXPECT_TRUE(stencil->isStencil);
  const Master* lifeline = find(*stencil, "Object Lifeline");
  ASSERT_TRUE(lifeline);
  ASSERT_EQ(lifeline->connections.size(), 1u);
  EXPECT_EQ(lifeline->connections[0].name, "CreationPt");
  EXPECT_EQ(lifeline->controls.at(0).name, "Row_1");
  for (const char* name : {"Message (call)", "Message (call) ", "Message (return)"})
    EXPECT_TRUE(find(*stencil, name)) << '"' << name << '"';
}

}  // namespace
}  // namespace drawing
