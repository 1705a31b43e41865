// Where the lines of a roll go on the pages of a host printer: two columns a page, line
// size and margins from the printer's resolution. Pure arithmetic; the window draws.
#pragma once

#include <vector>

namespace mira::devices {

struct PrintLayout {
    int pageWidth = 0;   // printable area, device pixels
    int pageHeight = 0;
    int margin = 0;      // 3/4 inch
    int lineHeight = 0;  // margin / 5
    int lineWidth = 0;   // half the width between the margins, less two line heights
    int pitch = 0;       // 1.3 line heights
};

// dpi: the printer's horizontal resolution. Nearest integers round halves away from zero.
PrintLayout printLayout(int dpi, int pageWidth, int pageHeight);

struct PrintPlace {
    int page = 0;  // from 0
    int x = 0;
    int y = 0;
};

// The top-left corner of each of `lines` lines: down the first column from the top
// margin, then the second column at half the page width, then a new page. A column ends
// when the next place would lie below the bottom margin.
std::vector<PrintPlace> placePrintLines(const PrintLayout& layout, int lines);
int printPageCount(const PrintLayout& layout, int lines);

}  // namespace mira::devices
