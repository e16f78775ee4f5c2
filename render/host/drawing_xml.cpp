#include "render/host/drawing_xml.h"

#include "render/host/geometry.h"
#include "render/host/text_layout.h"

namespace host {
namespace {

void attribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  appendEscaped(out, value);
  out += '"';
}

void number(std::string& out, std::string_view name, double value) {
  attribute(out, name, formatNumber(value));
}

void writeEnd(std::string& out, std::string_view element, Point at, const ShapeModel& connector,
              bool begin) {
  const Glue& glue = begin ? connector.beginGlue : connector.endGlue;
  out += "      <";
  out += element;
  number(out, "x", at.x);
  number(out, "y", at.y);
  if (glue.target) {
    attribute(out, "shape", glue.target->name);
    attribute(out, "cell", glue.target->rowCellName(glue.row));
  }
  out += "/>\n";
}

void writeShape(std::string& out, const ShapeModel& shape) {
  const bool connector = shape.isConnector();
  out += connector ? "    <connector" : "    <shape";
  number(out, "id", shape.id);
  attribute(out, "name", shape.name);
  attribute(out, "master", shape.master->name);
  attribute(out, "text", shape.text);
  if (!connector) {
    number(out, "pinX", shape.pinX);
    number(out, "pinY", shape.pinY);
    number(out, "width", shape.width);
    number(out, "height", shape.height);
  }
  out += ">\n";
  if (connector) {
    const ConnectorEnds ends = connectorEnds(shape);
    writeEnd(out, "begin", ends.begin, shape, true);
    writeEnd(out, "end", ends.end, shape, false);
  }
  for (const auto& [name, value] : shape.namedCells) {
    out += "      <cell";
    attribute(out, "name", name);
    number(out, "value", value);
    out += "/>\n";
  }
  for (size_t i = 0; i < shape.rows.size(); ++i) {
    if (!shape.rows[i].added) continue;
    out += "      <connection";
    number(out, "row", static_cast<double>(i + 1));
    attribute(out, "name", shape.rowCellName(i));
    number(out, "x", shape.evaluate(shape.rows[i].cells[0]));
    number(out, "y", shape.evaluate(shape.rows[i].cells[1]));
    out += "/>\n";
  }
  for (const HyperlinkModel& link : shape.hyperlinks) {
    out += "      <hyperlink";
    attribute(out, "description", link.description);
    attribute(out, "address", link.address);
    attribute(out, "subAddress", link.subAddress);
    out += "/>\n";
  }
  out += connector ? "    </connector>\n" : "    </shape>\n";
}

}  // namespace

std::string drawingXml(const DocumentModel& drawing, uint16_t language) {
  std::string out = "<?xml version=\"1.0\" encoding=\"";
  out += encodingName(drawing.encoding);
  out += "\"?>\n<drawing";
  attribute(out, "template", drawing.templateName);
  if (language != 0) number(out, "language", language);
  out += ">\n";
  for (size_t p = 0; p < drawing.pages.size(); ++p) {
    const PageModel& page = *drawing.pages[p];
    out += "  <page";
    number(out, "index", static_cast<double>(p + 1));
    attribute(out, "name", page.name);
    number(out, "width", page.width);
    number(out, "height", page.height);
    out += ">\n";
    for (const auto& shape : page.shapes) writeShape(out, *shape);
    out += "  </page>\n";
  }
  out += "</drawing>\n";
  return out;
}

}  // namespace host
