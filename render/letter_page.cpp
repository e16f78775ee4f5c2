#include "render/letter_page.h"

#include "render/layout_queries.h"

namespace render {

bool setUpLetterPage(double right, double top, host::Page& page) {
  const double width = right / kLayoutUnitsPerInch;
  const double height = top / kLayoutUnitsPerInch;
  host::PageSheet sheet = page.pageSheet();
  sheet.cells("PageWidth").setResult(8.5);
  sheet.cells("PageHeight").setResult(11.0);
  resetLayoutScale();
  return height > 11.0 || width > 8.5;
}

}  // namespace render
