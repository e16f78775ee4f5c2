// Text helpers for the writers: numbers, escaping, and fitting a shape's
// text into its text box.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "drawing/model.h"

namespace drawing {

// Up to four decimals (or as many as asked), trailing zeros dropped:
// 1.5, 0.0833, -2, 0.
std::string formatNumber(double value, int decimals = 4);

// Escapes the five XML special characters; tab, line feed and carriage
// return become character references (so attribute values keep them), and
// the other control bytes, which XML cannot carry, become '?'.  Bytes from
// 0x80 up are copied: the files are ISO-8859-1.
std::string escapeXml(std::string_view text);
void appendEscaped(std::string& out, std::string_view text);

// The lines a text is shown in: a line feed starts a new line, and so do
// the layout's line-break escapes \n, \l and \r; "\\" shows one backslash.
std::vector<std::string> displayLines(std::string_view text);

// An estimate of the width of a text in inches at a font size in points.
// In UTF-8 a character of several bytes counts once.
double textWidth(std::string_view text, double fontSize, text::Charset encoding = text::Charset::Latin1);

struct FittedText {
  double fontSize = 10.0;
  std::vector<std::string> lines;
  text::Charset encoding = text::Charset::Latin1;
  double lineHeight() const { return fontSize * 1.2 / 72.0; }  // inches
};

// Wraps the text at blanks to the box width (breaking words that do not
// fit on a line of their own, never inside a UTF-8 character) and lowers
// the font size, down to a floor, until the lines fit the box height.
FittedText fitText(std::string_view text, double boxWidth, double boxHeight, double fontSize,
                   text::Charset encoding = text::Charset::Latin1);

}  // namespace drawing
