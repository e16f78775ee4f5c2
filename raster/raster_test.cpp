#include "raster/raster.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>

#include "tests/support/test_support.h"

namespace {

using errors::Problem;

// The bytes made; a problem fails the test.
std::string made(const errors::Result<std::string>& bytes) {
  EXPECT_TRUE(bytes) << (bytes ? "" : bytes.problem().message);
  return bytes ? *bytes : std::string();
}

raster::Painter painter() {
  const errors::Result<raster::Painter> opened = raster::Painter::open(FLOWCHART_RASTER_PLUGIN);
  EXPECT_TRUE(opened) << opened.problem().message;
  return *opened;
}

uint32_t bigEndian(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t k = 0; k < 4; ++k) value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

// Two pages as our SVG writer marks them: a view and a group each.
constexpr std::string_view kTwoPages =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="300" viewBox="0 0 200 300">)"
    R"(<view id="view-page-1" viewBox="0 0 200 100"/><view id="view-page-2" viewBox="0 100 120 200"/>)"
    R"(<g id="page-1"><rect x="10" y="10" width="50" height="50"/><text x="10" y="90">first page</text></g>)"
    R"(<g id="page-2"><text x="10" y="150">second page</text></g></svg>)";

TEST(Raster, PngIsTheWholePictureAtTwiceItsSizeTheSameEveryTime) {
  const raster::Painter drawn = painter();
  const errors::Result<std::string> png = drawn.png(kTwoPages);
  ASSERT_TRUE(png) << png.problem().message;
  ASSERT_GT(png->size(), 24u);
  EXPECT_EQ(png->substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(png->substr(12, 4), "IHDR");
  EXPECT_EQ(bigEndian(*png, 16), 400u);
  EXPECT_EQ(bigEndian(*png, 20), 600u);
  EXPECT_EQ(made(drawn.png(kTwoPages)), *png);
  EXPECT_EQ(bigEndian(made(drawn.png(kTwoPages, 1.0)), 16), 200u);
}

TEST(Raster, PdfHasAPagePerMarkedPageEachTheSizeOfItsViewWithItsTitleAndAFixedDate) {
  const raster::Painter drawn = painter();
  const errors::Result<std::string> pdf = drawn.pdf(kTwoPages, "Loops.run");
  ASSERT_TRUE(pdf) << pdf.problem().message;
  EXPECT_EQ(pdf->substr(0, 5), "%PDF-");
  // Points are 3/4 of the SVG's pixels.
  std::vector<std::string> boxes;
  const std::regex mediaBox(R"(/MediaBox \[\s*0 0 ([\d.]+) ([\d.]+)\s*\])");
  for (std::sregex_iterator it(pdf->begin(), pdf->end(), mediaBox), end; it != end; ++it)
    boxes.push_back((*it)[1].str() + "x" + (*it)[2].str());
  EXPECT_EQ(boxes, (std::vector<std::string>{"150x75", "90x150"}));
  EXPECT_NE(pdf->find("Loops.run"), std::string::npos);
  EXPECT_NE(pdf->find("20000101000000"), std::string::npos);
  EXPECT_EQ(made(drawn.pdf(kTwoPages, "Loops.run")), *pdf);

  // An SVG that marks no page is one page, the whole picture.
  const errors::Result<std::string> whole =
      drawn.pdf(R"(<svg xmlns="http://www.w3.org/2000/svg" width="96" height="48"><rect width="9" height="9"/></svg>)");
  ASSERT_TRUE(whole) << whole.problem().message;
  EXPECT_NE(whole->find("/MediaBox [ 0 0 72 36 ]"), std::string::npos);
}

TEST(Raster, WhatCannotBeDrawnIsSaidAndAMissingOrForeignPluginIsTheMachinesTrouble) {
  const raster::Painter drawn = painter();
  const errors::Result<std::string> unreadable = drawn.png("<svg");
  ASSERT_FALSE(unreadable);
  EXPECT_EQ(unreadable.problem().kind, Problem::Kind::Failed);
  EXPECT_EQ(unreadable.problem().message.rfind("the picture cannot be drawn: ", 0), 0u) << unreadable.problem().message;
  const errors::Result<std::string> huge =
      drawn.png(R"(<svg xmlns="http://www.w3.org/2000/svg" width="20000" height="10"/>)");
  ASSERT_FALSE(huge);
  EXPECT_EQ(huge.problem().message,
            "the picture is too large for a PNG (40000 x 20 pixels; a side holds at most 32767): write a PDF or SVG");

  testing_support::TempDir folder;
  const errors::Result<raster::Painter> missing = raster::Painter::open(folder.path() / "flowchart-raster.so");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.problem().kind, Problem::Kind::Resource);
  EXPECT_NE(missing.problem().message.find(folder.file("flowchart-raster.so") + " cannot be opened: "),
            std::string::npos)
      << missing.problem().message;
  const errors::Result<raster::Painter> foreign = raster::Painter::open("libz.so.1");
  ASSERT_FALSE(foreign);
  EXPECT_EQ(foreign.problem().kind, Problem::Kind::Resource);
  EXPECT_EQ(foreign.problem().message, "libz.so.1 is not a raster plug-in of this build (reinstall the command)");
}

}  // namespace
