#include "print_layout.h"

#include <cmath>

namespace mira::devices {

PrintLayout printLayout(int dpi, int pageWidth, int pageHeight) {
    PrintLayout l;
    l.pageWidth = pageWidth;
    l.pageHeight = pageHeight;
    l.margin = static_cast<int>(std::lround(3.0 * dpi / 4.0));
    l.lineHeight = l.margin / 5;
    l.lineWidth = (pageWidth - 2 * l.margin) / 2 - 2 * l.lineHeight;
    l.pitch = static_cast<int>(std::lround(1.3 * l.lineHeight));
    return l;
}

std::vector<PrintPlace> placePrintLines(const PrintLayout& layout, int lines) {
    std::vector<PrintPlace> places;
    if (lines <= 0) return places;
    places.reserve(static_cast<size_t>(lines));
    int page = 0, column = 0, y = layout.margin;
    for (int i = 0; i < lines; ++i) {
        places.push_back({page, column == 0 ? layout.margin : layout.pageWidth / 2, y});
        y += layout.pitch;
        // A zero pitch (a resolution below 4 dpi) still moves on, one line a column.
        if (y > layout.pageHeight - layout.margin || layout.pitch <= 0) {
            y = layout.margin;
            if (column == 0) {
                column = 1;
            } else {
                column = 0;
                ++page;
            }
        }
    }
    return places;
}

int printPageCount(const PrintLayout& layout, int lines) {
    const auto places = placePrintLines(layout, lines);
    return places.empty() ? 0 : places.back().page + 1;
}

}  // namespace mira::devices
