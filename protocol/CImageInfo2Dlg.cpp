#include "protocol/CImageInfo2Dlg.h"

#include "common/OffThread.h"
#include "i18n/CLocalise.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CImageInfo2Dlg::CImageInfo2Dlg(Form form, CancelRun cancel, QWidget* parent)
    : QDialog(parent), m_form(form), m_cancel(std::move(cancel)) {
    setObjectName(QStringLiteral("dlg153"));
    m_list = new QTableWidget(this);
    m_list->setObjectName(QStringLiteral("list1069"));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(false);
    m_cancelButton = new QPushButton(QStringLiteral("242;Cancel Transmit"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancel1017"));
    auto* close = new QPushButton(QStringLiteral("18;Close"), this);
    close->setObjectName(QStringLiteral("button1"));
    close->setDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, &CImageInfo2Dlg::OnCancelTransmit);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_list);
    column->addLayout(buttons);
    LocaliseDialog(9, this);
    m_list->setAccessibleName(QStringLiteral("list1069"));
    resize(420, 230);
}

void CImageInfo2Dlg::setStoreText(int store, const QString& first, const QString& second) {
    if (store < 1 || store > 4) {
        return;
    }
    m_texts[static_cast<size_t>(2 * (store - 1))] = first;
    m_texts[static_cast<size_t>(2 * (store - 1) + 1)] = second;
}

void CImageInfo2Dlg::setUp() {
    m_list->clear();
    m_list->setRowCount(0);
    QStringList headers{CatalogText(msg::LabelStoreNo)};
    QList<int> widths{80};
    if (m_form == Information) {
        headers << CatalogText(msg::ColumnFileName) << CatalogText(msg::ColumnSize);
        widths << 120 << 100;
        setWindowTitle(CatalogText(msg::StoreInfoDlgTitle, {m_label}));
    } else {
        headers << CatalogText(msg::ColumnStatus);
        widths << 120;
        setWindowTitle(CatalogText(msg::StoreStateDlgTitle, {m_label}));
    }
    m_list->setColumnCount(static_cast<int>(headers.size()));
    m_list->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < widths.size(); ++c) {
        m_list->setColumnWidth(c, widths[c]);
    }
    m_list->setRowCount(4);
    for (int row = 0; row < 4; ++row) {
        m_list->setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
        m_list->setItem(row, 1, new QTableWidgetItem(m_texts[static_cast<size_t>(2 * row)]));
        if (m_form == Information) {
            m_list->setItem(row, 2, new QTableWidgetItem(m_texts[static_cast<size_t>(2 * row + 1)]));
        }
    }
    m_cancelButton->setVisible(m_form == Status);
    m_list->setAccessibleName(windowTitle());
}

int CImageInfo2Dlg::exec() {
    setUp();
    return QDialog::exec();
}

void CImageInfo2Dlg::OnCancelTransmit() {
    if (m_list->columnCount() < 3) {
        m_list->setColumnCount(3);
        m_list->setHorizontalHeaderItem(2, new QTableWidgetItem(CatalogText(msg::ColumnCancelResult)));
        m_list->setColumnWidth(2, 120);
    }
    if (!m_cancel) {
        return;
    }
    m_cancelButton->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int store = 1; store <= 4; ++store) {
        const CommandTarget target = m_target;
        const StoreText outcome = RunOffThread([&] { return m_cancel(store, target); });
        m_list->setItem(store - 1, 2, new QTableWidgetItem(outcome.text));
    }
    QApplication::restoreOverrideCursor();
    m_cancelButton->setEnabled(true);
}
