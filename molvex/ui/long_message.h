// Lays a long text out over a number of rows of a given width, breaking
// at line ends, blanks and punctuation; when the text does not fit, its
// last lines are shown.
#pragma once

#include <cstddef>
#include <functional>

// Receives one line: its number (first_line, then one more per line) and
// its text, which is not zero-terminated.
using LongMessageDraw = std::function<void(int line, const char* text, size_t length)>;

extern "C" {
// Length of the portion of text that fits on one line of columns characters.
size_t auxGetDspPortion(const char* text, int columns);
}

// alignment: 1 right, 2 centred, anything else left. A columns or rows
// value of 0 counts as 1. Answers the number of lines drawn.
int auxDoDisplayLongMessage(int alignment, int columns, int rows, const char* text, int first_line,
                            const LongMessageDraw& draw);
