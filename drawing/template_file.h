// Templates and stencils: readable XML files that hold masters.
//
//   <template>                      (a stencil has <stencil> as its root)
//     <stencil file="UML Sequence.vss"/>   opens with the template, found
//                                          beside it
//     <master name="Process" width="1.5" height="0.75" [pin-x pin-y text]>
//       <style fill stroke text-color line-width/>
//       <rect [rounding] [fill="none"] [dash="yes"]/>
//       <ellipse/>
//       <path d="M 0 0.5 L 0.5 1 L 1 0.5 L 0.5 0 Z"/>
//       <lifeline control="Row_1"/>   dashed line down to a control's y
//       <text left bottom right top size/>
//       <caption text x y size/>      fixed text; (x, y) its bottom-left
//       <connection name="X1" x="0" y="0.5" dir="left|right|up|down" [snap="side"]/>
//       <control name="Row_1" x="0.5" y="-2"/>
//     </master>
//     <connector name="Flow" stroke="#000" [route="straight"] [arrow="open|none"]
//                [dash="yes"] [size] [line-width]/>
//   </template>
//
// Outline and connection coordinates are fractions of the shape's size
// from its bottom-left corner, y pointing up.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/master.h"
#include "errors/problem.h"

namespace drawing {

struct TemplateContent {
  bool isStencil = false;
  std::vector<std::unique_ptr<Master>> masters;
  std::vector<std::string> stencils;  // file names, relative to the template's folder
};

// Reads a template or stencil file; a problem saying why when it cannot
// be read or is not a well-formed template (unknown root, a master
// without a name, a number that does not parse).
errors::Result<TemplateContent> loadTemplateFile(const std::string& path);
errors::Result<TemplateContent> parseTemplateText(std::string_view text);

}  // namespace drawing
