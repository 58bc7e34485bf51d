#include "molvex/ui/console_canvas.h"

#include <algorithm>
#include <cstring>

TConsoleCanvas::TConsoleCanvas(int columns, int rows)
    : columns_(std::max(columns, 0)),
      rows_(std::max(rows, 0)),
      cells_(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), ' '),
      highlighted_(static_cast<size_t>(rows_), 0) {}

void TConsoleCanvas::Fill(uint32_t) {
  std::fill(cells_.begin(), cells_.end(), ' ');
  std::fill(highlighted_.begin(), highlighted_.end(), 0);
}

bool TConsoleCanvas::IsHighLighted(int row) const {
  return row >= 0 && row < rows_ && highlighted_[static_cast<size_t>(row)] != 0;
}

std::string_view TConsoleCanvas::Row(int row) const {
  if (row < 0 || row >= rows_) return {};
  return std::string_view(reinterpret_cast<const char*>(cells_.data()) + static_cast<size_t>(row) * columns_,
                          static_cast<size_t>(columns_));
}

void TConsoleCanvas::DrawText(int col, int row, int width, const char* text, int length, unsigned flags) {
  if (col < 0 || row < 0 || width < 0 || col >= columns_ || row >= rows_ || width > columns_) return;
  int n = std::min(width, columns_ - col);
  uint8_t* field = cells_.data() + static_cast<size_t>(row) * columns_ + col;
  std::fill(field, field + n, ' ');
  int m = 0;
  if (text != nullptr && length > 0) m = static_cast<int>(strnlen(text, static_cast<size_t>(std::min(length, n))));
  int pad = 0;
  if (flags & kDrawCentre) {
    pad = (n - m) / 2;
  } else if (flags & kDrawRight) {
    pad = n - m;
  }
  if ((flags & kDrawCentre) && (flags & kDrawBrackets) && pad >= 2) {
    field[0] = '[';
    field[n - 1] = ']';
  }
  if (flags & kDrawHighlight) highlighted_[static_cast<size_t>(row)] = 1;
  if (m > 0) std::memcpy(field + pad, text, static_cast<size_t>(m));
}
