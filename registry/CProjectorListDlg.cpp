#include "registry/CProjectorListDlg.h"

#include "app/CFileDialogs.h"
#include "app/CMessageBox.h"
#include "common/PrivateFile.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "protocol/CGetWaitDlg.h"
#include "protocol/CStoreListDlg.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/StoreCommandRun.h"
#include "protocol/TransStateQuery.h"
#include "registry/CCsvImportDlg.h"
#include "registry/CDiscoveryDlg.h"
#include "registry/CGroupFilter.h"
#include "registry/CProjectorEditDlg.h"
#include "registry/MacText.h"
#include "registry/ProjectorCsv.h"
#include "registry/ProjectorGroups.h"
#include "registry/ProjectorStore.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

// One row per command of the list's menus. The word names its actions: "<word>Action" in
// the menu bar and "<word>ContextAction" in the context menu.
struct Item {
    int id;
    const char* word;
    CatalogId text;
    bool inContextMenu;
};

constexpr std::array<Item, 7> kEditItems{{
    {CProjectorListDlg::CmdAdd, "add", msg::MenuListAdd, true},
    {CProjectorListDlg::CmdEdit, "edit", msg::MenuListEdit, true},
    {CProjectorListDlg::CmdDelete, "delete", msg::MenuListDelete, true},
    {CProjectorListDlg::CmdDiscovery, "discovery", msg::MenuListDiscovery, true},
    {CProjectorListDlg::CmdImportCsv, "importCsv", msg::MenuListImportCsv, false},
    {CProjectorListDlg::CmdExportCsv, "exportCsv", msg::MenuListExportCsv, false},
    {CProjectorListDlg::CmdClose, "close", msg::MenuListClose, false},
}};
constexpr std::array<Item, 2> kImageItems{{
    {CProjectorListDlg::CmdGetStatus, "getStatus", msg::MenuListGetStatus, true},
    {CProjectorListDlg::CmdImageInfo, "imageInfo", msg::MenuListImageInfo, true},
}};

QIcon projectorIcon() {
    return QIcon::fromTheme(QStringLiteral("video-display"), QIcon(QStringLiteral(":/icons/tessavel.svg")));
}

constexpr int kStores = 4;
constexpr int kGroupsColumn = 4;

} // namespace

CProjectorListDlg::CProjectorListDlg(ProjectorStore& store, CommandObserver* observer, SaveList save,
                                     QWidget* parent, const std::optional<CommandContext>& context)
    : QDialog(parent), m_projectors(store), m_save(std::move(save)),
      m_context(context.value_or(CommandContext{})) {
    if (m_context.store == nullptr) {
        m_context.store = &m_projectors;
    }
    if (m_context.observer == nullptr) {
        m_context.observer = observer;
    }
    m_run = std::make_unique<StoreCommandRun>(m_context);
    connect(m_run.get(), &StoreCommandRun::stepStarted, this, &CProjectorListDlg::queryStarted);
    connect(m_run.get(), &StoreCommandRun::stepFinished, this, &CProjectorListDlg::queryFinished);
    connect(m_run.get(), &StoreCommandRun::finished, this, &CProjectorListDlg::queriesEnded);
    setObjectName(QStringLiteral("projectorListDlg"));
    setWindowTitle(CatalogText(msg::ProjectorListDlgTitle));

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("projectorTable"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(true);
    m_table->setWordWrap(false);
    m_table->setIconSize(QSize(16, 16));
    m_table->verticalHeader()->hide();
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->setMinimumSize(540, 240);

    // The buttons are there for the keyboard, never shown.
    const std::array<std::pair<const char*, CatalogId>, 5> hidden{{{"addButton", msg::ButtonAdd},
                                                                   {"deleteButton", msg::ButtonDelete},
                                                                   {"editButton", msg::ButtonEdit},
                                                                   {"discoveryButton", msg::ButtonDiscovery},
                                                                   {"closeButton", msg::ButtonClose}}};
    QList<QPushButton*> hiddenButtons;
    for (const auto& [name, text] : hidden) {
        auto* b = new QPushButton(CatalogText(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->hide();
        hiddenButtons << b;
    }
    connect(hiddenButtons[0], &QPushButton::clicked, this, &CProjectorListDlg::OnAdd);
    connect(hiddenButtons[1], &QPushButton::clicked, this, &CProjectorListDlg::OnDelete);
    connect(hiddenButtons[2], &QPushButton::clicked, this, &CProjectorListDlg::OnEdit);
    connect(hiddenButtons[3], &QPushButton::clicked, this, &CProjectorListDlg::OnDiscovery);
    connect(hiddenButtons[4], &QPushButton::clicked, this, &CProjectorListDlg::reject);

    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_menuBar->setNativeMenuBar(false);
    m_contextMenu = new QMenu(this);
    m_contextMenu->setObjectName(QStringLiteral("contextMenu"));

    auto run = [this](int id) {
        switch (id) {
        case CmdAdd:
            OnAdd();
            break;
        case CmdEdit:
            OnEdit();
            break;
        case CmdDelete:
            OnDelete();
            break;
        case CmdDiscovery:
            OnDiscovery();
            break;
        case CmdClose:
            accept();
            break;
        case CmdGetStatus:
            OnGetStatus();
            break;
        case CmdImageInfo:
            OnImageInfo();
            break;
        case CmdImportCsv:
            OnImportCsv();
            break;
        case CmdExportCsv:
            OnExportCsv();
            break;
        default:
            break;
        }
    };
    auto addItems = [&](QMenu* bar, QMenu* popup, const auto& items) {
        for (const Item& item : items) {
            if (item.id == CmdImportCsv || item.id == CmdClose) {
                bar->addSeparator();
            }
            const QString word = QString::fromLatin1(item.word);
            QAction* a = bar->addAction(CatalogText(item.text));
            a->setObjectName(word + QStringLiteral("Action"));
            connect(a, &QAction::triggered, this, [run, id = item.id] { run(id); });
            m_barActions.insert(item.id, a);
            if (item.inContextMenu) {
                QAction* c = popup->addAction(CatalogText(item.text));
                c->setObjectName(word + QStringLiteral("ContextAction"));
                connect(c, &QAction::triggered, this, [run, id = item.id] { run(id); });
                m_contextActions.insert(item.id, c);
            }
        }
    };
    // The first menu has always shown the main window's Projector title.
    QMenu* editMenu = m_menuBar->addMenu(CatalogText(msg::MenuProjector));
    editMenu->setObjectName(QStringLiteral("editMenu"));
    QMenu* imageMenu = m_menuBar->addMenu(CatalogText(msg::MenuImage));
    imageMenu->setObjectName(QStringLiteral("imageMenu"));
    addItems(editMenu, m_contextMenu, kEditItems);
    addItems(imageMenu, m_contextMenu, kImageItems);
    for (QMenu* m : {editMenu, imageMenu, m_contextMenu}) {
        connect(m, &QMenu::aboutToShow, this, &CProjectorListDlg::updateCommandStates);
    }
    // Shortcuts that work while the menus are closed.
    m_barActions.value(CmdDelete)->setShortcut(QKeySequence::Delete);
    m_barActions.value(CmdAdd)->setShortcut(QKeySequence(Qt::Key_Insert));
    m_barActions.value(CmdEdit)->setShortcut(QKeySequence(Qt::Key_F2));
    for (QAction* a : m_barActions) {
        addAction(a);
    }
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &CProjectorListDlg::updateCommandStates);
    connect(m_table, &QTableWidget::itemDoubleClicked, this, [this] {
        if (commandEnabled(CmdEdit)) {
            OnEdit();
        }
    });
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        updateCommandStates();
        m_contextMenu->popup(m_table->viewport()->mapToGlobal(at));
    });

    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->hide();

    auto* column = new QVBoxLayout(this);
    column->setMenuBar(m_menuBar);
    column->addWidget(m_table);
    column->addWidget(m_status);

    m_table->setHorizontalHeaderLabels({CatalogText(msg::ColumnProjectorName),
                                        CatalogText(msg::ColumnMacAddress), CatalogText(msg::ColumnIpAddress),
                                        CatalogText(msg::ColumnAuthentication)});
    m_table->setAccessibleName(windowTitle());

    m_list = m_projectors.projectors();
    fillList();
    updateCommandStates();
    resize(620, 340);
}

// The run goes first: its thread is told to stop and waited for, a fraction of a second.
CProjectorListDlg::~CProjectorListDlg() {
    m_run.reset();
}

bool CProjectorListDlg::isQuerying() const {
    return m_run->isRunning();
}

void CProjectorListDlg::fillList() {
    const QIcon icon = projectorIcon();
    m_table->clearContents();
    m_table->setRowCount(0);
    m_table->setRowCount(static_cast<int>(m_list.size()));
    for (int row = 0; row < m_list.size(); ++row) {
        const ProjectorRecord& r = m_list[row];
        m_table->setItem(row, 0, new QTableWidgetItem(icon, VisibleText::shown(r.name)));
        m_table->setItem(row, 1, new QTableWidgetItem(VisibleText::shown(r.mac)));
        m_table->setItem(row, 2, new QTableWidgetItem(Ipv4::toText(r.address)));
        m_table->setItem(row, 3,
                         new QTableWidgetItem(CatalogText(r.authMark == u"1" ? msg::AuthenticationOn
                                                                             : msg::AuthenticationOff)));
        if (m_groups != nullptr) {
            QStringList shown;
            for (const QString& g : m_groups->groupsOf(r.hostAddress())) {
                shown << VisibleText::shown(g);
            }
            m_table->setItem(row, kGroupsColumn, new QTableWidgetItem(shown.join(QStringLiteral(", "))));
        }
    }
    applyGroupFilter();
    updateCommandStates();
}

void CProjectorListDlg::setGroups(ProjectorGroups* groups) {
    if (m_groups != nullptr || groups == nullptr) {
        return;
    }
    m_groups = groups;
    m_table->setColumnCount(kGroupsColumn + 1);
    m_table->setHorizontalHeaderItem(kGroupsColumn, new QTableWidgetItem(CatalogText(msg::ColumnGroups)));

    auto* label = new QLabel(CatalogText(msg::LabelGroupFilter), this);
    m_groupFilter = new QComboBox(this);
    m_groupFilter->setObjectName(QStringLiteral("groupFilterCombo"));
    m_groupFilter->setAccessibleName(QString(label->text()).remove(u'&'));
    m_groupFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label->setBuddy(m_groupFilter);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_groupFilter);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(layout())->insertLayout(0, row);
    setTabOrder(m_groupFilter, m_table);
    connect(m_groupFilter, &QComboBox::currentIndexChanged, this, [this] {
        m_table->clearSelection(); // a hidden row is never acted on
        applyGroupFilter();
    });
    fillGroupFilter();
    fillList();
    setColumnWidths();
}

// "All projectors" and then every group; the chosen one stays chosen while it exists.
void CProjectorListDlg::fillGroupFilter() {
    if (m_groupFilter == nullptr) {
        return;
    }
    FillGroupFilter(*m_groupFilter, m_groups->names());
}

void CProjectorListDlg::applyGroupFilter() {
    const QString chosen = m_groupFilter != nullptr ? m_groupFilter->currentData().toString() : QString();
    const QList<quint32> members =
        chosen.isEmpty() ? QList<quint32>{} : m_groups->membersOf(chosen).value_or(QList<quint32>{});
    for (int row = 0; row < m_list.size(); ++row) {
        m_table->setRowHidden(row, !chosen.isEmpty() && !members.contains(m_list[row].hostAddress()));
    }
}

void CProjectorListDlg::saveGroups() {
    const IoResult r = m_groups->save();
    if (!r.ok()) {
        CMessageBox::show(
            this,
            CatalogText(msg::GroupsSaveFailed, {m_groups->path(), FileErrorReason::ofSystemText(r.detail)}),
            CMessageBox::Icon::Stop);
    }
    fillGroupFilter();
    fillList();
}

// Every change goes out whole; the list then shows what the store holds.
void CProjectorListDlg::save() {
    m_save(m_list);
    m_list = m_projectors.projectors();
    // A projector that left the list leaves its groups (the state does so too, when there is one).
    if (m_groups != nullptr && m_groups->keepOnly(m_list)) {
        saveGroups();
    }
    fillList();
}

void CProjectorListDlg::setGroupsOf(quint32 address, const QStringList& names) {
    if (m_groups == nullptr) {
        return;
    }
    if (m_groups->setGroupsOf(address, names) == ProjectorGroups::Change::Full) {
        CMessageBox::show(this, CatalogText(msg::GroupsFull, {QString::number(ProjectorGroups::kMaxGroups)}),
                          CMessageBox::Icon::Warning);
    }
    saveGroups();
}

QList<int> CProjectorListDlg::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : m_table->selectionModel()->selectedRows()) {
        rows << i.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool CProjectorListDlg::commandEnabled(int id) const {
    if (isQuerying()) {
        return false;
    }
    const auto selected = m_table->selectionModel()->selectedRows().size();
    switch (id) {
    case CmdEdit:
        return selected == 1;
    case CmdDelete:
    case CmdGetStatus:
    case CmdImageInfo:
        return selected >= 1;
    case CmdExportCsv:
        return !m_list.isEmpty();
    default:
        return true;
    }
}

void CProjectorListDlg::updateCommandStates() {
    for (auto it = m_barActions.cbegin(); it != m_barActions.cend(); ++it) {
        it.value()->setEnabled(commandEnabled(it.key()));
    }
    for (auto it = m_contextActions.cbegin(); it != m_contextActions.cend(); ++it) {
        it.value()->setEnabled(commandEnabled(it.key()));
    }
}

// Authentication gets what its header and its On/Off need in either language (two
// eighteenths would cut it); the other three share the rest 6:5:5, never below their headers.
void CProjectorListDlg::setColumnWidths() {
    const QHeaderView* header = m_table->horizontalHeader();
    int viewport = m_table->viewport()->width();
    if (m_groups != nullptr) {
        const int groups = qMax(viewport / 16 * 3, header->sectionSizeHint(kGroupsColumn));
        m_table->setColumnWidth(kGroupsColumn, groups);
        viewport -= groups;
    }
    const int auth = std::max({viewport / 18 * 2, header->sectionSizeHint(3),
                               static_cast<const QAbstractItemView*>(m_table)->sizeHintForColumn(3)});
    const int w = qMax(0, viewport - auth) / 16;
    m_table->setColumnWidth(0, qMax(w * 6, header->sectionSizeHint(0)));
    m_table->setColumnWidth(1, qMax(w * 5, header->sectionSizeHint(1)));
    m_table->setColumnWidth(2, qMax(w * 5, header->sectionSizeHint(2)));
    m_table->setColumnWidth(3, auth);
}

void CProjectorListDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setColumnWidths();
}

void CProjectorListDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    setColumnWidths();
}

void CProjectorListDlg::reject() {
    if (!isQuerying()) {
        QDialog::reject();
    }
}

void CProjectorListDlg::OnAdd() {
    if (m_list.size() >= kMaxProjectors) {
        return;
    }
    CProjectorEditDlg form(CProjectorEditDlg::Add, {}, this);
    form.setList(m_list);
    if (m_groups != nullptr) {
        form.setGroups(m_groups->names(), {});
    }
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    const CProjectorEditDlg::Values& v = form.values();
    ProjectorRecord r;
    r.address = Ipv4::toOctets(v.address);
    r.name = v.name;
    r.mac = MacText::isZero(v.mac) ? QString() : MacText::toText(v.mac, false);
    r.authMark = v.authMark;
    r.password = v.password;
    m_list.append(r);
    save();
    if (m_groups != nullptr && !form.chosenGroups().isEmpty()) {
        setGroupsOf(r.hostAddress(), form.chosenGroups());
    }
}

void CProjectorListDlg::OnEdit() {
    const QList<int> rows = selectedRows();
    if (rows.size() != 1 || rows[0] < 0 || rows[0] >= m_list.size()) {
        return;
    }
    ProjectorRecord& r = m_list[rows[0]];
    CProjectorEditDlg::Values v;
    v.address = r.hostAddress();
    v.name = r.name;
    v.mac = MacText::fromText(r.mac);
    v.authMark = r.authMark;
    v.password = r.password;
    CProjectorEditDlg form(CProjectorEditDlg::Edit, v, this);
    form.setList(m_list, rows[0]);
    const quint32 before = r.hostAddress();
    if (m_groups != nullptr) {
        form.setGroups(m_groups->names(), m_groups->groupsOf(before));
    }
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    const CProjectorEditDlg::Values& out = form.values();
    r.address = Ipv4::toOctets(out.address);
    r.name = out.name;
    r.authMark = out.authMark;
    r.password = out.password;
    if (!MacText::isZero(out.mac)) {
        r.mac = MacText::toText(out.mac, true);
    }
    const int row = rows[0];
    // The groups follow a changed address before the list is written, which would drop it.
    if (m_groups != nullptr) {
        m_groups->moveMember(before, out.address);
    }
    save();
    setGroupsOf(out.address, form.chosenGroups());
    if (row < m_table->rowCount()) {
        m_table->selectRow(row);
    }
}

void CProjectorListDlg::OnDelete() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    if (CMessageBox::show(this, CatalogText(msg::AskDeleteProjectors), CMessageBox::Icon::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    ProjectorList kept;
    for (int i = 0; i < m_list.size(); ++i) {
        if (!rows.contains(i)) {
            kept.append(m_list[i]);
        }
    }
    m_list = kept;
    save();
}

void CProjectorListDlg::OnDiscovery() {
    {
        CDiscoveryDlg discovery(m_projectors, m_save, this);
        connect(&discovery, &CDiscoveryDlg::projectorCommandRequested, this,
                &CProjectorListDlg::projectorCommandRequested);
        discovery.exec();
    }
    m_list = m_projectors.projectors();
    fillList();
}

void CProjectorListDlg::OnGetStatus() {
    runStoreQueries(true);
}

void CProjectorListDlg::OnImageInfo() {
    runStoreQueries(false);
}

void CProjectorListDlg::runStoreQueries(bool status) {
    if (isQuerying()) {
        return;
    }
    ProjectorList records;
    QList<StoreCommandRun::Step> steps;
    for (const int row : selectedRows()) {
        if (row < 0 || row >= m_list.size()) {
            continue;
        }
        const ProjectorRecord& r = m_list[row];
        records.append(r);
        const CommandTarget target{r.hostAddress(), r.authenticate(), r.password};
        for (int store = 1; store <= kStores; ++store) {
            // Each store is a step of its own, so a stop leaves the stores after it unasked.
            steps.append([status, store, target](const CommandContext& context) {
                if (status) {
                    return QVariant(QStringList{QueryStoreState(store, target, context).text, QString()});
                }
                const StoreInfo s = QueryStoreInfo(store, target, context);
                return QVariant(QStringList{s.name, s.size});
            });
        }
    }
    if (steps.isEmpty()) {
        return;
    }
    m_queryRecords = records;
    m_queryStep = -1;
    m_info = std::make_unique<CStoreListDlg>(status ? CStoreListDlg::Status : CStoreListDlg::Information,
                                             m_context, this);
    m_wait = std::make_unique<CGetWaitDlg>(status ? CGetWaitDlg::Status : CGetWaitDlg::Information, this);
    connect(m_wait.get(), &CGetWaitDlg::stopRequested, m_run.get(), &StoreCommandRun::stop);
    m_status->clear();
    m_status->hide();
    m_menuBar->setEnabled(false);
    m_table->setEnabled(false);
    m_run->start(steps);
    updateCommandStates();
}

void CProjectorListDlg::queryStarted(int step) {
    m_queryStep = step;
    if (step % kStores == 0) {
        m_storeTexts = {};
        m_wait->setLabel(m_queryRecords.value(step / kStores).name);
        m_wait->showOver(this);
    }
}

void CProjectorListDlg::queryFinished(int step, const QVariant& outcome) {
    m_storeTexts[static_cast<size_t>(step % kStores)] = outcome.toStringList();
    if (step % kStores != kStores - 1) {
        return;
    }
    m_wait->hide();
    const ProjectorRecord r = m_queryRecords.value(step / kStores);
    for (int store = 1; store <= kStores; ++store) {
        const QStringList& texts = m_storeTexts[static_cast<size_t>(store - 1)];
        m_info->setStoreText(store, texts.value(0), texts.value(1));
    }
    m_info->setTarget(CommandTarget{r.hostAddress(), r.authenticate(), r.password});
    m_info->setLabel(r.name);
    // The next projector is asked once this one's answers have been read.
    m_info->exec();
}

void CProjectorListDlg::queriesEnded(bool stopped) {
    m_wait->hide();
    if (stopped && m_queryStep >= 0) {
        m_status->setText(CatalogText(
            msg::WaitQueriesStopped, {VisibleText::shown(m_queryRecords.value(m_queryStep / kStores).name)}));
        m_status->show();
    }
    m_menuBar->setEnabled(true);
    m_table->setEnabled(true);
    updateCommandStates();
    Q_EMIT queriesFinished(stopped);
}

void CProjectorListDlg::OnExportCsv() {
    if (CMessageBox::show(this, CatalogText(msg::CsvExportPasswordWarning), CMessageBox::Icon::Warning,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    CFileDialogs::Request request;
    request.title = CatalogText(msg::CsvExportFileTitle);
    request.filter = CatalogText(msg::CsvFileFilter);
    request.defaultSuffix = QStringLiteral("csv");
    const QString path = CFileDialogs::instance().saveFile(this, request);
    if (path.isEmpty()) {
        return;
    }
    const IoResult r = PrivateFile::write(path, ProjectorCsv::write(m_list));
    if (!r.ok()) {
        CMessageBox::show(this,
                          CatalogText(msg::CsvWriteFailed, {path, FileErrorReason::ofSystemText(r.detail)}),
                          CMessageBox::Icon::Stop);
    }
}

void CProjectorListDlg::OnImportCsv() {
    CFileDialogs::Request request;
    request.title = CatalogText(msg::CsvImportFileTitle);
    request.filter = CatalogText(msg::CsvFileFilter);
    const QString path = CFileDialogs::instance().openFile(this, request);
    if (path.isEmpty()) {
        return;
    }
    QByteArray bytes;
    const IoResult read = PrivateFile::read(path, ProjectorCsv::kMaxFileSize, bytes);
    if (read.code == IoResult::Code::TooLarge) {
        CMessageBox::show(this, CatalogText(msg::CsvNotAList), CMessageBox::Icon::Stop);
        return;
    }
    if (!read.ok()) {
        CMessageBox::show(this,
                          CatalogText(msg::CsvReadFailed, {path, FileErrorReason::ofSystemText(read.detail)}),
                          CMessageBox::Icon::Stop);
        return;
    }
    const ProjectorCsv::Plan plan = ProjectorCsv::plan(bytes, m_list);
    if (!plan.readable) {
        CMessageBox::show(this, CatalogText(msg::CsvNotAList), CMessageBox::Icon::Stop);
        return;
    }
    if (plan.rows.isEmpty()) {
        CMessageBox::show(this, CatalogText(msg::CsvNoRows), CMessageBox::Icon::Stop);
        return;
    }
    CCsvImportDlg preview(plan, this);
    if (preview.exec() != QDialog::Accepted || plan.acceptedCount() == 0) {
        return;
    }
    m_list = plan.result;
    save();
}
