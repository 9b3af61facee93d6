#include "board/CBoardDock.h"

#include "app/CommandIds.h"
#include "common/VisibleText.h"
#include "history/HistoryLog.h"
#include "history/HistoryStore.h"
#include "i18n/CLocalise.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "protocol/CStoreListDlg.h"
#include "registry/CGroupFilter.h"
#include "registry/Ipv4.h"
#include "registry/ProjectorGroups.h"
#include "registry/ProjectorStore.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <array>

namespace {

constexpr QSize kThumbSize = BoardHistoryLookup::kPictureSize;
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// The cell of a store that holds a picture we cannot vouch for: a plain frame, no picture.
QPixmap neutralMark() {
    QPixmap p(kThumbSize);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(150, 150, 150), 1.5, Qt::DashLine));
    painter.setBrush(QColor(235, 235, 235));
    painter.drawRoundedRect(QRectF(2, 2, kThumbSize.width() - 4, kThumbSize.height() - 4), 4, 4);
    return p;
}

QString localTime(const QDateTime& t) {
    return t.toLocalTime().toString(kTimeFormat);
}

// The short reason for the common failures; anything else keeps the run's own text.
QString reasonText(const BoardRow& row) {
    if (row.reasonId) {
        // Nobody there, however the connection failed; a missing challenge keeps its own text.
        if (*row.reasonId == msg::SendFailed || *row.reasonId == msg::ExplainRefused ||
            *row.reasonId == msg::ExplainConnectTimeout || *row.reasonId == msg::ExplainNoSocket) {
            return CatalogText(msg::BoardReasonConnect);
        }
        if (*row.reasonId == msg::ReplyTimeout) {
            return CatalogText(msg::BoardReasonTimeout);
        }
        if (*row.reasonId == msg::AccessDenied) {
            return CatalogText(msg::BoardReasonRefused);
        }
    }
    return row.reason;
}

QString storeKey(const BoardStore& s) {
    return s.result == 2 ? s.fileName + QLatin1Char('\n') + s.length : QString();
}

// What the cell's picture means, as a tooltip and for screen readers, which see no icon.
void setNote(QTableWidgetItem* cell, const QString& text) {
    cell->setToolTip(VisibleText::toolTip(text));
    cell->setData(Qt::AccessibleDescriptionRole, text);
}

} // namespace

CBoardDock::CBoardDock(QMainWindow& window, ProjectorStore& store, CommandObserver* history,
                       RunCommand runCommand, std::unique_ptr<QSettings> settings)
    : QDockWidget(&window), m_window(window), m_store(store), m_history(history),
      m_runCommand(std::move(runCommand)), m_settings(std::move(settings)),
      m_historyPath(HistoryStore::defaultPath()) {
    if (!m_settings) {
        m_settings = std::make_unique<QSettings>();
    }
    setObjectName(QStringLiteral("boardDock"));
    setWindowTitle(CatalogText(msg::BoardTitle));
    m_context.store = &m_store;
    m_neutral = neutralMark();

    auto* body = new QWidget(this);
    m_refresh = new QPushButton(CatalogText(msg::BoardRefresh), body);
    m_refresh->setObjectName(QStringLiteral("boardRefresh"));
    m_stop = new QPushButton(CatalogText(msg::BoardStop), body);
    m_stop->setObjectName(QStringLiteral("boardStop"));
    m_stop->setEnabled(false);
    m_timed = new QCheckBox(CatalogText(msg::BoardAutoRefresh), body);
    m_timed->setObjectName(QStringLiteral("boardTimed"));
    m_minutes = new QSpinBox(body);
    m_minutes->setObjectName(QStringLiteral("boardMinutes"));
    m_minutes->setRange(1, 60);
    m_minutes->setSuffix(QLatin1Char(' ') + CatalogText(msg::BoardMinutesSuffix));
    m_minutes->setAccessibleName(CatalogText(msg::BoardMinutesName));
    m_progress = new QProgressBar(body);
    m_progress->setObjectName(QStringLiteral("boardProgress"));
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(120);
    m_progress->hide();
    m_status = new QLabel(body);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setObjectName(QStringLiteral("boardStatus"));
    m_status->setText(CatalogText(msg::BoardNotAsked));
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{m_refresh, m_stop, m_timed}) {
        b->setAccessibleName(b->text().remove(QLatin1Char('&')));
    }
    m_progress->setAccessibleName(CatalogText(msg::BoardRefreshing));

    m_table = new QTableWidget(0, FirstStoreColumn + 4, body);
    m_table->setObjectName(QStringLiteral("boardTable"));
    m_table->setAccessibleName(CatalogText(msg::BoardTableName));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->setIconSize(kThumbSize);
    m_table->setWordWrap(true);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(kThumbSize.height() + 10);
    QStringList headers{CatalogText(msg::ColumnProjectorName), CatalogText(msg::ColumnIpAddress),
                        CatalogText(msg::BoardColumnState)};
    for (int s = 1; s <= 4; ++s) {
        headers << CatalogText(msg::BoardColumnStore, {QString::number(s)});
    }
    m_table->setHorizontalHeaderLabels(headers);
    // The reach and the four stores share whatever width the dock has, so all four stores
    // are in view at the window's first size; a scroll bar only below the sections' minimum.
    QHeaderView* header = m_table->horizontalHeader();
    header->setMinimumSectionSize(kThumbSize.width() + 16);
    m_table->setColumnWidth(NameColumn, 110);
    m_table->setColumnWidth(AddressColumn, 90);
    header->setSectionResizeMode(StateColumn, QHeaderView::Stretch);
    for (int s = 0; s < 4; ++s) {
        header->setSectionResizeMode(FirstStoreColumn + s, QHeaderView::Stretch);
    }

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_refresh);
    controls->addWidget(m_stop);
    controls->addSpacing(12);
    controls->addWidget(m_timed);
    controls->addWidget(m_minutes);
    controls->addSpacing(12);
    controls->addWidget(m_progress);
    controls->addWidget(m_status, 1);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(4, 4, 4, 4);
    column->addLayout(controls);
    column->addWidget(m_table, 1);
    setWidget(body);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("boardMenu"));
    const std::array<std::pair<int, CatalogId>, 4> commands{
        {{Cmd::ImageInformation, msg::MenuImageInformation},
         {Cmd::TransmissionState, msg::MenuListGetStatus},
         {Cmd::CancelTransmit, msg::MenuCancelTransmission},
         {Cmd::Send, msg::BoardSendHere}}};
    for (const auto& [id, text] : commands) {
        QAction* a = m_menu->addAction(CatalogText(text));
        QString name = Cmd::actionName(id);
        name[0] = name[0].toUpper();
        a->setObjectName(QStringLiteral("board") + name); // apart from the main window's own
        connect(a, &QAction::triggered, this, [this, id = id] { runOnRow(id); });
    }

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("boardTimer"));
    m_saveLater = new QTimer(this);
    m_saveLater->setSingleShot(true);
    m_saveLater->setInterval(500);
    connect(m_saveLater, &QTimer::timeout, this, &CBoardDock::saveLayout);

    m_poller = std::make_unique<BoardPoller>(m_context);
    makeLookup();
    connectPoller();

    connect(m_refresh, &QPushButton::clicked, this, [this] { refresh(true); });
    connect(m_stop, &QPushButton::clicked, this, &CBoardDock::stopRefresh);
    connect(m_timed, &QCheckBox::toggled, this, [this](bool on) { setTimedRefresh(on, m_minutes->value()); });
    connect(m_minutes, &QSpinBox::valueChanged, this,
            [this](int n) { setTimedRefresh(m_timed->isChecked(), n); });
    connect(m_timer, &QTimer::timeout, this, [this] { refresh(false); });
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openStoreView(row); });
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        int row = m_table->rowAt(at.y());
        if (row < 0) {
            row = m_table->currentRow(); // the menu key: the current row
        }
        if (row < 0 || row >= m_table->rowCount()) {
            return;
        }
        m_table->selectRow(row);
        m_menu->popup(m_table->viewport()->mapToGlobal(at));
    });
    // Enter on a row opens it as a double-click does.
    auto* open = new QAction(m_table);
    open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    open->setShortcutContext(Qt::WidgetShortcut);
    connect(open, &QAction::triggered, this, [this] { openStoreView(m_table->currentRow()); });
    m_table->addAction(open);
    // The menu key and Shift+F10 open the menu at the current row.
    auto* menuKey = new QAction(m_table);
    menuKey->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    menuKey->setShortcutContext(Qt::WidgetShortcut);
    connect(menuKey, &QAction::triggered, this, [this] {
        const int row = m_table->currentRow();
        if (row < 0) {
            return;
        }
        const QRect at = m_table->visualRect(m_table->model()->index(row, NameColumn));
        m_menu->popup(m_table->viewport()->mapToGlobal(at.center()));
    });
    m_table->addAction(menuKey);

    connect(this, &QDockWidget::dockLocationChanged, this, [this] { m_saveLater->start(); });
    connect(this, &QDockWidget::topLevelChanged, this, [this] { m_saveLater->start(); });
    connect(toggleViewAction(), &QAction::toggled, this, [this] { m_saveLater->start(); });

    followList();
    restoreLayout();
}

void CBoardDock::noteUploading(quint32 address, bool uploading) {
    int& n = m_uploads[address];
    n = std::max(0, n + (uploading ? 1 : -1));
    m_poller->setPaused(address, n > 0);
    if (n == 0) {
        m_uploads.remove(address);
    }
}

CBoardDock::~CBoardDock() {
    m_poller->stop();
}

void CBoardDock::connectPoller() {
    connect(m_poller.get(), &BoardPoller::rowUpdated, this, [this](quint32 address) {
        ++m_answered;
        showRow(address);
        updateRefreshState();
    });
    connect(m_poller.get(), &BoardPoller::refreshFinished, this, &CBoardDock::onFinished);
}

void CBoardDock::setCommandContext(const CommandContext& context) {
    m_context = context;
    if (m_context.store == nullptr) {
        m_context.store = &m_store;
    }
    m_poller->setContext(m_context);
}

void CBoardDock::setHistoryPath(const QString& path) {
    m_historyPath = path;
    m_historyLog = nullptr;
    makeLookup();
}

void CBoardDock::followHistory(HistoryLog& history) {
    m_historyPath = history.store().path();
    m_historyLog = &history;
    makeLookup();
}

void CBoardDock::makeLookup() {
    m_lookup = std::make_unique<BoardHistoryLookup>(m_historyPath);
    m_lookupsAsked = m_lookupsShown = 0;
    if (m_historyLog != nullptr) {
        m_lookup->setBeforeRead([log = m_historyLog] { log->store().flush(); });
    }
    connect(m_lookup.get(), &BoardHistoryLookup::found, this, &CBoardDock::showPictures);
}

void CBoardDock::noteCommand(const CommandEvent& event) {
    // A new upload may carry another picture under the same name and length: it is looked up.
    if (m_poller->noteCommand(event)) {
        showRow(event.address, event.command != u"PUT");
    }
}

bool CBoardDock::lookupsSettled() const {
    return m_lookupsShown >= m_lookupsAsked && m_lookup->isIdle();
}

void CBoardDock::followList() {
    m_poller->setProjectors(m_store.projectors());
    const QList<BoardRow> rows = m_poller->rows();
    m_table->setRowCount(0);
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const BoardRow& r = rows[i];
        auto* name = new QTableWidgetItem(VisibleText::shown(r.name));
        name->setData(Qt::UserRole, r.address);
        m_table->setItem(i, NameColumn, name);
        m_table->setItem(i, AddressColumn, new QTableWidgetItem(Ipv4::toText(r.address)));
        m_table->setItem(i, StateColumn, new QTableWidgetItem);
        for (int s = 0; s < 4; ++s) {
            m_table->setItem(i, FirstStoreColumn + s, new QTableWidgetItem);
        }
        showRow(r.address);
    }
    showGroups();
}

void CBoardDock::setGroups(const ProjectorGroups* groups) {
    if (m_groups != nullptr || groups == nullptr) {
        return;
    }
    m_groups = groups;
    m_table->setColumnCount(groupsColumn() + 1);
    m_table->setHorizontalHeaderItem(groupsColumn(), new QTableWidgetItem(CatalogText(msg::ColumnGroups)));
    m_table->setColumnWidth(groupsColumn(), 110);
    // A click on the Groups header sorts once; the rows keep their places as answers come in.
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (column == groupsColumn()) {
            QHeaderView* header = m_table->horizontalHeader();
            const Qt::SortOrder order = header->isSortIndicatorShown() &&
                                                header->sortIndicatorSection() == column &&
                                                header->sortIndicatorOrder() == Qt::AscendingOrder
                                            ? Qt::DescendingOrder
                                            : Qt::AscendingOrder;
            header->setSortIndicatorShown(true);
            header->setSortIndicator(column, order);
            m_table->sortItems(column, order);
        }
    });

    auto* label = new QLabel(CatalogText(msg::LabelGroupFilter), widget());
    m_groupFilter = new QComboBox(widget());
    m_groupFilter->setObjectName(QStringLiteral("boardGroupFilter"));
    m_groupFilter->setAccessibleName(label->text().remove(QLatin1Char('&')));
    m_groupFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label->setBuddy(m_groupFilter);
    auto* controls = static_cast<QHBoxLayout*>(widget()->layout()->itemAt(0)->layout());
    controls->insertWidget(5, label);
    controls->insertWidget(6, m_groupFilter);
    connect(m_groupFilter, &QComboBox::currentIndexChanged, this, &CBoardDock::showGroups);
    followGroups();
}

void CBoardDock::followGroups() {
    if (m_groupFilter == nullptr) {
        return;
    }
    FillGroupFilter(*m_groupFilter, m_groups->names());
    showGroups();
}

// Each row's groups, and the rows of the chosen group alone.
void CBoardDock::showGroups() {
    if (m_groups == nullptr) {
        return;
    }
    const QString chosen = m_groupFilter->currentData().toString();
    const QList<quint32> members =
        chosen.isEmpty() ? QList<quint32>{} : m_groups->membersOf(chosen).value_or(QList<quint32>{});
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const quint32 address = addressAt(row);
        QStringList shown;
        for (const QString& g : m_groups->groupsOf(address)) {
            shown << VisibleText::shown(g);
        }
        QTableWidgetItem* cell = m_table->item(row, groupsColumn());
        if (cell == nullptr) {
            cell = new QTableWidgetItem;
            m_table->setItem(row, groupsColumn(), cell);
        }
        cell->setText(shown.join(QStringLiteral(", ")));
        m_table->setRowHidden(row, !chosen.isEmpty() && !members.contains(address));
    }
}

int CBoardDock::rowOf(quint32 address) const {
    for (int i = 0; i < m_table->rowCount(); ++i) {
        if (addressAt(i) == address) {
            return i;
        }
    }
    return -1;
}

quint32 CBoardDock::addressAt(int row) const {
    const QTableWidgetItem* item = m_table->item(row, NameColumn);
    return item != nullptr ? item->data(Qt::UserRole).toUInt() : 0;
}

CBoardDock::Picture CBoardDock::pictureOf(const QTableWidgetItem* item) {
    return item != nullptr ? static_cast<Picture>(item->data(kPictureRole).toInt()) : Picture::None;
}

QString CBoardDock::stateText(const BoardRow& row) const {
    switch (row.reach) {
    case BoardRow::Reach::Unknown:
        return CatalogText(msg::BoardNotAsked);
    case BoardRow::Reach::Reachable:
        return CatalogText(msg::BoardReachable, {localTime(row.lastSeen)});
    case BoardRow::Reach::Unreachable:
        break;
    }
    return row.lastSeen.isValid()
               ? CatalogText(msg::BoardUnreachableSeen, {reasonText(row), localTime(row.lastSeen)})
               : CatalogText(msg::BoardUnreachableNever, {reasonText(row)});
}

void CBoardDock::showRow(quint32 address, bool onlyNew) {
    const int i = rowOf(address);
    if (i < 0) {
        return;
    }
    const BoardRow r = m_poller->row(address);
    QTableWidgetItem* state = m_table->item(i, StateColumn);
    state->setText(stateText(r));
    state->setForeground(r.reach == BoardRow::Reach::Unreachable ? QBrush(QColor(170, 0, 0)) : QBrush());
    bool lookUp = false;
    for (int s = 0; s < 4; ++s) {
        const BoardStore& store = r.stores[static_cast<size_t>(s)];
        QTableWidgetItem* cell = m_table->item(i, FirstStoreColumn + s);
        QString text;
        switch (store.result) {
        case 2:
            text = CatalogText(msg::BoardStoreHolds,
                               {VisibleText::shown(store.fileName),
                                VisibleText::shown(CatalogNumber::formatText(store.length))});
            lookUp = lookUp || !onlyNew || cell->data(kKeyRole).toString() != storeKey(store);
            break;
        case 1:
            text = CatalogText(msg::BoardStoreEmpty);
            break;
        default:
            text = CatalogText(msg::BoardStoreUnknown);
            break;
        }
        cell->setText(text);
        // A picture shown for another file would be a guess: it goes until the history answers.
        if (cell->data(kKeyRole).toString() != storeKey(store)) {
            cell->setIcon(QIcon());
            cell->setData(kPictureRole, static_cast<int>(Picture::None));
            cell->setData(kKeyRole, QString());
            setNote(cell, QString());
        }
        if (store.result < 0 && !store.text.isEmpty()) {
            setNote(cell, store.text); // why this store could not be asked
        }
    }
    if (lookUp) {
        ++m_lookupsAsked;
        m_lookup->lookUp(r);
    }
}

void CBoardDock::showPictures(quint32 address, const BoardPictures& pictures) {
    ++m_lookupsShown;
    const int i = rowOf(address);
    if (i < 0) {
        return;
    }
    const BoardRow r = m_poller->row(address);
    for (int s = 0; s < 4; ++s) {
        const BoardStore& store = r.stores[static_cast<size_t>(s)];
        const BoardPicture& p = pictures[static_cast<size_t>(s)];
        QTableWidgetItem* cell = m_table->item(i, FirstStoreColumn + s);
        // Only for what the store still holds: the row may have moved on meanwhile.
        if (store.result != 2 || store.fileName != p.fileName || store.length != p.length) {
            continue;
        }
        // Decoded and fitted on the lookup's thread; only the copy into a pixmap happens here.
        const QPixmap thumb = p.found ? QPixmap::fromImage(p.picture) : QPixmap();
        if (!thumb.isNull()) {
            cell->setIcon(QIcon(thumb));
            cell->setData(kPictureRole, static_cast<int>(Picture::Thumbnail));
            setNote(cell, CatalogText(msg::BoardSentBy, {localTime(p.sentAt), p.sentBy}));
        } else {
            cell->setIcon(QIcon(m_neutral));
            cell->setData(kPictureRole, static_cast<int>(Picture::Neutral));
            setNote(cell, CatalogText(msg::BoardNoRecord));
        }
        cell->setData(kKeyRole, storeKey(store));
    }
}

void CBoardDock::refresh(bool force) {
    if (force) {
        m_stopped = false;
    }
    if (!isRefreshing()) {
        m_asked = 0;
        m_answered = 0;
    }
    m_asked += m_poller->refresh(force);
    m_awaitingFinish = true; // the poller always tells the end of a round, even of an empty one
    updateRefreshState();
}

void CBoardDock::stopRefresh() {
    if (!isRefreshing()) {
        return;
    }
    m_stopped = true;
    m_poller->stop(); // the exchanges under way close at once
    updateRefreshState();
}

// Until the end of the round is heard, answers may still be on their way to the rows.
bool CBoardDock::isRefreshing() const {
    return m_awaitingFinish || m_poller->isRefreshing();
}

void CBoardDock::onFinished() {
    if (!m_poller->isRefreshing()) {
        m_awaitingFinish = false;
        m_status->setText(
            m_stopped ? CatalogText(msg::BoardRefreshStopped)
                      : CatalogText(msg::BoardRefreshedAt, {localTime(QDateTime::currentDateTime())}));
    }
    updateRefreshState();
}

void CBoardDock::updateRefreshState() {
    const bool running = isRefreshing();
    m_stop->setEnabled(running);
    m_progress->setVisible(running);
    if (running) {
        m_progress->setRange(0, std::max(m_asked, 1));
        m_progress->setValue(std::min(m_answered, m_asked));
        m_status->setText(CatalogText(msg::BoardRefreshing));
    } else if (m_stopped) {
        m_status->setText(CatalogText(msg::BoardRefreshStopped));
    }
}

void CBoardDock::setTimedRefresh(bool on, int minutes) {
    minutes = std::clamp(minutes, 1, 60);
    {
        const QSignalBlocker a(m_timed);
        const QSignalBlocker b(m_minutes);
        m_timed->setChecked(on);
        m_minutes->setValue(minutes);
    }
    m_minutes->setEnabled(on);
    if (on) {
        m_timer->start(minutes * 60 * 1000);
    } else {
        m_timer->stop();
    }
    if (!m_restoring) {
        m_settings->setValue(QStringLiteral("board/timedRefresh"), on);
        m_settings->setValue(QStringLiteral("board/minutes"), minutes);
        m_settings->sync();
    }
}

bool CBoardDock::timedRefreshOn() const {
    return m_timer->isActive();
}

int CBoardDock::timedRefreshMinutes() const {
    return m_minutes->value();
}

void CBoardDock::openStoreView(int row) {
    const quint32 address = addressAt(row);
    if (row < 0 || row >= m_table->rowCount() || address == 0) {
        return;
    }
    const BoardRow r = m_poller->row(address);
    ProjectorRecord record;
    for (const ProjectorRecord& p : m_store.projectors()) {
        if (p.hostAddress() == address) {
            record = p;
            break;
        }
    }
    // The board's own polls stay out of the history; a Cancel Transmit the user asks for does not.
    CommandContext context = m_context;
    context.observer = m_history;
    CStoreListDlg info(CStoreListDlg::Information, context, this);
    info.setTarget(CommandTarget{address, record.authenticate(), record.password});
    // The texts the list's own form shows, from what the board last heard.
    for (int s = 0; s < 4; ++s) {
        const BoardStore& store = r.stores[static_cast<size_t>(s)];
        if (r.reach == BoardRow::Reach::Unknown) {
            info.setStoreText(s + 1, CatalogText(msg::BoardStoreUnknown), CatalogText(msg::StoreSizeNone));
        } else if (store.result == 2) {
            info.setStoreText(s + 1, store.fileName,
                              CatalogText(msg::StoreSizeText, {CatalogNumber::formatText(store.length)}));
        } else if (store.result == 1) {
            info.setStoreText(s + 1, CatalogText(msg::StoreEmpty), CatalogText(msg::StoreSizeNone));
        } else {
            info.setStoreText(s + 1, store.text.isEmpty() ? reasonText(r) : store.text,
                              CatalogText(msg::StoreSizeNone));
        }
    }
    info.setLabel(r.name);
    info.exec();
}

void CBoardDock::runOnRow(int commandId) {
    const int row = m_table->currentRow();
    const quint32 address = addressAt(row);
    if (row >= 0 && address != 0 && m_runCommand) {
        m_runCommand(commandId, address);
    }
}

void CBoardDock::resizeEvent(QResizeEvent* event) {
    QDockWidget::resizeEvent(event);
    if (!m_restoring) {
        m_saveLater->start();
    }
}

void CBoardDock::moveEvent(QMoveEvent* event) {
    QDockWidget::moveEvent(event);
    if (!m_restoring && isFloating()) {
        m_saveLater->start();
    }
}

void CBoardDock::saveLayout() {
    if (m_restoring) {
        return;
    }
    QSettings& s = *m_settings;
    s.setValue(QStringLiteral("board/area"), static_cast<int>(m_window.dockWidgetArea(this)));
    s.setValue(QStringLiteral("board/floating"), isFloating());
    // Hidden by the user, not merely not yet shown with its window.
    s.setValue(QStringLiteral("board/visible"),
               !(isHidden() && testAttribute(Qt::WA_WState_ExplicitShowHide)));
    s.setValue(QStringLiteral("board/geometry"), saveGeometry());
    const Qt::DockWidgetArea area = m_window.dockWidgetArea(this);
    const bool across = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    s.setValue(QStringLiteral("board/size"), across ? height() : width());
    s.sync();
}

void CBoardDock::restoreLayout() {
    m_restoring = true;
    QSettings& s = *m_settings;
    auto area = static_cast<Qt::DockWidgetArea>(
        s.value(QStringLiteral("board/area"), static_cast<int>(Qt::BottomDockWidgetArea)).toInt());
    if (area != Qt::LeftDockWidgetArea && area != Qt::RightDockWidgetArea && area != Qt::TopDockWidgetArea &&
        area != Qt::BottomDockWidgetArea) {
        area = Qt::BottomDockWidgetArea;
    }
    m_window.addDockWidget(area, this);
    if (s.value(QStringLiteral("board/floating"), false).toBool()) {
        setFloating(true);
        restoreGeometry(s.value(QStringLiteral("board/geometry")).toByteArray());
    } else {
        // Room for a few rows of pictures when nothing was remembered.
        const int size = s.value(QStringLiteral("board/size"), 300).toInt();
        if (size > 0) {
            const bool across = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
            m_window.resizeDocks({this}, {size}, across ? Qt::Vertical : Qt::Horizontal);
        }
    }
    // Hidden until asked for, so the window first looks as it always did.
    setVisible(s.value(QStringLiteral("board/visible"), false).toBool());
    const bool timed = s.value(QStringLiteral("board/timedRefresh"), false).toBool();
    setTimedRefresh(timed, s.value(QStringLiteral("board/minutes"), 5).toInt());
    m_restoring = false;
    if (timed) {
        // A board that refreshes by itself starts with a look, once the window is up.
        QTimer::singleShot(0, this, [this] { refresh(false); });
    }
}

CBoardDock* AddBoardDock(QMainWindow* frame, ProjectorStore& store, CommandObserver* history,
                         CBoardDock::RunCommand runCommand) {
    auto* dock = new CBoardDock(*frame, store, history, std::move(runCommand));
    auto* view = frame->menuBar()->findChild<QMenu*>(QStringLiteral("menuView"));
    QAction* toggle = dock->toggleViewAction();
    toggle->setObjectName(QStringLiteral("boardAction"));
    toggle->setStatusTip(CatalogText(msg::TipBoard));
    auto* refresh = new QAction(frame);
    SetCatalogText(refresh, msg::MenuRefreshBoard);
    refresh->setObjectName(QStringLiteral("refreshBoardAction"));
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    refresh->setShortcutContext(Qt::WindowShortcut);
    refresh->setStatusTip(CatalogText(msg::TipRefreshBoard));
    QObject::connect(refresh, &QAction::triggered, dock, [dock] {
        dock->show();
        dock->raise();
        dock->refresh(true);
    });
    if (view != nullptr) {
        view->addSeparator();
        view->addAction(toggle);
        view->addAction(refresh);
    } else {
        frame->addAction(refresh); // F5 works all the same
    }
    return dock;
}
