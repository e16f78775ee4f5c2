// The host's own drawing format: readable XML listing every page with its
// shapes (master, name, text, pin, size, cells, added connection points,
// hyperlinks) and connectors (master, name, text, ends and glue targets),
// in the order they were dropped.
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
// Lengths are inches from the page's bottom-left corner; connection points
// are in the shape's own coordinates (from its bottom-left corner).
#pragma once

#include <cstdint>
#include <string>

#include "render/host/model.h"

namespace host {

std::string drawingXml(const DocumentModel& drawing, uint16_t language);

}  // namespace host
