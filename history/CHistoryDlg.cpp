#include "history/CHistoryDlg.h"

#include "app/CFileDialogs.h"
#include "app/CMessageBox.h"
#include "common/VisibleText.h"
#include "history/HistoryStore.h"
#include "history/HistoryTableModel.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "i18n/FileErrorReason.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLabel* labelFor(const CatalogId& id, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(CatalogText(id), parent);
    label->setBuddy(buddy);
    QString name = label->text();
    name.remove(u'&');
    buddy->setAccessibleName(name.endsWith(u':') || name.endsWith(u'：') ? name.chopped(1) : name);
    return label;
}

} // namespace

CHistoryDlg::CHistoryDlg(QString databasePath, QWidget* parent)
    : QDialog(parent), m_path(std::move(databasePath)) {
    setObjectName(QStringLiteral("historyDialog"));
    setWindowTitle(CatalogText(msg::HistoryDlgTitle));
    resize(900, 500);

    m_model = new HistoryTableModel(this);
    m_projector = new QComboBox(this);
    m_projector->setObjectName(QStringLiteral("projectorFilter"));
    m_command = new QComboBox(this);
    m_command->setObjectName(QStringLiteral("commandFilter"));
    m_result = new QComboBox(this);
    m_result->setObjectName(QStringLiteral("resultFilter"));
    m_result->addItem(CatalogText(msg::HistoryFilterAll), static_cast<int>(HistoryFilter::Outcome::Any));
    m_result->addItem(CatalogText(msg::HistoryOutcomeSucceeded),
                      static_cast<int>(HistoryFilter::Outcome::Succeeded));
    m_result->addItem(CatalogText(msg::HistoryOutcomeFailed),
                      static_cast<int>(HistoryFilter::Outcome::Failed));
    m_since = new QDateEdit(QDate::currentDate().addDays(-HistoryStore::kDefaultKeepDays), this);
    m_since->setObjectName(QStringLiteral("sinceEdit"));
    m_since->setCalendarPopup(true);
    m_since->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_until = new QDateEdit(QDate::currentDate(), this);
    m_until->setObjectName(QStringLiteral("untilEdit"));
    m_until->setCalendarPopup(true);
    m_until->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));

    auto* filters = new QGridLayout;
    filters->addWidget(labelFor(msg::HistoryLabelProjector, m_projector, this), 0, 0);
    filters->addWidget(m_projector, 0, 1);
    filters->addWidget(labelFor(msg::HistoryLabelCommand, m_command, this), 0, 2);
    filters->addWidget(m_command, 0, 3);
    filters->addWidget(labelFor(msg::HistoryLabelResult, m_result, this), 0, 4);
    filters->addWidget(m_result, 0, 5);
    filters->addWidget(labelFor(msg::HistoryLabelSince, m_since, this), 1, 0);
    filters->addWidget(m_since, 1, 1);
    filters->addWidget(labelFor(msg::HistoryLabelUntil, m_until, this), 1, 2);
    filters->addWidget(m_until, 1, 3);
    filters->setColumnStretch(6, 1);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setAccessibleName(CatalogText(msg::HistoryDlgTitle));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    // Fixed row heights keep the table fast with a hundred thousand rows.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setStretchLastSection(true);
    fitColumns();

    m_count = new QLabel(CatalogText(msg::HistoryLoading), this);
    m_count->setTextFormat(Qt::PlainText);
    m_count->setObjectName(QStringLiteral("countLabel"));
    m_export = new QPushButton(CatalogText(msg::HistoryButtonExport), this);
    m_export->setObjectName(QStringLiteral("exportButton"));
    m_export->setEnabled(false);
    auto* close = new QPushButton(CatalogText(msg::ButtonClose), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_export, &QPushButton::clicked, this, &CHistoryDlg::exportCsv);

    m_dropped = new QLabel(this);
    m_dropped->setObjectName(QStringLiteral("droppedLabel"));
    m_dropped->setTextFormat(Qt::PlainText);
    m_dropped->setWordWrap(true);
    m_dropped->hide();

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_count, 1);
    bottom->addWidget(m_export);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_dropped);
    layout->addLayout(bottom);

    for (QComboBox* box : {m_projector, m_command, m_result}) {
        // The items arrive after the first show, so the box follows them, or "all" is clipped.
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        connect(box, &QComboBox::currentIndexChanged, this, &CHistoryDlg::applyFilter);
    }
    connect(m_since, &QDateEdit::dateChanged, this, &CHistoryDlg::applyFilter);
    connect(m_until, &QDateEdit::dateChanged, this, &CHistoryDlg::applyFilter);
    startLoading();
}

CHistoryDlg::~CHistoryDlg() {
    if (m_reader != nullptr) {
        m_reader->wait();
    }
}

void CHistoryDlg::startLoading() {
    // The reading runs on a thread of its own with its own connection; the window stays live.
    QPointer<CHistoryDlg> self(this);
    const QString path = m_path;
    m_reader = QThread::create([self, path] {
        std::optional<HistoryRecords> records = HistoryStore::query(path, {});
        std::optional<HistoryDropNote> dropped = HistoryStore::dropNote(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, records = std::move(records), dropped]() mutable {
                if (self) {
                    self->showRecords(std::move(records), dropped);
                }
            },
            Qt::QueuedConnection);
    });
    m_reader->setParent(this);
    m_reader->start();
}

QString CHistoryDlg::dropText(const HistoryDropNote& note) {
    const QString count = QString::number(note.dropped);
    const QString when = note.lastDrop.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString records = QString::number(note.limits.maxRecords);
    const QString megabytes = QString::number(note.limits.maxBytes / (1024 * 1024));
    if (note.limits.maxRecords > 0 && note.limits.maxBytes > 0) {
        return CatalogText(msg::HistoryDroppedBoth, {records, megabytes, count, when});
    }
    if (note.limits.maxRecords > 0) {
        return CatalogText(msg::HistoryDroppedRecords, {records, count, when});
    }
    return CatalogText(msg::HistoryDroppedMegabytes, {megabytes, count, when});
}

void CHistoryDlg::showRecords(std::optional<HistoryRecords> records,
                              const std::optional<HistoryDropNote>& dropped) {
    if (dropped) {
        m_dropped->setText(dropText(*dropped));
        m_dropped->show();
    }
    if (!records) {
        m_count->setText(CatalogText(msg::HistoryReadFailed));
    } else {
        m_model->setRecords(std::move(*records));
        const QSignalBlocker a(m_projector);
        const QSignalBlocker b(m_command);
        m_projector->addItem(CatalogText(msg::HistoryFilterAll), QString());
        for (const QString& address : m_model->addresses()) {
            m_projector->addItem(address, address);
        }
        m_command->addItem(CatalogText(msg::HistoryFilterAll), QString());
        for (const QString& command : m_model->commands()) {
            m_command->addItem(command, command);
        }
        m_export->setEnabled(true);
        applyFilter();
        fitColumns();
    }
    m_loaded = true;
    Q_EMIT loaded();
}

// Every header is read whole in either language; the time is never cut, and the result
// takes what its texts need up to a third of the table (its tooltip holds the rest).
void CHistoryDlg::fitColumns() {
    QHeaderView* header = m_table->horizontalHeader();
    const int cellMargins =
        2 * (m_table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_table) + 1);
    const QString widestTime = QDateTime(QDate(2000, 12, 28), QTime(20, 58, 58))
                                   .toString(QLatin1String(HistoryTableModel::kTimeFormat));
    for (int c = 0; c + 1 < m_model->columnCount(); ++c) {
        int width = qMax(header->sectionSize(c), header->sectionSizeHint(c));
        if (c == HistoryTableModel::Time) {
            width = std::max({width, m_table->fontMetrics().horizontalAdvance(widestTime) + 2 * cellMargins,
                              static_cast<const QAbstractItemView*>(m_table)->sizeHintForColumn(c)});
        }
        if (c == HistoryTableModel::Result) {
            width = qMax(width, qMin(static_cast<const QAbstractItemView*>(m_table)->sizeHintForColumn(c),
                                     m_table->viewport()->width() / 3));
        }
        header->resizeSection(c, width);
    }
}

void CHistoryDlg::applyFilter() {
    if (!m_export->isEnabled()) {
        return; // nothing to filter before the records arrive
    }
    HistoryFilter f;
    f.address = m_projector->currentData().toString();
    f.command = m_command->currentData().toString();
    f.outcome = static_cast<HistoryFilter::Outcome>(m_result->currentData().toInt());
    f.since = m_since->date().startOfDay();
    f.until = m_until->date().addDays(1).startOfDay();
    m_model->setFilter(f);
    m_count->setText(CatalogText(msg::HistoryCount, {CatalogNumber::format(m_model->rowCount())}));
}

void CHistoryDlg::exportCsv() {
    CFileDialogs::Request request;
    request.title = CatalogText(msg::HistoryButtonExport).remove(u'&');
    request.filter = QStringLiteral("CSV (*.csv)");
    request.defaultSuffix = QStringLiteral("csv");
    const QString target = CFileDialogs::instance().saveFile(this, request);
    if (target.isEmpty()) {
        return;
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_model->toCsv()) < 0 || !file.commit()) {
        CMessageBox::show(this, CatalogText(msg::HistoryExportFailed, {FileErrorReason::of(file)}),
                          CMessageBox::Icon::Stop);
    }
}
