#include "drawing/drawing_xml.h"

#include "drawing/text_layout.h"

namespace drawing {

void xmlAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  appendEscaped(out, value);
  out += '"';
}

void xmlNumber(std::string& out, std::string_view name, double value) {
  xmlAttribute(out, name, formatNumber(value));
}

namespace {

// The format's number for a language, 0 for one it has none for.
int languageNumber(std::string_view language) { return language == "en-US" ? 1033 : 0; }

void writeEnd(std::string& out, std::string_view element, const Shape& connector, bool begin,
              const XmlExtras* extras) {
  const Point at = (begin ? connector.begin : connector.end).at;
  out += "      <";
  out += element;
  xmlNumber(out, "x", at.x);
  xmlNumber(out, "y", at.y);
  const ConnectorEnd& end = begin ? connector.begin : connector.end;
  if (extras) {
    extras->endAttributes(out, connector, begin);
  } else if (end.shape) {
    xmlAttribute(out, "shape", end.shape->name);
    if (!end.point.empty()) xmlAttribute(out, "cell", "Connections." + end.point);
  }
  out += "/>\n";
}

void writeShape(std::string& out, const Shape& shape, const XmlExtras* extras) {
  const bool connector = shape.isConnector();
  out += connector ? "    <connector" : "    <shape";
  xmlNumber(out, "id", shape.id);
  xmlAttribute(out, "name", shape.name);
  xmlAttribute(out, "master", shape.master->name);
  xmlAttribute(out, "text", shape.text);
  if (!connector) {
    xmlNumber(out, "pinX", shape.pinX);
    xmlNumber(out, "pinY", shape.pinY);
    xmlNumber(out, "width", shape.width);
    xmlNumber(out, "height", shape.height);
  }
  out += ">\n";
  if (connector) {
    writeEnd(out, "begin", shape, true, extras);
    writeEnd(out, "end", shape, false, extras);
  }
  if (extras) {
    extras->shapeElements(out, shape);
  } else if (shape.lifelineBottom) {
    // Where its lifeline ends, as the cell of the control the master names.
    for (const OutlinePart& part : shape.master->outline)
      if (part.kind == OutlinePart::Kind::Lifeline) {
        out += "      <cell";
        xmlAttribute(out, "name", "Controls." + part.control + ".Y");
        xmlNumber(out, "value", *shape.lifelineBottom);
        out += "/>\n";
        break;
      }
  }
  for (const Hyperlink& link : shape.hyperlinks) {
    out += "      <hyperlink";
    xmlAttribute(out, "description", link.description);
    xmlAttribute(out, "address", link.address);
    xmlAttribute(out, "subAddress", link.subAddress);
    out += "/>\n";
  }
  out += connector ? "    </connector>\n" : "    </shape>\n";
}

}  // namespace

std::string drawingXml(const Document& drawing, const XmlExtras* extras) {
  std::string out = "<?xml version=\"1.0\" encoding=\"";
  out += encodingName(drawing.encoding);
  out += "\"?>\n<drawing";
  xmlAttribute(out, "template", drawing.templateName);
  if (const int language = languageNumber(drawing.language)) xmlNumber(out, "language", language);
  out += ">\n";
  for (size_t p = 0; p < drawing.pages.size(); ++p) {
    const Page& page = *drawing.pages[p];
    out += "  <page";
    xmlNumber(out, "index", static_cast<double>(p + 1));
    xmlAttribute(out, "name", page.name);
    xmlNumber(out, "width", page.width);
    xmlNumber(out, "height", page.height);
    out += ">\n";
    for (const auto& shape : page.shapes) writeShape(out, *shape, extras);
    out += "  </page>\n";
  }
  out += "</drawing>\n";
  return out;
}

}  // namespace drawing
