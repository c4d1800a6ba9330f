// The line that runs through the scroller at the bottom of the screen.
#pragma once

// 899 upper-case characters and no newline: sections parted by runs of blanks, and 37
// blanks at the end, so that the screen runs empty before the text comes round again.
extern const char scroll_text[];
