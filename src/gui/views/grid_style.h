// The look the debug views' grids share: fixed-pitch font, 20-pixel rows, no own bars.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>

namespace mira::gui {

inline constexpr int kGridRowHeight = 20;

inline QFont gridFont() {
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(13);
    return f;
}

// Rows are 20 pixels, or taller when a font does not fit in that.
inline int rowHeightFor(const QFont& f) {
    return std::max(kGridRowHeight, QFontMetrics(f).height() + 2);
}

inline void styleGrid(QTableView* g) {
    g->setFont(gridFont());
    g->verticalHeader()->setVisible(false);
    g->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The header's own minimum follows its font and style margins (22 pixels on a desktop)
    // and would override the row height; the grid font fits 20 pixels.
    g->verticalHeader()->setMinimumSectionSize(1);
    g->verticalHeader()->setDefaultSectionSize(rowHeightFor(g->font()));
    g->horizontalHeader()->setVisible(false);
    g->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    g->horizontalHeader()->setHighlightSections(false);
    g->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setWordWrap(false);
    g->setFocusPolicy(Qt::NoFocus);
}

// The height every row of `g` really has.
inline int gridRowHeight(const QTableView* g) {
    return std::max(1, g->verticalHeader()->defaultSectionSize());
}

}  // namespace mira::gui
