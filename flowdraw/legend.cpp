#include "flowdraw/legend.h"

#include <algorithm>
#include <map>

#include "drawing/text_layout.h"
#include "drawing/theme.h"
#include "text/text_output.h"

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

std::string number(double value) { return drawing::formatNumber(value, 1); }

constexpr double kRow = 24, kColumn = 450, kPictureWidth = 44, kPictureHeight = 20;
constexpr int kRows = 12;

// A master's outline in a kPictureWidth by kPictureHeight box at (x, y).
std::string shapePicture(const drawing::Master& master, double x, double y) {
  constexpr double w = kPictureWidth, h = kPictureHeight;
  std::string out;
  for (const drawing::OutlinePart& part : master.outline) {
    const std::string fill = part.filled ? master.style.fill : "none";
    const std::string paint = " fill=\"" + text::htmlEscaped(fill) + "\" stroke=\"" +
                              text::htmlEscaped(master.style.stroke) + "\" stroke-width=\"1.2\"" +
                              (part.dashed ? " stroke-dasharray=\"4 2\"" : "");
    switch (part.kind) {
      case drawing::OutlinePart::Kind::Rect:
        out += "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(w) + "\" height=\"" +
               number(h) + "\" rx=\"" + number(part.rounding * h) + "\"" + paint + "/>";
        break;
      case drawing::OutlinePart::Kind::Ellipse:
        out += "<ellipse cx=\"" + number(x + w / 2) + "\" cy=\"" + number(y + h / 2) + "\" rx=\"" + number(h / 2) +
               "\" ry=\"" + number(h / 2) + "\"" + paint + "/>";
        break;
      case drawing::OutlinePart::Kind::Path: {
        std::string d;
        for (size_t r = 0; r < part.runs.size(); ++r) {
          for (size_t i = 0; i < part.runs[r].size(); ++i) {
            const drawing::Point& p = part.runs[r][i];
            d += (i == 0 ? "M" : " L") + number(x + p.x * w) + " " + number(y + (1 - p.y) * h);
          }
          if (part.closed[r]) d += " Z";
          d += ' ';
        }
        out += "<path d=\"" + d + "\"" + paint + "/>";
        break;
      }
      case drawing::OutlinePart::Kind::Lifeline: break;
    }
  }
  return out;
}

std::string arrowPicture(const drawing::Master& master, double x, double y) {
  const std::string color = text::htmlEscaped(master.style.stroke);
  const double mid = y + kPictureHeight / 2;
  return "<path d=\"M" + number(x + 2) + " " + number(mid) + " L" + number(x + 34) + " " + number(mid) +
         "\" stroke=\"" + color + "\" stroke-width=\"1.5\" fill=\"none\"" +
         (master.dashed ? " stroke-dasharray=\"5 3\"" : "") + "/><polygon points=\"" + number(x + 34) + "," +
         number(mid - 4) + " " + number(x + 42) + "," + number(mid) + " " + number(x + 34) + "," + number(mid + 4) +
         "\" fill=\"" + color + "\"/>";
}

}  // namespace

std::string legendSvg(const Masters& masters, bool ownStyle) {
  std::map<std::string, const drawing::Master*> byName;
  for (const auto& master : masters) byName[master->name] = master.get();
  std::string body;
  int entry = 0;
  auto add = [&](const char* meaning, auto picture) {
    const double x = 6 + (entry / kRows) * kColumn, y = 4 + (entry % kRows) * kRow;
    body += picture(x, y);
    body += "<text x=\"" + number(x + kPictureWidth + 10) + "\" y=\"" + number(y + kPictureHeight / 2 + 4) + "\">" +
            text::htmlEscaped(meaning) + "</text>\n";
    ++entry;
  };
  for (const Entry& e : kShapes)
    if (const auto found = byName.find(e.master); found != byName.end())
      add(e.meaning, [&](double x, double y) {
        return "<g data-master=\"" + text::htmlEscaped(e.master) + "\">" + shapePicture(*found->second, x, y) + "</g>";
      });
  for (const Entry& e : kArrows)
    if (const auto found = byName.find(e.master); found != byName.end())
      add(e.meaning, [&](double x, double y) {
        return "<g data-master=\"" + text::htmlEscaped(e.master) + "\">" + arrowPicture(*found->second, x, y) + "</g>";
      });
  const int rows = std::min(entry, kRows);
  const std::string width = number(kColumn * ((entry + kRows - 1) / kRows)), height = number(8 + rows * kRow);
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height +
         "\" viewBox=\"0 0 " + width + " " + height +
         "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"12\" fill=\"#222222\">\n"
         "<title>The shapes and arrows of a flowchart</title>\n" +
         (ownStyle ? "<style>\n" + drawing::darkDrawingCss(masters) + "</style>\n" : std::string()) + body + "</svg>\n";
}

std::string legendHtml(const Masters& masters) {
  return "<details class=\"legend\"><summary>Legend</summary>\n<div class=\"legend\">" + legendSvg(masters) +
         "</div>\n</details>\n";
}

std::string linkedLegendHtml(const std::string& pictureUrl) {
  return "<details class=\"legend\"><summary>Legend</summary>\n<div class=\"legend\"><img src=\"" +
         text::htmlEscaped(pictureUrl) + "\" alt=\"The shapes and arrows of a flowchart\"></div>\n</details>\n";
}

}  // namespace flowdraw
