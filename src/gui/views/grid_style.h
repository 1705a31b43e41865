// The look the debug views' grids share: fixed-pitch font, 20-pixel rows, no own bars.
#pragma once

#include <QFont>
#include <QHeaderView>
#include <QTableView>

namespace mira::gui {

inline constexpr int kGridRowHeight = 20;

inline QFont gridFont() {
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(13);
    return f;
}

inline void styleGrid(QTableView* g) {
    g->setFont(gridFont());
    g->verticalHeader()->setVisible(false);
    g->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    g->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
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

}  // namespace mira::gui
