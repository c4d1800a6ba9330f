// The line that runs through the scroller at the bottom of the screen.
#pragma once

// 899 upper-case characters and no newline: 80 blanks first, a whole line of them, so that
// the text scrolls in from the right edge; then sections parted by runs of blanks, and 37
// blanks at the end, so that the screen runs empty before the text comes round again.
extern const char scroll_text[];
