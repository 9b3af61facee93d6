#include "protocol/CStoreListDlg.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CancelCommand.h"
#include "protocol/StoreCommandRun.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

// A failure reason can outgrow its column: the tooltip holds the whole text.
QTableWidgetItem* textItem(const QString& text) {
    auto* item = new QTableWidgetItem(VisibleText::shown(text));
    item->setToolTip(VisibleText::toolTip(text));
    return item;
}

} // namespace

CStoreListDlg::CStoreListDlg(Form form, const CommandContext& context, QWidget* parent)
    : QDialog(parent), m_form(form), m_cancel(std::make_unique<StoreCommandRun>(context)) {
    setObjectName(QStringLiteral("storeListDlg"));
    m_list = new QTableWidget(this);
    m_list->setObjectName(QStringLiteral("storeTable"));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(false);
    // The last column (file size, status or cancel result) takes what room is left.
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_cancelButton = new QPushButton(CatalogText(msg::ButtonCancelTransmit), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelTransmitButton"));
    m_stop = new QPushButton(CatalogText(msg::ButtonStop), this);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setAutoDefault(false);
    m_stop->setEnabled(false);
    auto* close = new QPushButton(CatalogText(msg::ButtonClose), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, &CStoreListDlg::OnCancelTransmit);
    connect(m_stop, &QPushButton::clicked, this, &CStoreListDlg::stopCancel);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel.get(), &StoreCommandRun::stepFinished, this, [this](int index, const QVariant& outcome) {
        const auto c = outcome.value<StoreCancel>();
        // The state just asked is newer than the one the form opened with.
        setStateText(index, c.state.text);
        setCancelText(index, c.outcome.text);
        m_list->resizeColumnToContents(1);
        m_nextCancelRow = index + 1;
    });
    connect(m_cancel.get(), &StoreCommandRun::finished, this, &CStoreListDlg::cancelEnded);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_stop);
    buttons->addWidget(close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_list);
    column->addLayout(buttons);
    resize(560, 230);
}

// The run goes first: its thread is told to stop and waited for, a fraction of a second.
CStoreListDlg::~CStoreListDlg() {
    m_cancel.reset();
}

void CStoreListDlg::setStoreText(int store, const QString& first, const QString& second) {
    if (store < 1 || store > 4) {
        return;
    }
    m_texts[static_cast<size_t>(2 * (store - 1))] = first;
    m_texts[static_cast<size_t>(2 * (store - 1) + 1)] = second;
}

void CStoreListDlg::setUp() {
    m_list->clear();
    m_list->setRowCount(0);
    QStringList headers{CatalogText(msg::LabelStoreNo)};
    QList<int> widths{80};
    if (m_form == Information) {
        headers << CatalogText(msg::ColumnFileName) << CatalogText(msg::ColumnSize);
        widths << 120 << 100;
        setWindowTitle(CatalogText(msg::StoreInfoDlgTitle, {VisibleText::shown(m_label)}));
    } else {
        headers << CatalogText(msg::ColumnStatus);
        widths << 120;
        setWindowTitle(CatalogText(msg::StoreStateDlgTitle, {VisibleText::shown(m_label)}));
    }
    m_list->setColumnCount(static_cast<int>(headers.size()));
    m_list->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < widths.size(); ++c) {
        m_list->setColumnWidth(c, widths[c]);
    }
    m_list->setRowCount(4);
    for (int row = 0; row < 4; ++row) {
        m_list->setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
        m_list->setItem(row, 1, textItem(m_texts[static_cast<size_t>(2 * row)]));
        if (m_form == Information) {
            m_list->setItem(row, 2, textItem(m_texts[static_cast<size_t>(2 * row + 1)]));
        }
    }
    // Widened, never narrowed, to the texts and headers of the columns before the last.
    for (int c = 0; c + 1 < m_list->columnCount(); ++c) {
        m_list->setColumnWidth(c, qMax(m_list->columnWidth(c),
                                       static_cast<const QAbstractItemView*>(m_list)->sizeHintForColumn(c)));
        m_list->setColumnWidth(c,
                               qMax(m_list->columnWidth(c), m_list->horizontalHeader()->sectionSizeHint(c)));
    }
    m_cancelButton->setVisible(m_form == Status);
    m_stop->setVisible(m_form == Status);
    m_list->setAccessibleName(windowTitle());
}

void CStoreListDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        setUp();
    }
    QDialog::showEvent(event);
}

void CStoreListDlg::OnCancelTransmit() {
    if (m_cancel->isRunning()) {
        return;
    }
    if (m_list->columnCount() < 3) {
        m_list->setColumnCount(3);
        m_list->setHorizontalHeaderItem(2, new QTableWidgetItem(CatalogText(msg::ColumnCancelResult)));
        m_list->setColumnWidth(2, 120);
    }
    QList<StoreCommandRun::Step> steps;
    for (int store = 1; store <= 4; ++store) {
        setCancelText(store - 1, QString());
        // Only a store whose state shows a transmission gets a CANCEL.
        steps.append([store, target = m_target](const CommandContext& context) {
            return QVariant::fromValue(CancelStoreIfRunning(store, target, context));
        });
    }
    m_nextCancelRow = 0;
    if (m_cancel->start(steps)) {
        showCancelling(true);
    }
}

void CStoreListDlg::stopCancel() {
    m_cancel->stop();
    m_stop->setEnabled(false);
}

bool CStoreListDlg::isCancelling() const {
    return m_cancel->isRunning();
}

void CStoreListDlg::setCancelText(int row, const QString& text) {
    m_list->setItem(row, 2, textItem(text));
}

void CStoreListDlg::setStateText(int row, const QString& text) {
    if (m_form == Status) {
        m_list->setItem(row, 1, textItem(text));
    }
}

void CStoreListDlg::showCancelling(bool cancelling) {
    m_cancelButton->setEnabled(!cancelling);
    m_stop->setEnabled(cancelling);
    if (cancelling) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void CStoreListDlg::cancelEnded(bool stopped) {
    if (stopped) {
        for (int row = m_nextCancelRow; row < 4; ++row) {
            setCancelText(row, CatalogText(msg::StoreCommandStopped));
        }
    }
    showCancelling(false);
    Q_EMIT cancelFinished(stopped);
    if (const std::optional<int> result = std::exchange(m_closeWith, std::nullopt)) {
        QDialog::done(*result);
    }
}

void CStoreListDlg::done(int result) {
    if (m_cancel->isRunning()) {
        m_closeWith = result;
        stopCancel();
        return;
    }
    QDialog::done(result);
}
