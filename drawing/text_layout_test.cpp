#include "drawing/text_layout.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>

namespace drawing {
namespace {

TEST(TextLayout, NumbersAndEscaping) {
  EXPECT_EQ(formatNumber(1.5), "1.5");
  EXPECT_EQ(formatNumber(2.0), "2");
  EXPECT_EQ(formatNumber(-0.00001), "0");
  EXPECT_EQ(formatNumber(1.0 / 12.0), "0.0833");
  EXPECT_EQ(formatNumber(0.125, 2), "0.12");  // a tie: the exact value's rounding, to even
  EXPECT_EQ(formatNumber(-1234.56789), "-1234.5679");
  EXPECT_EQ(formatNumber(3e12, 1), "3000000000000");
  EXPECT_EQ(formatNumber(3e12, 0), "3000000000000");
  // The quick integer path gives what exact decimal rounding gives.
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    const double magnitude = std::pow(10.0, static_cast<double>(random() % 12) - 4.0);
    const double value = (static_cast<double>(random() % 2000001) - 1000000.0) / 1000000.0 * magnitude;
    const int decimals = static_cast<int>(random() % 5);
    char exact[400];
    const auto printed = std::to_chars(exact, exact + sizeof exact, value, std::chars_format::fixed, decimals);
    std::string expected(exact, printed.ptr);
    if (expected.find('.') != std::string::npos) {
      while (expected.back() == '0') expected.pop_back();
      if (expected.back() == '.') expected.pop_back();
    }
    if (expected == "-0") expected = "0";
    ASSERT_EQ(formatNumber(value, decimals), expected) << value << " to " << decimals;
  }
  EXPECT_EQ(escapeXml("a\"b&c'd<e>f"), "a&quot;b&amp;c&apos;d&lt;e&gt;f");
  // Latin-1 bytes pass; line breaks survive in attributes; other controls
  // cannot be carried by XML.
  EXPECT_EQ(escapeXml("caf\xe9\xff\n\t\x01"), "caf\xe9\xff&#10;&#9;?");
}

TEST(TextLayout, LineBreakEscapesAndWrapping) {
  EXPECT_EQ(displayLines("a\\nb\\lc\\l"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(displayLines("x\\\\n"), (std::vector<std::string>{"x\\n"}));
  EXPECT_EQ(displayLines("one\ntwo"), (std::vector<std::string>{"one", "two"}));

  const FittedText short_ = fitText("i = 0", 1.5, 0.5, 10);
  EXPECT_EQ(short_.lines, (std::vector<std::string>{"i = 0"}));
  EXPECT_DOUBLE_EQ(short_.fontSize, 10);

  const FittedText wrapped = fitText("System.out.println(total) ; return total", 1.2, 2.0, 10);
  ASSERT_GT(wrapped.lines.size(), 1u);
  for (const std::string& line : wrapped.lines) EXPECT_LE(textWidth(line, 10), 1.2) << line;

  // A word a little too wide for the box is kept whole in a smaller font;
  // one that would need less than three quarters of the size is broken.
  const FittedText name = fitText("inventory:Inventory", 1.3, 0.5, 10);
  EXPECT_EQ(name.lines, (std::vector<std::string>{"inventory:Inventory"}));
  EXPECT_LT(name.fontSize, 10);
  EXPECT_GE(name.fontSize, 7.5);
  const FittedText longName = fitText("exception:IllegalArgumentException", 1.3, 0.5, 10);
  EXPECT_EQ(longName.fontSize, 10);
  EXPECT_GT(longName.lines.size(), 1u);

  // Too much text for the box: the font shrinks, but not below 6 points.
  const FittedText crowded = fitText(std::string(400, 'x'), 1.0, 0.3, 10);
  EXPECT_DOUBLE_EQ(crowded.fontSize, 6);
}

// Wrapping as it was first written: every candidate line measured whole.
// Quadratic in the length of a long word, but plainly right.
std::vector<std::string> wrapLineByMeasuring(const std::string& line, double width, double fontSize) {
  std::vector<std::string> out;
  std::string current;
  auto flush = [&] {
    if (!current.empty()) out.push_back(current), current.clear();
  };
  size_t i = 0;
  while (i < line.size()) {
    size_t j = line.find(' ', i);
    if (j == std::string::npos) j = line.size();
    std::string word = line.substr(i, j - i);
    i = j + 1;
    if (word.empty()) continue;
    std::string joined = current;
    if (!joined.empty()) joined += ' ';
    joined += word;
    if (textWidth(joined, fontSize) <= width) {
      current = joined;
      continue;
    }
    flush();
    while (textWidth(word, fontSize) > width && word.size() > 1) {
      size_t cut = 1;
      while (cut < word.size() && textWidth(word.substr(0, cut + 1), fontSize) <= width) ++cut;
      out.push_back(word.substr(0, cut));
      word = word.substr(cut);
    }
    current = word;
  }
  flush();
  if (out.empty()) out.emplace_back();
  return out;
}

TEST(TextLayout, WrappingBreaksWhereMeasuringEveryCandidateWould) {
  std::mt19937 random(13);
  const std::string letters = "aimwMW il.()ABZ    x";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double widths[] = {0.0, 0.05, 0.4, 1.0, 1.5, 3.7, 100.0, -1.0, nan};
  const double sizes[] = {10.0, 8.5, 6.0, 14.0, 0.0, -5.0, 1e300};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % (round < 250 ? 80 : 2000));
    for (int k = 0; k < length; ++k) text += letters[random() % letters.size()];
    for (double width : widths)
      for (double size : sizes) {
        const FittedText fitted = fitText(text, width, 1e9, size);
        ASSERT_EQ(fitted.lines, wrapLineByMeasuring(text, width, fitted.fontSize))
            << "text \"" << text << "\" width " << width << " size " << size;
      }
  }
}

TEST(TextLayout, OneLongWordIsBrokenIntoPiecesThatFit) {
  // 300,000 characters: each piece fills the box, and the pieces give
  // the word back whole.
  const std::string word(300000, 'w');
  const FittedText fitted = fitText(word, 1.5, 1e9, 10);
  ASSERT_GT(fitted.lines.size(), 1000u);
  std::string joined;
  for (const std::string& line : fitted.lines) {
    EXPECT_LE(textWidth(line, 10), 1.5);
    joined += line;
  }
  EXPECT_EQ(joined, word);
  EXPECT_EQ(fitted.lines.front(), wrapLineByMeasuring(word.substr(0, 100), 1.5, 10).front());
  // A font size too large to step down ends too.
  EXPECT_DOUBLE_EQ(fitText("a b", 1.0, 0.1, 1e300).fontSize, 1e300);
}

}  // namespace
}  // namespace drawing

namespace {

// In UTF-8 a character of several bytes is measured once and a long word
// is never broken inside one; in ISO-8859-1 every byte is a character.
TEST(TextLayoutUtf8, MeasuresCharactersAndBreaksBetweenThem) {
  const std::string e = "\xC3\xA9";  // é
  std::string word;
  for (int i = 0; i < 40; ++i) word += e;
  EXPECT_DOUBLE_EQ(drawing::textWidth(word, 10.0, text::Charset::Utf8), 40 * 0.6 * 10.0 / 72.0);
  EXPECT_DOUBLE_EQ(drawing::textWidth("\xE4\xB8\xAD", 10.0, text::Charset::Utf8), 10.0 / 72.0);
  EXPECT_GT(drawing::textWidth(word, 10.0), drawing::textWidth(word, 10.0, text::Charset::Utf8));

  const drawing::FittedText fitted = drawing::fitText(word, 1.0, 10.0, 10.0, text::Charset::Utf8);
  ASSERT_GT(fitted.lines.size(), 1u);
  std::string joined;
  for (const std::string& line : fitted.lines) {
    EXPECT_EQ(line.size() % 2, 0u) << "a character was cut: " << line;
    EXPECT_EQ(static_cast<unsigned char>(line[0]), 0xC3);
    EXPECT_LE(drawing::textWidth(line, fitted.fontSize, text::Charset::Utf8), 1.0);
    joined += line;
  }
  EXPECT_EQ(joined, word);
}

}  // namespace
