#include "workspace/CImageSendDlg.h"

#include "app/CMessageBox.h"
#include "common/TextRules.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "imaging/SendableImage.h"
#include "protocol/ImageUpload.h"
#include "protocol/ResultExplanation.h"
#include "registry/Ipv4.h"
#include "registry/ProjectorStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstring>

namespace {

enum Column { NameColumn = 0, AddressColumn, StatusColumn, ProgressColumn };

// The user's last choice of targets, by MAC text and address, for the life of the program.
QHash<QString, bool>& rememberedChoices() {
    static QHash<QString, bool> choices;
    return choices;
}

QString choiceKey(const CImageSendDlg::Record& r) {
    return QString::fromLatin1(r.mac).toLower() + u'|' + QString::number(r.address);
}

// A text of at most max bytes, up to its first zero byte.
QByteArray copyText(const char* text, size_t max) {
    if (text == nullptr) {
        return {};
    }
    return QByteArray(text, static_cast<qsizetype>(::strnlen(text, max)));
}

QPushButton* button(QWidget* parent, CatalogId text, const char* name) {
    auto* b = new QPushButton(CatalogText(text), parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(b->text().remove(u'&'));
    return b;
}

bool counted(SendEngine::Stage stage) {
    return SendEngine::isEnded(stage);
}

} // namespace

CImageSendDlg::CImageSendDlg(int /*unused*/, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("imageSendDlg"));
    setWindowTitle(CatalogText(msg::SendDlgTitle));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("projectorTable"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({CatalogText(msg::ColumnProjectorName), CatalogText(msg::ColumnIpAddress),
                             CatalogText(msg::SendColumnStatus), QString()});
    m_list->setAccessibleName(CatalogText(msg::SendDlgTitle));
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(StatusColumn, QHeaderView::Stretch);
    m_list->setColumnWidth(NameColumn, 200);
    m_list->setColumnWidth(AddressColumn, 100);
    m_list->setColumnWidth(ProgressColumn, 90);

    m_store = new QComboBox(this);
    m_store->setObjectName(QStringLiteral("storeList"));
    m_store->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    auto* storeLabel = new QLabel(CatalogText(msg::LabelStoreNo), this);
    storeLabel->setBuddy(m_store);
    m_store->setAccessibleName(storeLabel->text().remove(u'&'));
    m_verify = new QCheckBox(CatalogText(msg::SendVerify), this);
    m_verify->setObjectName(QStringLiteral("verifyCheck"));
    m_verify->setAccessibleName(m_verify->text().remove(u'&'));
    m_verify->setChecked(true);

    m_selectAll = button(this, msg::SendSelectAll, "selectAllButton");
    m_selectNone = button(this, msg::SendSelectNone, "selectNoneButton");
    m_send = button(this, msg::SendButtonSend, "sendButton");
    m_send->setDefault(true);
    m_retry = button(this, msg::SendRetryFailed, "retryFailedButton");
    m_stop = button(this, msg::SendStop, "stopButton");
    m_projectorList = button(this, msg::MenuProjectorList, "projectorListButton");
    m_projectorList->hide();
    m_close = button(this, msg::ButtonClose, "closeButton");

    m_summary = new QLabel(this);
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setObjectName(QStringLiteral("summaryLabel"));
    m_overall = new QProgressBar(this);
    m_overall->setObjectName(QStringLiteral("overallProgressBar"));
    m_overall->setRange(0, 1);
    m_overall->setValue(0);
    m_overall->setAccessibleName(CatalogText(msg::SendColumnStatus));

    m_groupChoice = new QComboBox(this);
    m_groupChoice->setObjectName(QStringLiteral("groupCombo"));
    m_groupChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_groupLabel = new QLabel(CatalogText(msg::LabelSendGroup), this);
    m_groupLabel->setBuddy(m_groupChoice);
    m_groupChoice->setAccessibleName(m_groupLabel->text().remove(u'&'));
    m_checkGroup = button(this, msg::ButtonCheckGroup, "checkGroupButton");
    m_checkGroup->setAutoDefault(false);
    for (QWidget* w : std::initializer_list<QWidget*>{m_groupLabel, m_groupChoice, m_checkGroup}) {
        w->hide();
    }

    auto* options = new QHBoxLayout;
    options->addWidget(storeLabel);
    options->addWidget(m_store);
    options->addSpacing(16);
    options->addWidget(m_verify);
    options->addSpacing(16);
    options->addWidget(m_groupLabel);
    options->addWidget(m_groupChoice);
    options->addWidget(m_checkGroup);
    options->addStretch(1);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_send, m_retry, m_stop, m_selectAll, m_selectNone, m_projectorList}) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    buttons->addWidget(m_close);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_list, 0, 0);
    grid->addLayout(buttons, 0, 1, 3, 1);
    grid->addLayout(options, 1, 0);
    grid->addWidget(m_overall, 2, 0);
    grid->addWidget(m_summary, 3, 0, 1, 2);
    resize(900, 420);

    connect(m_selectAll, &QPushButton::clicked, this, [this] { setAllChecked(true); });
    connect(m_selectNone, &QPushButton::clicked, this, [this] { setAllChecked(false); });
    connect(m_checkGroup, &QPushButton::clicked, this, &CImageSendDlg::checkGroup);
    connect(m_send, &QPushButton::clicked, this, &CImageSendDlg::onSend);
    connect(m_retry, &QPushButton::clicked, this, &CImageSendDlg::onRetry);
    connect(m_projectorList, &QPushButton::clicked, this, [this] {
        if (m_openProjectorList) {
            m_openProjectorList();
        }
    });
    connect(m_stop, &QPushButton::clicked, this, &CImageSendDlg::onStop);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemChanged, this, [this] { updateButtons(); });
    updateButtons();
}

CImageSendDlg::~CImageSendDlg() {
    // The engine's destructor stops the workers and waits for them.
    m_engine.reset();
    release(m_uploading);
}

void CImageSendDlg::release(const QList<quint32>& addresses) {
    for (const quint32 a : addresses) {
        if (m_uploading.removeOne(a)) {
            Q_EMIT uploading(a, false);
        }
    }
}

void CImageSendDlg::DataAdd(QString name, quint32 address, int authenticate, const char* password,
                            const char* mac, int first, int second) {
    Record r;
    r.name = std::move(name);
    r.address = address;
    r.authenticate = authenticate;
    r.password = copyText(password, 256);
    r.mac = copyText(mac, 32);
    r.first = first;
    r.second = second;
    m_records.append(r);
    if (m_filled) {
        fillRows();
    }
}

void CImageSendDlg::setPictureSize(quint32 width, quint32 height) {
    m_pictureWidth = width;
    m_pictureHeight = height;
    m_sizeKnown = true;
}

void CImageSendDlg::checkOnly(quint32 address) {
    m_onlyAddress = address;
    if (m_filled) {
        fillRows();
    }
}

void CImageSendDlg::showEvent(QShowEvent* event) {
    if (!m_filled) {
        fillRows();
        const QFileInfo info(m_imagePath);
        m_checkedSize = info.exists() ? info.size() : -1;
        m_checkedTime = info.exists() ? info.lastModified() : QDateTime();
    }
    QDialog::showEvent(event);
}

void CImageSendDlg::fillRows() {
    m_filled = true;
    const QSignalBlocker block(m_list);
    m_list->clear();
    m_rowBars.clear();
    m_rowStates.assign(static_cast<size_t>(m_records.size()), std::nullopt);
    const auto& choices = rememberedChoices();
    for (const Record& r : m_records) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(NameColumn, VisibleText::shown(r.name));
        item->setText(AddressColumn, Ipv4::toText(r.address));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        bool checked = choices.value(choiceKey(r), true);
        if (m_onlyAddress) {
            checked = r.address == *m_onlyAddress;
        }
        item->setCheckState(NameColumn, checked ? Qt::Checked : Qt::Unchecked);
        auto* bar = new QProgressBar(m_list);
        bar->setRange(0, 1);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setAccessibleName(VisibleText::shown(r.name));
        m_list->setItemWidget(item, ProgressColumn, bar);
        m_rowBars.append(bar);
    }
    if (m_records.isEmpty()) {
        m_summary->setText(CatalogText(msg::SendNoProjectors));
    }
    updateButtons();
}

void CImageSendDlg::setGroups(const QList<ProjectorGroups::Group>& groups) {
    m_groups = groups;
    m_groupChoice->clear();
    for (const ProjectorGroups::Group& g : groups) {
        m_groupChoice->addItem(VisibleText::shown(g.name));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_groupLabel, m_groupChoice, m_checkGroup}) {
        w->setVisible(!groups.isEmpty());
    }
}

void CImageSendDlg::checkGroup() {
    const int chosen = m_groupChoice->currentIndex();
    if (chosen < 0 || chosen >= m_groups.size() || m_engine) {
        return;
    }
    const QList<quint32>& members = m_groups[chosen].members;
    const QSignalBlocker block(m_list);
    for (int i = 0; i < m_list->topLevelItemCount() && i < m_records.size(); ++i) {
        const bool in = members.contains(m_records[i].address);
        m_list->topLevelItem(i)->setCheckState(NameColumn, in ? Qt::Checked : Qt::Unchecked);
    }
    updateButtons();
}

void CImageSendDlg::setAllChecked(bool checked) {
    const QSignalBlocker block(m_list);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        m_list->topLevelItem(i)->setCheckState(NameColumn, checked ? Qt::Checked : Qt::Unchecked);
    }
    updateButtons();
}

void CImageSendDlg::rememberChoice() const {
    auto& choices = rememberedChoices();
    for (int i = 0; i < m_records.size() && i < m_list->topLevelItemCount(); ++i) {
        choices.insert(choiceKey(m_records[i]),
                       m_list->topLevelItem(i)->checkState(NameColumn) == Qt::Checked);
    }
}

std::optional<QByteArray> CImageSendDlg::readPicture() {
    const QFileInfo info(m_imagePath);
    int reason = SendableImage::Sendable;
    const quint32 width = m_sizeKnown ? m_pictureWidth : SendableImage::kMinWidth;
    const quint32 height = m_sizeKnown ? m_pictureHeight : SendableImage::kMinHeight;
    if (!IsSendableImage(m_imagePath, width, height, reason)) {
        CMessageBox::show(this, CatalogText(msg::SendFileNotSendable, {QString::number(reason)}),
                          CMessageBox::Icon::Stop);
        return std::nullopt;
    }
    if (info.size() != m_checkedSize || info.lastModified() != m_checkedTime) {
        CMessageBox::show(this, CatalogText(msg::SendFileChanged), CMessageBox::Icon::Stop);
        return std::nullopt;
    }
    QFile file(m_imagePath);
    QByteArray content;
    if (file.open(QIODevice::ReadOnly)) {
        content = file.readAll();
    }
    if (content.size() != m_checkedSize) {
        CMessageBox::show(this, CatalogText(msg::SendFileChanged), CMessageBox::Icon::Stop);
        return std::nullopt;
    }
    return content;
}

void CImageSendDlg::onSend() {
    QList<int> rows;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->checkState(NameColumn) == Qt::Checked) {
            rows << i;
        }
    }
    rememberChoice();
    if (rows.isEmpty()) {
        CMessageBox::show(this, CatalogText(msg::SendNothingChecked), CMessageBox::Icon::Stop);
        return;
    }
    startSend(rows, true);
}

void CImageSendDlg::onRetry() {
    QList<int> rows;
    for (int i = 0; i < static_cast<int>(m_rowStates.size()); ++i) {
        const auto& s = m_rowStates[static_cast<size_t>(i)];
        if (s && (s->stage == SendEngine::Stage::Failed || s->stage == SendEngine::Stage::Mismatch)) {
            rows << i;
        }
    }
    if (!rows.isEmpty()) {
        startSend(rows, false);
    }
}

void CImageSendDlg::startSend(const QList<int>& rows, bool fresh) {
    if (m_engine) {
        return;
    }
    const std::optional<QByteArray> content = readPicture();
    if (!content) {
        return;
    }
    SendEngine::Job job;
    job.fileName = ImageUpload::baseName(m_imagePath).toUtf8();
    job.content = *content;
    job.storeNumber = m_store->currentIndex() + 1;
    job.verify = m_verify->isChecked();
    job.maxParallel = m_maxParallel;
    job.context = m_context;
    QList<CommandTarget> targets;
    const ProjectorList now = m_projectors != nullptr ? m_projectors->projectors() : ProjectorList{};
    for (int row : rows) {
        Record& r = m_records[row];
        // The list as it is now: a password mended since the dialog opened counts.
        for (const ProjectorRecord& p : now) {
            if (p.hostAddress() == r.address) {
                r.authenticate = TextRules::toInt(p.authMark);
                r.password = p.password.toUtf8().left(255);
                break;
            }
        }
        targets.append(CommandTarget{r.address, r.authenticate, QString::fromUtf8(r.password)});
        m_rowStates[static_cast<size_t>(row)] = SendEngine::TargetState{};
    }
    if (fresh) {
        // A new send starts a new account; a retry adds to the one before.
        for (int i = 0; i < static_cast<int>(m_rowStates.size()); ++i) {
            if (!rows.contains(i) && m_rowStates[static_cast<size_t>(i)]) {
                m_rowStates[static_cast<size_t>(i)].reset();
                if (QTreeWidgetItem* item = m_list->topLevelItem(i)) {
                    item->setText(StatusColumn, QString());
                    markFailed(item, false);
                }
                if (QProgressBar* bar = m_rowBars.value(i)) {
                    bar->setValue(0);
                }
            }
        }
    }
    m_engineRows = rows;
    m_engine = std::make_unique<SendEngine>(std::move(job), targets);
    // Queued: the engine reports from its own thread, and a report never runs inside a
    // call into the engine.
    const int run = ++m_run;
    connect(
        m_engine.get(), &SendEngine::targetChanged, this,
        [this, run](int index, const SendEngine::TargetState& state) { onTargetChanged(run, index, state); },
        Qt::QueuedConnection);
    connect(
        m_engine.get(), &SendEngine::finished, this,
        [this, run] {
            if (run == m_run && m_engine) {
                finishRun();
            }
        },
        Qt::QueuedConnection);
    for (const CommandTarget& t : targets) {
        m_uploading.append(t.address);
        Q_EMIT uploading(t.address, true);
    }
    m_engine->start();
    for (int row : rows) {
        refreshRow(row);
    }
    refreshSummary();
    updateButtons();
}

void CImageSendDlg::onStop() {
    if (m_engine) {
        m_engine->stop();
        m_stop->setEnabled(false);
    }
}

void CImageSendDlg::onTargetChanged(int run, int index, const SendEngine::TargetState& state) {
    if (run != m_run || index < 0 || index >= m_engineRows.size()) {
        return;
    }
    const int row = m_engineRows[index];
    m_rowStates[static_cast<size_t>(row)] = state;
    refreshRow(row);
    if (SendEngine::isEnded(state.stage)) {
        release({m_records[row].address});
    }
    summaryLater();
}

void CImageSendDlg::summaryLater() {
    if (m_summaryPending) {
        return;
    }
    m_summaryPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_summaryPending = false;
            refreshSummary();
        },
        Qt::QueuedConnection);
}

void CImageSendDlg::finishRun() {
    // The engine has ended (or is told to): its last word is read here, and reports of
    // this run still on their way are dropped.
    m_engine->wait(30000);
    const std::vector<SendEngine::TargetState> states = m_engine->snapshot();
    ++m_run;
    for (int i = 0; i < static_cast<int>(states.size()) && i < m_engineRows.size(); ++i) {
        const int row = m_engineRows[i];
        m_rowStates[static_cast<size_t>(row)] = states[static_cast<size_t>(i)];
        refreshRow(row);
    }
    m_engine.reset();
    release(m_uploading);
    refreshSummary();
    updateButtons();
    if (m_closeWhenDone) {
        bool all = true;
        for (const auto& s : m_rowStates) {
            all = all && (!s || SendEngine::isDelivered(s->stage));
        }
        if (all) {
            accept();
        }
    }
}

// Not by colour alone: the icon tells a failed row to those who cannot tell red apart.
void CImageSendDlg::markFailed(QTreeWidgetItem* item, bool failed) {
    if (failed) {
        item->setIcon(StatusColumn, style()->standardIcon(QStyle::SP_MessageBoxCritical));
        item->setForeground(StatusColumn, QColor(0xB0, 0x00, 0x20));
    } else {
        item->setIcon(StatusColumn, QIcon());
        item->setData(StatusColumn, Qt::ForegroundRole, QVariant());
    }
}

std::optional<SendEngine::TargetState> CImageSendDlg::rowState(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rowStates.size())) {
        return std::nullopt;
    }
    return m_rowStates[static_cast<size_t>(row)];
}

QString CImageSendDlg::rowText(int row) const {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item != nullptr ? item->text(StatusColumn) : QString();
}

QString CImageSendDlg::summaryText() const {
    return m_summary->text();
}

void CImageSendDlg::refreshRow(int row) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    const auto& s = m_rowStates[static_cast<size_t>(row)];
    if (item == nullptr || !s) {
        return;
    }
    const QSignalBlocker block(m_list);
    const bool failed = s->stage == SendEngine::Stage::Failed;
    const QString text = SendEngine::stageText(*s, m_context.timeouts);
    // A failure reads as what to check; its code stays in the tooltip.
    const ResultExplanation why = ResultExplanation::of(s->result);
    const std::optional<CatalogId> brief = failed ? why.rowText() : std::nullopt;
    item->setText(StatusColumn, brief ? CatalogText(*brief) : text);
    // A narrow column still lets the whole text be read; a failure also says what to check.
    item->setToolTip(StatusColumn, VisibleText::toolTip(failed ? text + u'\n' + why.text() : text));
    markFailed(item, failed);
    QProgressBar* bar = m_rowBars.value(row);
    if (bar == nullptr) {
        return;
    }
    using Stage = SendEngine::Stage;
    switch (s->stage) {
    case Stage::Sending:
        bar->setRange(0, 1000);
        bar->setValue(s->total > 0 ? static_cast<int>(s->sent * 1000 / s->total) : 0);
        break;
    case Stage::Verdict:
    case Stage::Verifying:
        bar->setRange(0, 1000);
        bar->setValue(1000);
        break;
    case Stage::Waiting:
    case Stage::Connecting:
        bar->setRange(0, 1000);
        bar->setValue(0);
        break;
    default:
        bar->setRange(0, 1000);
        bar->setValue(SendEngine::isDelivered(s->stage) ? 1000 : 0);
        break;
    }
}

void CImageSendDlg::refreshSummary() {
    int delivered = 0;
    int failed = 0;
    int stopped = 0;
    int ended = 0;
    int total = 0;
    for (const auto& s : m_rowStates) {
        total += s ? 1 : 0;
        if (!s || !counted(s->stage)) {
            continue;
        }
        ++ended;
        if (SendEngine::isDelivered(s->stage)) {
            ++delivered;
        } else if (s->stage == SendEngine::Stage::Stopped) {
            ++stopped;
        } else {
            ++failed;
        }
    }
    m_summary->setText(
        CatalogText(msg::SendSummary, {CatalogNumber::format(delivered), CatalogNumber::format(total),
                                       CatalogNumber::format(failed), CatalogNumber::format(stopped)}));
    m_overall->setRange(0, qMax(1, total));
    m_overall->setValue(ended);
}

void CImageSendDlg::updateButtons() {
    const bool running = m_engine != nullptr;
    bool anyChecked = false;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        anyChecked = anyChecked || m_list->topLevelItem(i)->checkState(NameColumn) == Qt::Checked;
    }
    bool anyFailed = false;
    for (const auto& s : m_rowStates) {
        anyFailed = anyFailed ||
                    (s && (s->stage == SendEngine::Stage::Failed || s->stage == SendEngine::Stage::Mismatch));
    }
    m_send->setEnabled(!running && anyChecked);
    m_retry->setEnabled(!running && anyFailed);
    m_stop->setEnabled(running && !m_engine->stopRequested());
    m_selectAll->setEnabled(!running);
    m_selectNone->setEnabled(!running);
    m_checkGroup->setEnabled(!running);
    m_groupChoice->setEnabled(!running);
    m_store->setEnabled(!running);
    m_verify->setEnabled(!running);
    m_list->setEnabled(true);
}

void CImageSendDlg::done(int result) {
    if (m_engine) {
        const auto answer =
            CMessageBox::show(this, CatalogText(msg::SendAskStopAndClose), CMessageBox::Icon::Question,
                              QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            return;
        }
        m_engine->stop();
        finishRun();
    }
    rememberChoice();
    QDialog::done(result);
}

void CImageSendDlg::setProjectorListOpener(std::function<void()> open) {
    m_openProjectorList = std::move(open);
    m_projectorList->setVisible(static_cast<bool>(m_openProjectorList));
}
