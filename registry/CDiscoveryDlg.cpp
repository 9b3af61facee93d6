#include "registry/CDiscoveryDlg.h"

#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/CPasswordPromptDlg.h"
#include "registry/LocalAddresses.h"
#include "registry/ProjectorStore.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QNetworkInterface>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {

QList<quint32> hostCandidates() {
    QList<quint32> out;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (!iface.flags().testFlag(QNetworkInterface::IsUp)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                out.append(entry.ip().toIPv4Address());
            }
        }
    }
    return out;
}

} // namespace

QList<quint32> CDiscoveryDlg::offeredAddresses(const QList<quint32>& hostAddresses, bool* cut) {
    QList<quint32> distinct;
    bool anyOutside = false;
    for (const quint32 a : hostAddresses) {
        if (a != 0 && !distinct.contains(a)) {
            distinct.append(a);
            anyOutside = anyOutside || (a >> 24) != 127;
        }
    }
    // Loopback is offered only on a host that has nothing else: the fallback is for a host
    // with no IPv4 address at all.
    const QList<quint32> offered = LocalAddresses::choose(distinct, !anyOutside);
    if (cut != nullptr) {
        qsizetype usable = 0;
        for (const quint32 a : distinct) {
            usable += (anyOutside && (a >> 24) == 127) ? 0 : 1;
        }
        *cut = usable > LocalAddresses::kMaxAddresses;
    }
    return offered;
}

CDiscoveryDlg::CDiscoveryDlg(ProjectorStore& store, SaveList save, QWidget* parent,
                             const DiscoverySearch::Options& options)
    : QDialog(parent), m_projectors(store), m_save(std::move(save)), m_search(options) {
    setObjectName(QStringLiteral("discoveryDlg"));
    setWindowTitle(CatalogText(msg::DiscoveryDlgTitle));

    auto* localLabel = new QLabel(CatalogText(msg::LabelLocalAddress), this);
    m_local = new QComboBox(this);
    m_local->setObjectName(QStringLiteral("localAddressList"));
    localLabel->setBuddy(m_local);
    m_start = new QPushButton(CatalogText(msg::ButtonStartSearch), this);
    m_start->setObjectName(QStringLiteral("startButton"));
    m_start->setDefault(true);
    m_list = new QTableWidget(0, 4, this);
    m_list->setObjectName(QStringLiteral("foundTable"));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setMinimumSize(560, 220);
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_register = new QPushButton(CatalogText(msg::ButtonRegister), this);
    m_register->setObjectName(QStringLiteral("registerButton"));
    m_stopProbe = new QPushButton(CatalogText(msg::ButtonStop), this);
    m_stopProbe->setObjectName(QStringLiteral("stopButton"));
    m_stopProbe->hide();
    auto* cancel = new QPushButton(CatalogText(msg::ButtonCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));

    auto* top = new QHBoxLayout;
    top->addWidget(localLabel);
    top->addWidget(m_local, 1);
    top->addWidget(m_start);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_progress);
    bottom->addWidget(m_register);
    bottom->addWidget(m_stopProbe);
    bottom->addWidget(cancel);
    auto* grid = new QGridLayout(this);
    grid->addLayout(top, 0, 0);
    grid->addWidget(m_list, 1, 0);
    grid->addLayout(bottom, 2, 0);

    m_context = new QMenu(this);
    m_context->setObjectName(QStringLiteral("contextMenu"));
    const std::array<std::pair<int, CatalogId>, 3> commands{
        {{Cmd::Send, msg::MenuSend},
         {Cmd::ImageInformation, msg::MenuImageInformation},
         {Cmd::TransmissionState, msg::MenuTransmissionState}}};
    for (const auto& [id, text] : commands) {
        QAction* a = m_context->addAction(CatalogText(text));
        a->setObjectName(Cmd::actionName(id));
        connect(a, &QAction::triggered, this, [this, id = id] {
            // The device the menu was opened on, wherever a refill has put its row since;
            // without a right-click, the current row's.
            std::optional<DiscoveredDevice> d = std::exchange(m_menuDevice, std::nullopt);
            if (const int current = m_list->currentRow(); !d && current >= 0 && current < m_found.count()) {
                d = m_found.devices()[current];
            }
            if (d) {
                const int row = rowOf(*d);
                const DiscoveredDevice& now = row >= 0 ? m_found.devices()[row] : *d;
                Q_EMIT projectorCommandRequested(id, Ipv4::toHost(now.address));
            }
        });
    }

    connect(m_start, &QPushButton::clicked, this, &CDiscoveryDlg::OnStart);
    connect(m_register, &QPushButton::clicked, this, &CDiscoveryDlg::OnRegister);
    connect(m_stopProbe, &QPushButton::clicked, this, &CDiscoveryDlg::stopProbe);
    connect(cancel, &QPushButton::clicked, this, &CDiscoveryDlg::reject);
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
            [this] { m_register->setEnabled(!isSearching() && !isProbing() && !selectedRows().isEmpty()); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = m_list->rowAt(at.y());
        if (m_found.count() == 0 || row < 0 || row >= m_found.count()) {
            return;
        }
        m_list->setCurrentCell(row, 0, QItemSelectionModel::NoUpdate);
        m_menuDevice = m_found.devices()[row];
        m_projectors.setCurrentProjector(Ipv4::toHost(m_menuDevice->address));
        m_context->popup(m_list->viewport()->mapToGlobal(at));
    });

    m_list->setHorizontalHeaderLabels({CatalogText(msg::ColumnProjectorName),
                                       CatalogText(msg::ColumnMacAddress), CatalogText(msg::ColumnIpAddress),
                                       CatalogText(msg::ColumnInList)});
    m_list->setAccessibleName(windowTitle());
    m_progress->setAccessibleName(CatalogText(msg::StatusSearching));

    bool cut = false;
    m_addresses = offeredAddresses(hostCandidates(), &cut);
    for (const quint32 a : m_addresses) {
        m_local->addItem(Ipv4::toText(a));
    }
    m_local->setCurrentIndex(0);
    if (cut) {
        m_status->setText(CatalogText(msg::LocalAddressesCut));
    }
    m_register->setEnabled(false);
    resize(680, 380);
}

CDiscoveryDlg::~CDiscoveryDlg() {
    endSearch();
}

int CDiscoveryDlg::exec() {
    const DiscoverySearch::Status opened = m_search.open();
    if (opened != DiscoverySearch::Status::Ok) {
        CMessageBox::show(this, CatalogText(DiscoverySearch::textFor(opened), m_search.insertsFor(opened)),
                          CMessageBox::Icon::Stop);
        return QDialog::Rejected;
    }
    const int result = QDialog::exec();
    endSearch();
    return result;
}

void CDiscoveryDlg::OnStart() {
    if (isSearching() || isProbing()) {
        return;
    }
    m_found.clear();
    fillList();
    m_status->setText(CatalogText(msg::StatusSearching));
    const int index = m_local->currentIndex();
    const quint32 local =
        index >= 0 && index < m_addresses.size() ? m_addresses[index] : LocalAddresses::kFallback;
    m_start->setEnabled(false);
    m_local->setEnabled(false);
    m_register->setEnabled(false);
    // Counts the quiet waits that end a search; rows appear as their answers arrive.
    m_progress->setRange(0, m_search.options().timeouts);
    m_progress->setValue(0);
    m_search.setFoundCallback([this](const QByteArray& record) {
        QMetaObject::invokeMethod(
            this,
            [this, record] {
                if (isSearching() && m_found.add(record)) {
                    fillList();
                }
            },
            Qt::QueuedConnection);
    });
    m_search.setWaitCallback([this](int quietWaits) {
        QMetaObject::invokeMethod(
            this,
            [this, quietWaits] {
                if (isSearching()) {
                    m_progress->setValue(qMin(quietWaits, m_progress->maximum()));
                    m_status->setText(CatalogText(msg::DiscoveryWaiting, {QString::number(quietWaits)}));
                }
            },
            Qt::QueuedConnection);
    });

    auto result = std::make_shared<std::pair<DiscoverySearch::Status, DiscoveredDeviceTable>>();
    m_thread =
        QThread::create([this, local, result] { result->first = m_search.search(local, result->second); });
    QThread* thread = m_thread;
    connect(
        m_thread, &QThread::finished, this,
        [this, thread, result] {
            if (m_thread != thread) {
                return; // ended by closing the dialog
            }
            m_thread->wait();
            delete m_thread;
            m_thread = nullptr;
            searchEnded(result->first, result->second);
        },
        Qt::QueuedConnection);
    m_thread->start();
}

void CDiscoveryDlg::searchEnded(DiscoverySearch::Status status, const DiscoveredDeviceTable& found) {
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    m_start->setEnabled(true);
    m_local->setEnabled(true);
    if (status == DiscoverySearch::Status::SendFailed) {
        m_status->clear();
        CMessageBox::show(this, CatalogText(msg::DiscoverySendFailed), CMessageBox::Icon::None);
        return;
    }
    if (status != DiscoverySearch::Status::Ok) {
        m_status->clear();
        CMessageBox::show(this, CatalogText(DiscoverySearch::textFor(status), m_search.insertsFor(status)),
                          CMessageBox::Icon::Stop);
        return;
    }
    m_found = found;
    fillList();
    m_status->setText(CatalogText(msg::StatusSearchDone));
}

int CDiscoveryDlg::rowOf(const DiscoveredDevice& device) const {
    // The table tells devices apart by name and MAC; an answer may bring a new address.
    const QList<DiscoveredDevice>& devices = m_found.devices();
    for (int row = 0; row < devices.size(); ++row) {
        if (devices[row].mac == device.mac && devices[row].nameBytes == device.nameBytes) {
            return row;
        }
    }
    return -1;
}

void CDiscoveryDlg::fillList() {
    const ProjectorList list = m_projectors.projectors();
    // The rows the user chose stay chosen however the refill moves them.
    QList<DiscoveredDevice> chosen;
    std::optional<DiscoveredDevice> current;
    for (const int row : selectedRows()) {
        if (row < m_shown.size()) {
            chosen << m_shown[row];
        }
    }
    if (const int row = m_list->currentRow(); row >= 0 && row < m_shown.size()) {
        current = m_shown[row];
    }
    m_shown = m_found.devices();
    m_list->clearContents();
    m_list->setRowCount(0);
    m_list->setRowCount(m_found.count());
    for (int row = 0; row < m_found.count(); ++row) {
        const DiscoveredDevice& d = m_found.devices()[row];
        m_list->setItem(row, 0, new QTableWidgetItem(VisibleText::shown(d.name())));
        m_list->setItem(row, 1, new QTableWidgetItem(d.mac));
        m_list->setItem(row, 2, new QTableWidgetItem(Ipv4::toText(d.address)));
        // Beside the device: whether the list already has it, or its address for another.
        QString state = CatalogText(msg::DiscoveryRowNew);
        for (const ProjectorRecord& r : list) {
            if (!r.mac.isEmpty() && r.mac.compare(d.mac, Qt::CaseInsensitive) == 0) {
                state = CatalogText(msg::DiscoveryRowInList);
                break;
            }
            if (r.address == d.address) {
                state = CatalogText(msg::DiscoveryRowAddressTaken, {VisibleText::shown(r.name)});
            }
        }
        m_list->setItem(row, 3, new QTableWidgetItem(state));
    }
    if (current) {
        if (const int row = rowOf(*current); row >= 0) {
            m_list->setCurrentCell(row, 0, QItemSelectionModel::NoUpdate);
        }
    }
    for (const DiscoveredDevice& d : chosen) {
        if (const int row = rowOf(d); row >= 0) {
            m_list->selectionModel()->select(m_list->model()->index(row, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    setColumnWidths();
    m_register->setEnabled(!isSearching() && !isProbing() && !selectedRows().isEmpty());
}

// Name, MAC and address as the original list had them (7, 5 and 4 sixteenths), less one
// sixteenth each for the column that says whether the list has the device.
void CDiscoveryDlg::setColumnWidths() {
    const int w = m_list->viewport()->width() / 16;
    m_list->setColumnWidth(0, w * 6);
    m_list->setColumnWidth(1, w * 4);
    m_list->setColumnWidth(2, w * 3);
}

void CDiscoveryDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setColumnWidths();
}

QList<int> CDiscoveryDlg::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : m_list->selectionModel()->selectedRows()) {
        rows << i.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CDiscoveryDlg::OnRegister() {
    if (isSearching() || isProbing()) {
        return;
    }
    m_pending.clear();
    for (const int row : selectedRows()) {
        if (row >= 0 && row < m_found.count()) {
            m_pending << m_found.devices()[row];
        }
    }
    if (m_pending.isEmpty()) {
        registerPending({}, {});
        return;
    }
    startProbe();
}

void CDiscoveryDlg::setBusy(bool busy) {
    m_start->setEnabled(!busy);
    m_local->setEnabled(!busy);
    m_register->setEnabled(!busy && !selectedRows().isEmpty());
    m_stopProbe->setVisible(busy);
    m_stopProbe->setEnabled(busy);
}

void CDiscoveryDlg::startProbe() {
    QList<quint32> addresses;
    for (const DiscoveredDevice& d : m_pending) {
        addresses << Ipv4::toHost(d.address);
    }
    const int total = static_cast<int>(addresses.size());
    m_probeStop = false;
    m_progress->setRange(0, total);
    m_progress->setValue(0);
    m_status->setText(CatalogText(msg::RegisterProbing, {QStringLiteral("0"), QString::number(total)}));
    auto verdicts = std::make_shared<QList<GreetingProbe::Verdict>>();
    m_probeThread = QThread::create([this, addresses, verdicts, total, timeouts = m_probeTimeouts] {
        *verdicts = GreetingProbe::probeAll(addresses, timeouts, &m_probeStop, [this, total](int done) {
            QMetaObject::invokeMethod(
                this,
                [this, done, total] {
                    if (isProbing()) {
                        m_progress->setValue(done);
                        m_status->setText(CatalogText(msg::RegisterProbing,
                                                      {QString::number(done), QString::number(total)}));
                    }
                },
                Qt::QueuedConnection);
        });
    });
    QThread* thread = m_probeThread;
    connect(
        m_probeThread, &QThread::finished, this,
        [this, thread, verdicts] {
            if (m_probeThread != thread) {
                return; // ended by closing the dialog
            }
            m_probeThread->wait();
            delete m_probeThread;
            m_probeThread = nullptr;
            probeEnded(*verdicts);
        },
        Qt::QueuedConnection);
    setBusy(true);
    m_stopProbe->setFocus();
    m_probeThread->start();
}

void CDiscoveryDlg::stopProbe() {
    m_probeStop = true; // each wait of the probe sees it within a fraction of a second
}

void CDiscoveryDlg::probeEnded(const QList<GreetingProbe::Verdict>& verdicts) {
    setBusy(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    const bool stopped = m_probeStop.load() || verdicts.size() != m_pending.size() ||
                         std::any_of(verdicts.begin(), verdicts.end(),
                                     [](auto v) { return v == GreetingProbe::Verdict::Stopped; });
    if (stopped) {
        m_status->setText(CatalogText(msg::RegisterStopped));
        return;
    }
    QStringList demanding;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (verdicts[i] == GreetingProbe::Verdict::Challenge) {
            demanding << QStringLiteral("%1 (%2)").arg(m_pending[i].name(),
                                                       Ipv4::toText(m_pending[i].address));
        }
    }
    QString password;
    if (!demanding.isEmpty()) {
        // One question for all of them: a room's projectors usually share one password.
        CPasswordPromptDlg prompt(demanding, this);
        if (prompt.exec() != QDialog::Accepted) {
            m_status->setText(CatalogText(msg::RegisterNoPassword));
            return;
        }
        password = prompt.password();
    }
    registerPending(verdicts, password);
}

void CDiscoveryDlg::registerPending(const QList<GreetingProbe::Verdict>& verdicts, const QString& password) {
    ProjectorList copy = m_projectors.projectors();
    int refused = 0;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        const DiscoveredDevice& d = m_pending[i];
        // A projector that sent no challenge, or could not be asked, is stored with
        // authentication off: every command to it would otherwise wait for a greeting in vain.
        const bool challenge = i < verdicts.size() && verdicts[i] == GreetingProbe::Verdict::Challenge;
        ProjectorRecord fresh;
        fresh.name = d.name().left(ProjectorRecord::kMaxName);
        if (VisibleText::containsInvisible(fresh.name)) {
            // A name that hides or reverses text could pass for another projector's: it is
            // registered only without those characters, and only when the user agrees.
            QString cleaned = VisibleText::withoutInvisible(fresh.name).trimmed();
            if (cleaned.isEmpty()) {
                cleaned = d.mac;
            }
            if (CMessageBox::show(
                    this,
                    CatalogText(msg::AskRegisterCleanedName,
                                {Ipv4::toText(d.address), VisibleText::shown(fresh.name), cleaned}),
                    CMessageBox::Icon::Question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
                continue;
            }
            fresh.name = cleaned;
        }
        fresh.mac = d.mac;
        fresh.address = d.address;
        fresh.authMark = challenge ? QStringLiteral("1") : QStringLiteral("0");
        fresh.password = challenge ? password : QString();
        const auto same = std::find_if(copy.begin(), copy.end(),
                                       [&d](const ProjectorRecord& r) { return r.address == d.address; });
        if (same != copy.end()) {
            const QStringList octets{QString::number(d.address[0]), QString::number(d.address[1]),
                                     QString::number(d.address[2]), QString::number(d.address[3])};
            if (CMessageBox::show(this, CatalogText(msg::AskOverwriteProjector, octets),
                                  CMessageBox::Icon::None,
                                  QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok) {
                *same = fresh;
            }
            continue;
        }
        if (copy.size() >= kMaxProjectors) {
            ++refused;
            continue;
        }
        copy.append(fresh);
    }
    m_pending.clear();
    if (refused > 0) {
        CMessageBox::show(this, CatalogText(msg::RegisterListFull, {QString::number(refused)}),
                          CMessageBox::Icon::Warning);
    }
    m_save(copy);
    endSearch();
    QDialog::done(QDialog::Rejected);
}

void CDiscoveryDlg::endSearch() {
    if (m_probeThread != nullptr) {
        m_probeStop = true;
        m_probeThread->wait();
        delete m_probeThread;
        m_probeThread = nullptr;
    }
    if (m_thread != nullptr) {
        // The search sees the request at its next wait, within one second. A search that
        // is only starting clears the request, so it is repeated until the worker ends.
        do {
            m_search.requestStop();
        } while (!m_thread->wait(50));
        delete m_thread;
        m_thread = nullptr;
    }
    m_search.close();
}

void CDiscoveryDlg::reject() {
    endSearch();
    QDialog::reject();
}
