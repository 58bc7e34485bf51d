// The character canvas of the console: one cp866 byte per cell and a
// highlight flag per row. Screens lay out in the platform's pixels; one
// cell is 6 by 8 of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "molvex/ui/ui_interfaces.h"

constexpr int MAX_TARN_DISPLAY_WIDTH = 174;
constexpr int MAX_TARN_DISPLAY_HEIGHT = 88;
constexpr int kConsoleCellWidth = 6;
constexpr int kConsoleCellHeight = 8;
constexpr int kConsoleColumns = MAX_TARN_DISPLAY_WIDTH / kConsoleCellWidth;  // 29
constexpr int kConsoleRows = MAX_TARN_DISPLAY_HEIGHT / kConsoleCellHeight;   // 11

enum DrawTextFlags : unsigned {
  kDrawCentre = 0x01,
  kDrawRight = 0x02,
  kDrawBrackets = 0x04,  // with kDrawCentre
  kDrawHighlight = 0x08,
};

class TConsoleCanvas : public ICanvas {
 public:
  TConsoleCanvas(int columns, int rows);

  int GetWidth() const override { return columns_; }
  int GetHeight() const override { return rows_; }
  // The console has no pixels: they are ignored and read as 0.
  void TSetPixel(int, int, uint32_t) override {}
  uint32_t TGetPixel(int, int) const override { return 0; }
  // Whatever the colour: all cells blank, no row highlighted.
  void Fill(uint32_t colour) override;
  const uint8_t* GetRawData() const override { return cells_.data(); }
  size_t GetRawSize() const override { return cells_.size(); }

  static int PixelsToCols(int pixels) { return pixels / kConsoleCellWidth; }
  static int PixelsToRows(int pixels) { return pixels / kConsoleCellHeight; }
  bool IsHighLighted(int row) const;
  // Writes length characters of text into a field of width cells at (col, row).
  void DrawText(int col, int row, int width, const char* text, int length, unsigned flags);

  // The cells of one row (empty outside the canvas).
  std::string_view Row(int row) const;

 private:
  int columns_;
  int rows_;
  std::vector<uint8_t> cells_;
  std::vector<uint8_t> highlighted_;
};
