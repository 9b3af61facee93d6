#include "alerts/CAlertsDlg.h"

#include "alerts/AlertCenter.h"
#include "alerts/AlertText.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString timeText(const QDateTime& at) {
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString withoutMnemonic(QString text) {
    return text.remove(QLatin1Char('&'));
}

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

CAlertsDlg::CAlertsDlg(AlertCenter& alerts, Board board, QWidget* parent)
    : QDialog(parent), m_alerts(alerts), m_board(std::move(board)) {
    setObjectName(QStringLiteral("alertsDialog"));
    setWindowTitle(CatalogText(msg::AlertsTitle));

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("alertsTable"));
    m_table->setAccessibleName(CatalogText(msg::AlertsTableName));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false); // Tab leaves the list for the controls below
    m_table->verticalHeader()->hide();
    m_table->setHorizontalHeaderLabels(
        {CatalogText(msg::AlertsColumnTime), CatalogText(msg::AlertsColumnProjector),
         CatalogText(msg::AlertsColumnWhat), CatalogText(msg::AlertsColumnCleared)});
    m_table->horizontalHeader()->setSectionResizeMode(WhatColumn, QHeaderView::Stretch);
    m_table->setColumnWidth(TimeColumn, 150);
    m_table->setColumnWidth(ProjectorColumn, 130);
    m_table->setColumnWidth(ClearedColumn, 150);

    auto* silenceLabel = new QLabel(CatalogText(msg::AlertsSilenceLabel), this);
    m_seconds = new QSpinBox(this);
    m_seconds->setObjectName(QStringLiteral("alertSeconds"));
    m_seconds->setRange(AlertCenter::kMinAlertSeconds, AlertCenter::kMaxAlertSeconds);
    m_seconds->setSingleStep(30);
    m_seconds->setSuffix(QLatin1Char(' ') + CatalogText(msg::AlertsSecondsSuffix));
    m_seconds->setAccessibleName(CatalogText(msg::AlertsSilenceName));
    m_seconds->setValue(m_alerts.alertSeconds());
    silenceLabel->setBuddy(m_seconds);
    connect(m_seconds, &QSpinBox::valueChanged, this,
            [this](int seconds) { m_alerts.setAlertSeconds(seconds); });

    m_boardNote = new QLabel(this);
    m_boardNote->setObjectName(QStringLiteral("alertsBoardNote"));
    m_boardNote->setTextFormat(Qt::PlainText);
    m_boardNote->setWordWrap(true);
    m_turnOn = new QPushButton(CatalogText(msg::AlertsTurnOnRefresh), this);
    m_turnOn->setObjectName(QStringLiteral("alertsTurnOnRefresh"));
    m_turnOn->setAccessibleName(withoutMnemonic(m_turnOn->text()));
    connect(m_turnOn, &QPushButton::clicked, this, [this] {
        if (m_board.turnOn) {
            m_board.turnOn();
        }
        showBoardState();
    });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(CatalogText(msg::AlertsClose), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("alertsClose"));
    close->setAccessibleName(withoutMnemonic(close->text()));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* silence = new QHBoxLayout;
    silence->addWidget(silenceLabel);
    silence->addWidget(m_seconds);
    silence->addStretch(1);
    auto* boardRow = new QHBoxLayout;
    boardRow->addWidget(m_boardNote, 1);
    boardRow->addWidget(m_turnOn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(silence);
    layout->addLayout(boardRow);
    layout->addWidget(buttons);
    resize(720, 380);

    connect(&m_alerts, &AlertCenter::alertRaised, this, &CAlertsDlg::addAlert);
    connect(&m_alerts, &AlertCenter::alertCleared, this, &CAlertsDlg::showCleared);
    fill();
    showBoardState();
}

void CAlertsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    showBoardState(); // the board's box may have changed while this was hidden
    m_table->setFocus();
}

void CAlertsDlg::showBoardState() {
    const int minutes = m_board.minutes ? m_board.minutes() : 0;
    if (minutes > 0) {
        m_boardNote->setText(CatalogText(msg::AlertsBoardOn, {QString::number(minutes)}));
    } else {
        m_boardNote->setText(CatalogText(msg::AlertsBoardOff));
    }
    m_boardNote->setAccessibleName(m_boardNote->text());
    m_turnOn->setVisible(minutes <= 0 && m_board.turnOn);
}

void CAlertsDlg::fill() {
    m_table->setRowCount(0);
    for (const Alert& a : m_alerts.alerts()) {
        addAlert(a);
    }
    if (m_table->rowCount() > 0) {
        m_table->setCurrentCell(0, 0);
    }
}

int CAlertsDlg::rowOf(qint64 id) const {
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const QTableWidgetItem* item = m_table->item(r, TimeColumn);
        if (item != nullptr && item->data(kIdRole).toLongLong() == id) {
            return r;
        }
    }
    return -1;
}

// Newest first: a new alert goes on top.
void CAlertsDlg::addAlert(const Alert& a) {
    if (rowOf(a.id) >= 0) {
        showCleared(a);
        return;
    }
    m_table->insertRow(0);
    QTableWidgetItem* time = cell(timeText(a.raised));
    time->setData(kIdRole, a.id);
    m_table->setItem(0, TimeColumn, time);
    m_table->setItem(0, ProjectorColumn, cell(VisibleText::shown(a.projector)));
    m_table->setItem(0, WhatColumn, cell(AlertText::what(a)));
    m_table->setItem(0, ClearedColumn,
                     cell(a.isClear() ? timeText(a.cleared) : CatalogText(msg::AlertsStillHolds)));
}

void CAlertsDlg::showCleared(const Alert& a) {
    const int row = rowOf(a.id);
    if (row < 0) {
        addAlert(a);
        return;
    }
    m_table->item(row, ClearedColumn)
        ->setText(a.isClear() ? timeText(a.cleared) : CatalogText(msg::AlertsStillHolds));
}
