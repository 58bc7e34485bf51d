#include "molvex/ui/console_canvas.h"

#include <gtest/gtest.h>

#include <string>

#include "molvex/ui/long_message.h"

namespace {

std::string Row(const TConsoleCanvas& canvas, int row) { return std::string(canvas.Row(row)); }

struct DrawCase {
  const char* what;
  int col, width;
  const char* text;
  int length;
  unsigned flags;
  std::string row;  // the first 12 cells of row 0 of a 12-column canvas
};

TEST(ConsoleCanvas, DrawText) {
  const DrawCase cases[] = {
      {"button in 10 columns", 0, 10, "OK", 2, 0x05, "[   OK   ]  "},
      {"button in 5 columns: no brackets", 0, 5, "OK", 2, 0x05, " OK         "},
      {"centred 3 in 8", 1, 8, "abc", 3, 0x01, "   abc      "},
      {"right-aligned", 0, 6, "ab", 2, 0x02, "    ab      "},
      {"left", 2, 6, "ab", 2, 0x00, "  ab        "},
      {"cut at the field's end", 0, 4, "abcdefgh", 8, 0x00, "abcd        "},
      {"cut at the right edge", 9, 3, "abcdefgh", 8, 0x00, "         abc"},
      {"right-aligned, cut at the edge", 10, 5, "abcdefgh", 8, 0x02, "          ab"},
      {"length stops at the terminator", 0, 6, "ab", 9, 0x02, "    ab      "},
      {"length shorter than the text", 0, 6, "abcdef", 2, 0x00, "ab          "},
  };
  for (const DrawCase& c : cases) {
    SCOPED_TRACE(c.what);
    TConsoleCanvas canvas(12, 3);
    canvas.DrawText(c.col, 0, c.width, c.text, c.length, c.flags);
    EXPECT_EQ(Row(canvas, 0), c.row);
  }
}

TEST(ConsoleCanvas, RefusedFieldsAndHighlight) {
  TConsoleCanvas canvas(12, 3);
  canvas.DrawText(-1, 0, 3, "abc", 3, 0x08);
  canvas.DrawText(0, -1, 3, "abc", 3, 0x08);
  canvas.DrawText(0, 0, -1, "abc", 3, 0x08);
  canvas.DrawText(12, 0, 3, "abc", 3, 0x08);
  canvas.DrawText(0, 3, 3, "abc", 3, 0x08);
  canvas.DrawText(0, 0, 13, "abc", 3, 0x08);
  for (int row = 0; row < 3; ++row) EXPECT_FALSE(canvas.IsHighLighted(row));
  EXPECT_EQ(Row(canvas, 0), std::string(12, ' '));
  EXPECT_FALSE(canvas.IsHighLighted(-1));
  EXPECT_FALSE(canvas.IsHighLighted(3));

  canvas.DrawText(0, 0, 3, nullptr, 0, 0x08);
  canvas.DrawText(2, 1, 4, "xy", 2, 0x08);
  EXPECT_TRUE(canvas.IsHighLighted(1));
  EXPECT_EQ(Row(canvas, 1), "  xy        ");
  canvas.Fill(0x000000);
  EXPECT_FALSE(canvas.IsHighLighted(1));
  EXPECT_EQ(Row(canvas, 1), std::string(12, ' '));
  EXPECT_EQ(canvas.GetRawSize(), 36u);
  EXPECT_EQ(canvas.TGetPixel(1, 1), 0u);
  EXPECT_EQ(TConsoleCanvas::PixelsToCols(174), 29);
  EXPECT_EQ(TConsoleCanvas::PixelsToRows(87), 10);
}

struct LayoutCase {
  const char* what;
  int alignment, columns, rows;
  const char* text;
  std::vector<std::string> lines;
};

TEST(LongMessage, Layout) {
  const LayoutCase cases[] = {
      {"three lines in two rows show the last two", 0, 10, 2, "one\r\ntwo\r\nthree", {"two", "three"}},
      {"breaks after a blank", 0, 10, 3, "hello big world", {"hello big", "world"}},
      {"punctuation ends a portion and stays", 0, 6, 3, "abc,defghij", {"abc,", "defghi", "j"}},
      {"a word longer than the width is cut", 0, 4, 3, "abcdefghij", {"abcd", "efgh", "ij"}},
      {"right-aligned", 1, 6, 2, "ab", {"    ab"}},
      {"centred", 2, 7, 2, "ab", {"  ab   "}},
      {"blank lines count", 0, 5, 4, "a\r\n\r\nb", {"a", "", "b"}},
      {"a line end at the end adds no line", 0, 5, 4, "a\r\n", {"a"}},
      {"lone line feeds break too", 0, 5, 4, "a\nb", {"a", "b"}},
      {"zero columns and rows count as one", 0, 0, 0, "ab", {"b"}},
      {"empty", 0, 5, 2, "", {}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines;
    std::vector<int> numbers;
    int drawn = auxDoDisplayLongMessage(c.alignment, c.columns, c.rows, c.text, 3,
                                        [&](int line, const char* text, size_t length) {
                                          numbers.push_back(line);
                                          lines.emplace_back(text, length);
                                        });
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(drawn, static_cast<int>(c.lines.size()));
    for (size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<int>(3 + i));
  }
}

TEST(LongMessage, PortionBelongsUpToWidthPlusOne) {
  // The character just past the width may end the portion; the layout then drops it.
  EXPECT_EQ(auxGetDspPortion("abcde fgh", 5), 6u);
  EXPECT_EQ(auxGetDspPortion("abcde,fgh", 5), 6u);
  EXPECT_EQ(auxGetDspPortion("abcdefgh", 5), 5u);
  EXPECT_EQ(auxGetDspPortion("ab\rcd", 5), 2u);
  EXPECT_EQ(auxGetDspPortion(nullptr, 5), 0u);
}

}  // namespace
