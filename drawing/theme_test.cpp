#include "drawing/theme.h"

#include <gtest/gtest.h>

#include "drawing/template_file.h"
#include "tests/support/test_support.h"

namespace drawing {
namespace {

// Every master the command draws with, from the templates it ships.
std::vector<std::shared_ptr<const Master>> shippedMasters() {
  std::vector<std::shared_ptr<const Master>> masters;
  for (const char* name : {"flowdraw", "sequence", "UML Sequence.vss"}) {
    errors::Result<TemplateContent> content =
        loadTemplateFile((testing_support::sourceDir() / "templates" / name).string());
    EXPECT_TRUE(content) << name;
    if (!content) continue;
    for (auto& master : content->masters) masters.push_back(std::move(master));
  }
  return masters;
}

bool filled(const Master& master) {
  for (const OutlinePart& part : master.outline)
    if (part.filled && part.kind != OutlinePart::Kind::Lifeline) return true;
  return false;
}

// Text at least 4.5:1 against what it stands on, lines and arrows at
// least 3:1 against the sheet, in both schemes.
TEST(Theme, EveryMasterReadsInBothSchemes) {
  const auto masters = shippedMasters();
  ASSERT_GT(masters.size(), 25u);
  const std::string css = darkDrawingCss(masters);
  for (const auto& master : masters) {
    SCOPED_TRACE(master->name);
    const Palette* dark = darkPalette(master->name);
    ASSERT_NE(dark, nullptr);
    EXPECT_NE(css.find("[data-master=\"" + master->name + "\"]{--df:" + dark->fill), std::string::npos);
    struct Scheme {
      Palette palette;
      const Sheet& sheet;
    };
    for (const Scheme& scheme : {Scheme{lightPalette(*master), kLightSheet}, Scheme{*dark, kDarkSheet}}) {
      const Palette& p = scheme.palette;
      const std::string under = !master->connector && filled(*master) && p.fill != "none" ? p.fill
                                                                                          : scheme.sheet.background;
      EXPECT_GE(contrastRatio(p.text, under), 4.5) << p.text << " on " << under;
      EXPECT_GE(contrastRatio(p.stroke, scheme.sheet.background), 3.0) << p.stroke;
      // A frame's caption is drawn in its stroke's colour in the light scheme.
      if (!master->captions.empty() && &scheme.sheet == &kLightSheet)
        EXPECT_GE(contrastRatio(p.stroke, under), 4.5) << "caption " << p.stroke << " on " << under;
    }
  }
  EXPECT_GE(contrastRatio(kDarkSheet.text, kDarkSheet.background), 7.0);
  EXPECT_DOUBLE_EQ(contrastRatio("#000000", "#ffffff"), 21.0);
  EXPECT_EQ(contrastRatio("black", "#ffffff"), 0.0);
  // Printing keeps the light colours.
  EXPECT_EQ(css.find("@media print"), std::string::npos);
  EXPECT_NE(css.find("@media screen{:root[data-theme=dark]{"), std::string::npos);
}

}  // namespace
}  // namespace drawing
