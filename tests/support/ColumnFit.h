#pragma once

#include <QAbstractItemView>
#include <QHeaderView>
#include <QString>
#include <QStyle>

// What a column needs so that a text in it is read whole: the text's width in the font it is
// drawn with, and the margins the style draws around it.
inline int HeaderTextNeeds(const QHeaderView* header, int section) {
    const QString text = header->model()->headerData(section, header->orientation()).toString();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    return header->fontMetrics().horizontalAdvance(text) + 2 * margin;
}

inline int CellTextNeeds(const QAbstractItemView* view, const QString& text) {
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return view->fontMetrics().horizontalAdvance(text) + 2 * margin;
}
