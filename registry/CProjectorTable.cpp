#include "registry/CProjectorTable.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QShowEvent>

#include <algorithm>

CProjectorTable::CProjectorTable(QWidget* parent) : QTableWidget(0, 3, parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(false);
    setHorizontalHeaderLabels({CatalogText(msg::ColumnProjectorName), CatalogText(msg::ColumnMacAddress),
                               CatalogText(msg::ColumnIpAddress)});
    setMinimumSize(432, 180);
}

void CProjectorTable::FillProjectorList(const ProjectorList& list) {
    clearContents();
    setRowCount(0);
    setRowCount(static_cast<int>(list.size()));
    for (int row = 0; row < list.size(); ++row) {
        const ProjectorRecord& r = list[row];
        setItem(row, 0, new QTableWidgetItem(VisibleText::shown(r.name)));
        setItem(row, 1, new QTableWidgetItem(r.mac));
        setItem(row, 2, new QTableWidgetItem(Ipv4::toText(r.address)));
    }
}

void CProjectorTable::setColumnWidthsFor(int clientWidth) {
    const int sixteenth = clientWidth / 16;
    setColumnWidth(0, sixteenth * 7);
    setColumnWidth(1, sixteenth * 5);
    setColumnWidth(2, sixteenth * 4);
}

QList<int> CProjectorTable::selectedRowsTopDown() const {
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) {
        rows << i.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CProjectorTable::showEvent(QShowEvent* event) {
    QTableWidget::showEvent(event);
    // The client width is known only once the dialog is laid out for its first showing.
    if (!m_widthsSet) {
        m_widthsSet = true;
        setColumnWidthsFor(viewport()->width());
    }
}

void CProjectorTable::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        Q_EMIT listClicked();
    }
}
