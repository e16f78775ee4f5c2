#include "flowdraw/legend.h"

#include <map>

#include "render/host/text_layout.h"

namespace flowdraw {
namespace {

struct Entry {
  const char* master;
  const char* meaning;
};

constexpr Entry kShapes[] = {
    {"Start", "the method starts (its header)"},
    {"Statement", "statements that run in a row"},
    {"Decision", "a condition: one true and one false exit"},
    {"Switch", "a switch: one exit per case group"},
    {"Join", "where ways meet: a loop without a condition"},
    {"Return", "return: the method ends, through any finally"},
    {"Throw", "throw: an exception is thrown"},
    {"Jump", "break, continue, yield: go to their target"},
    {"Try", "a try statement is entered"},
    {"Resources", "the resources of try-with-resources"},
    {"Catch", "a catch clause takes the exception"},
    {"Finally", "a finally clause, and where it goes on to"},
    {"Synchronized", "the monitor of a synchronized block is taken"},
    {"Folded", "a construct on a page of its own: click to open"},
    {"Off Page", "where a page is entered from or goes on to: click to follow"},
    {"End", "the method completes normally"},
    {"Exit", "an exception leaves the method"},
    {"Frame", "a loop body, try block or synchronized block"},
};

constexpr Entry kArrows[] = {
    {"Flow", "runs next"},
    {"True Flow", "the condition is true"},
    {"False Flow", "the condition is false"},
    {"Case Flow", "the case values that lead here"},
    {"Exception Flow", "an exception is thrown: to the catch, finally or exit"},
};

std::string number(double value) { return host::formatNumber(value); }

// A 44 by 22 picture of a master's outline.
std::string shapePicture(const host::MasterDef& master) {
  constexpr double w = 44, h = 22, pad = 1.5;
  const double iw = w - 2 * pad, ih = h - 2 * pad;
  std::string out = "<svg width=\"44\" height=\"22\" viewBox=\"0 0 44 22\" aria-hidden=\"true\">";
  for (const host::OutlinePart& part : master.outline) {
    const std::string fill = part.filled ? master.style.fill : "none";
    const std::string stroke = " fill=\"" + host::escapeXml(fill) + "\" stroke=\"" +
                               host::escapeXml(master.style.stroke) + "\" stroke-width=\"1.2\"" +
                               (part.dashed ? " stroke-dasharray=\"4 2\"" : "");
    switch (part.kind) {
      case host::OutlinePart::Kind::Rect: {
        const double r = part.rounding * ih;
        out += "<rect x=\"" + number(pad) + "\" y=\"" + number(pad) + "\" width=\"" + number(iw) + "\" height=\"" +
               number(ih) + "\" rx=\"" + number(r) + "\"" + stroke + "/>";
        break;
      }
      case host::OutlinePart::Kind::Ellipse:
        out += "<ellipse cx=\"22\" cy=\"11\" rx=\"" + number(ih / 2) + "\" ry=\"" + number(ih / 2) + "\"" + stroke +
               "/>";
        break;
      case host::OutlinePart::Kind::Path: {
        std::string d;
        for (size_t r = 0; r < part.runs.size(); ++r) {
          for (size_t i = 0; i < part.runs[r].size(); ++i) {
            const host::Point& p = part.runs[r][i];
            d += (i == 0 ? "M" : " L") + number(pad + p.x * iw) + " " + number(pad + (1 - p.y) * ih);
          }
          if (part.closed[r]) d += " Z";
          d += ' ';
        }
        out += "<path d=\"" + d + "\"" + stroke + "/>";
        break;
      }
      case host::OutlinePart::Kind::Lifeline: break;
    }
  }
  return out + "</svg>";
}

std::string arrowPicture(const host::MasterDef& master) {
  const std::string& color = master.style.stroke;
  return "<svg width=\"44\" height=\"22\" viewBox=\"0 0 44 22\" aria-hidden=\"true\"><path d=\"M2 11 L34 11\" "
         "stroke=\"" + host::escapeXml(color) + "\" stroke-width=\"1.5\" fill=\"none\"" +
         (master.dashed ? " stroke-dasharray=\"5 3\"" : "") + "/><polygon points=\"34,7 42,11 34,15\" fill=\"" +
         host::escapeXml(color) + "\"/></svg>";
}

}  // namespace

std::string legendHtml(const Masters& masters) {
  std::map<std::string, const host::MasterDef*> byName;
  for (const auto& master : masters) byName[master->name] = master.get();
  std::string out = "<details class=\"legend\"><summary>Legend</summary>\n<ul class=\"legend\">\n";
  for (const Entry& entry : kShapes) {
    const auto found = byName.find(entry.master);
    if (found == byName.end()) continue;
    out += "<li>" + shapePicture(*found->second) + " " + entry.meaning + "</li>\n";
  }
  for (const Entry& entry : kArrows) {
    const auto found = byName.find(entry.master);
    if (found == byName.end()) continue;
    out += "<li>" + arrowPicture(*found->second) + " " + entry.meaning + "</li>\n";
  }
  return out + "</ul>\n</details>\n";
}

}  // namespace flowdraw
