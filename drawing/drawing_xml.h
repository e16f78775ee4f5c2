// The drawing format: readable XML listing every page with its shapes
// (master, name, text, pin, size, hyperlinks) and connectors (master,
// name, text, ends), in the order they were made.
//
//   <drawing template="flowchart" language="1033">
//     <page index="1" name="main" width="8.5" height="11">
//       <shape id="1" name="n1" master="Start" text="main" pinX=".." pinY=".."
//              width=".." height="..">
//         <cell name="LockTextEdit" value="1"/>
//         <connection row="2" name="Connections.Row_2" x=".." y=".."/>
//         <hyperlink description="Open This Block" address="" subAddress="block-0"/>
//       </shape>
//       <connector id="3" name="Sheet.3" master="Flow" text="Yes">
//         <begin x=".." y=".." shape="n1" cell="Connections.X1"/>
//         <end x=".." y=".." shape="n2" cell="Connections.X4"/>
//       </connector>
//     </page>
//   </drawing>
//
// The language is the format's number for the drawing's language ("en-US"
// is 1033).  An end names the shape it touches and the master's connection
// point it is at; a lifeline, the cell of the control where its line ends.
// The engine's drawing host lists its own cells, connection points and
// glue instead (XmlExtras).
// Lengths are inches from the page's bottom-left corner; connection points
// are in the shape's own coordinates (from its bottom-left corner).
#pragma once

#include <string>
#include <string_view>

#include "drawing/model.h"

namespace drawing {

// What a writer of the format lists of a shape instead of what the model
// says: the attributes of a connector's end, the elements after a shape's
// ends (cells, connection points).
class XmlExtras {
 public:
  virtual ~XmlExtras() = default;
  virtual void endAttributes(std::string& out, const Shape& connector, bool begin) const = 0;
  virtual void shapeElements(std::string& out, const Shape& shape) const = 0;
};

std::string drawingXml(const Document& drawing, const XmlExtras* extras = nullptr);

// An attribute as the format writes it: ` name="value"`, escaped; a number
// as formatNumber gives it.
void xmlAttribute(std::string& out, std::string_view name, std::string_view value);
void xmlNumber(std::string& out, std::string_view name, double value);

}  // namespace drawing
