#include "protocol/CStoreCommandDlg.h"

#include "app/CMessageBox.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/StoreCommandRun.h"
#include "registry/CProjectorTable.h"
#include "registry/ProjectorStore.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace {

QComboBox* storeList(QWidget* parent, const QString& name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    box->setCurrentIndex(0);
    return box;
}

CMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return CMessageBox::Icon::Information;
    case MessageIcon::Stop:
        return CMessageBox::Icon::Stop;
    case MessageIcon::None:
        break;
    }
    return CMessageBox::Icon::None;
}

QStringList octetInserts(const Ipv4::Octets& o) {
    return {QString::number(o[0]), QString::number(o[1]), QString::number(o[2]), QString::number(o[3])};
}

} // namespace

CStoreCommandDlg::CStoreCommandDlg(ProjectorStore& store, CommandObserver* observer, Layout layout,
                                   const std::optional<CommandContext>& context, QWidget* parent)
    : QDialog(parent), m_projectors(store), m_layout(std::move(layout)) {
    CommandContext c = context.value_or(CommandContext{});
    if (c.store == nullptr) {
        c.store = &m_projectors;
    }
    if (c.observer == nullptr) {
        c.observer = observer;
    }
    m_run = std::make_unique<StoreCommandRun>(c);
    setObjectName(m_layout.name);
    setWindowTitle(CatalogText(m_layout.title));

    m_table = new CProjectorTable(this);
    m_table->setObjectName(QStringLiteral("projectorTable"));
    m_store = storeList(this, QStringLiteral("storeList"));
    auto* storeLabel = new QLabel(CatalogText(msg::LabelStoreNo), this);
    storeLabel->setBuddy(m_store);
    m_button = new QPushButton(CatalogText(m_layout.buttonText), this);
    m_button->setObjectName(m_layout.buttonName);
    m_button->setDefault(true);
    m_stop = new QPushButton(CatalogText(msg::ButtonStop), this);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setAutoDefault(false);
    m_stop->setEnabled(false);
    auto* close = new QPushButton(CatalogText(msg::ButtonClose), this);
    close->setObjectName(QStringLiteral("closeButton"));
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setObjectName(QStringLiteral("statusLabel"));

    auto* choice = new QHBoxLayout;
    choice->addWidget(storeLabel);
    choice->addWidget(m_store);
    if (m_layout.temporaryChoice) {
        // Present but never shown: the user always picks one of the four stores.
        m_storeRadio = new QRadioButton(QStringLiteral("Store"), this);
        m_storeRadio->setObjectName(QStringLiteral("storeRadio"));
        m_temporaryRadio = new QRadioButton(QStringLiteral("Temporary"), this);
        m_temporaryRadio->setObjectName(QStringLiteral("temporaryRadio"));
        m_temporary = storeList(this, QStringLiteral("temporaryList"));
        m_storeRadio->setChecked(true);
        for (QWidget* w : {static_cast<QWidget*>(m_storeRadio), static_cast<QWidget*>(m_temporaryRadio),
                           static_cast<QWidget*>(m_temporary)}) {
            w->hide();
            choice->addWidget(w);
        }
    }
    choice->addStretch(1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_button);
    buttons->addWidget(m_stop);
    buttons->addWidget(close);
    buttons->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_table, 0, 0);
    grid->addLayout(buttons, 0, 1, 2, 1);
    grid->addLayout(choice, 1, 0);
    grid->addWidget(m_status, 2, 0, 1, 2);

    connect(m_table, &CProjectorTable::listClicked, this, [this] { m_status->setText(QString(43, u' ')); });
    connect(m_button, &QPushButton::clicked, this, &CStoreCommandDlg::runSelected);
    connect(m_stop, &QPushButton::clicked, this, &CStoreCommandDlg::stopRun);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_run.get(), &StoreCommandRun::stepStarted, this, &CStoreCommandDlg::projectorStarted);
    connect(m_run.get(), &StoreCommandRun::stepFinished, this, &CStoreCommandDlg::projectorFinished);
    connect(m_run.get(), &StoreCommandRun::finished, this, &CStoreCommandDlg::runEnded);

    m_list = m_projectors.projectors();
    m_table->FillProjectorList(m_list);
}

// The run goes first: its thread is told to stop and waited for, a fraction of a second.
CStoreCommandDlg::~CStoreCommandDlg() {
    m_run.reset();
}

void CStoreCommandDlg::selectProjector(const ProjectorRecord& record) {
    qsizetype row = -1;
    for (qsizetype i = 0; i < m_list.size(); ++i) {
        if (m_list[i].address == record.address) {
            row = i;
            break;
        }
    }
    if (row < 0) {
        m_list.append(record);
        m_table->FillProjectorList(m_list);
        row = m_list.size() - 1;
    }
    m_table->clearSelection();
    m_table->selectRow(static_cast<int>(row));
    m_table->scrollToItem(m_table->item(static_cast<int>(row), 0));
}

int CStoreCommandDlg::storeNumber() const {
    if (m_temporaryRadio != nullptr && !m_storeRadio->isChecked()) {
        return m_temporary->currentIndex() + 5;
    }
    return m_store->currentIndex() + 1;
}

bool CStoreCommandDlg::isRunning() const {
    return m_run->isRunning();
}

QStringList CStoreCommandDlg::insertsFor(int index) const {
    return octetInserts(m_runRecords.value(index).address);
}

void CStoreCommandDlg::runSelected() {
    if (m_run->isRunning()) {
        return;
    }
    const int store = storeNumber();
    ProjectorList records;
    QList<StoreCommandRun::Step> steps;
    for (const int row : m_table->selectedRowsTopDown()) {
        if (row < 0 || row >= m_list.size()) {
            continue;
        }
        const ProjectorRecord& record = m_list[row];
        records.append(record);
        const CommandTarget target{record.hostAddress(), record.authenticate(), record.password};
        steps.append([run = m_layout.run, store, target](const CommandContext& context) {
            return QVariant::fromValue(run(store, target, context));
        });
    }
    m_runRecords = records;
    m_runStore = store;
    m_current = -1;
    if (m_run->start(steps)) {
        showRunning(true);
    }
}

void CStoreCommandDlg::stopRun() {
    m_run->stop();
    m_stop->setEnabled(false);
}

void CStoreCommandDlg::projectorStarted(int index) {
    m_current = index;
    m_status->setText(CatalogText(m_layout.running, insertsFor(index)));
    m_projectors.setCurrentProjector(m_runRecords.value(index).hostAddress());
}

void CStoreCommandDlg::projectorFinished(int index, const QVariant& outcome) {
    const auto report = outcome.value<RunReport>();
    if (report.showsMessage) {
        QString text = report.message();
        if (m_layout.namedMessage) {
            const ProjectorRecord record = m_runRecords.value(index);
            const QString name = record.name.isEmpty() ? Ipv4::toText(record.address) : record.name;
            text = CatalogText(*m_layout.namedMessage,
                               {VisibleText::shown(name), QString::number(m_runStore), text});
        }
        CMessageBox::show(this, text, boxIcon(report.icon), QMessageBox::Ok);
    }
    const CatalogId after = m_layout.statusAfter ? m_layout.statusAfter(report)
                            : report.result == 0 ? m_layout.done
                                                 : m_layout.failed;
    m_status->setText(CatalogText(after, insertsFor(index)));
}

void CStoreCommandDlg::runEnded(bool stopped) {
    if (stopped && m_current >= 0) {
        m_status->setText(CatalogText(msg::StatusCommandStopped, insertsFor(m_current)));
    }
    showRunning(false);
    Q_EMIT runFinished(stopped);
    if (const std::optional<int> result = std::exchange(m_closeWith, std::nullopt)) {
        QDialog::done(*result);
    }
}

void CStoreCommandDlg::showRunning(bool running) {
    // Anything that would start a second run waits; Stop and Close stay.
    for (QWidget* w : {static_cast<QWidget*>(m_button), static_cast<QWidget*>(m_store),
                       static_cast<QWidget*>(m_table), static_cast<QWidget*>(m_storeRadio),
                       static_cast<QWidget*>(m_temporaryRadio), static_cast<QWidget*>(m_temporary)}) {
        if (w != nullptr) {
            w->setEnabled(!running);
        }
    }
    m_stop->setEnabled(running);
    if (running) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void CStoreCommandDlg::done(int result) {
    if (m_run->isRunning()) {
        m_closeWith = result;
        stopRun();
        return;
    }
    QDialog::done(result);
}
