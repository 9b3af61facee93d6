#include "protocol/CStoreCommandDlg.h"

#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "common/OffThread.h"
#include "i18n/CLocalise.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CProjectorTable.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

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

CStoreCommandDlg::CStoreCommandDlg(CMainFrame& frame, Layout layout, const std::optional<CommandContext>& context,
                                   QWidget* parent)
    : QDialog(parent), m_frame(frame), m_layout(std::move(layout)), m_context(context.value_or(CommandContext{})) {
    if (m_context.store == nullptr) {
        m_context.store = &m_frame.projectorStore();
    }
    if (m_context.observer == nullptr) {
        m_context.observer = m_frame.commandObserver();
    }
    setObjectName(m_layout.name);
    setWindowTitle(m_layout.title);

    m_table = new CProjectorTable(this);
    m_table->setObjectName(QStringLiteral("list%1").arg(m_layout.listId));
    m_store = storeList(this, QStringLiteral("store%1").arg(m_layout.storeId));
    auto* storeLabel = new QLabel(QStringLiteral("20;Store No."), this);
    storeLabel->setBuddy(m_store);
    m_button = new QPushButton(m_layout.buttonText, this);
    m_button->setObjectName(m_layout.buttonName);
    m_button->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("18;Close"), this);
    close->setObjectName(QStringLiteral("button2"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status%1").arg(m_layout.statusId));

    auto* choice = new QHBoxLayout;
    choice->addWidget(storeLabel);
    choice->addWidget(m_store);
    if (m_layout.temporaryChoice) {
        // Present but never shown: the user always picks one of the four stores.
        m_storeRadio = new QRadioButton(QStringLiteral("Store"), this);
        m_storeRadio->setObjectName(QStringLiteral("radio%1").arg(m_layout.storeRadioId));
        m_temporaryRadio = new QRadioButton(QStringLiteral("Temporary"), this);
        m_temporaryRadio->setObjectName(QStringLiteral("radio%1").arg(m_layout.temporaryRadioId));
        m_temporary = storeList(this, QStringLiteral("temporary%1").arg(m_layout.temporaryListId));
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
    buttons->addWidget(close);
    buttons->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_table, 0, 0);
    grid->addLayout(buttons, 0, 1, 2, 1);
    grid->addLayout(choice, 1, 0);
    grid->addWidget(m_status, 2, 0, 1, 2);

    connect(m_table, &CProjectorTable::listClicked, this, [this] { m_status->setText(QString(43, u' ')); });
    connect(m_button, &QPushButton::clicked, this, &CStoreCommandDlg::runSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    m_list = m_frame.GetProjectorList();
    m_table->FillProjectorList(m_list);
    LocaliseDialog(9, this);
}

int CStoreCommandDlg::storeNumber() const {
    if (m_temporaryRadio != nullptr && !m_storeRadio->isChecked()) {
        return m_temporary->currentIndex() + 5;
    }
    return m_store->currentIndex() + 1;
}

void CStoreCommandDlg::runSelected() {
    const int store = storeNumber();
    const QList<int> rows = m_table->selectedRowsTopDown();
    for (const int row : rows) {
        if (row < 0 || row >= m_list.size()) {
            continue;
        }
        const ProjectorRecord record = m_list[row];
        const QStringList inserts = octetInserts(record.address);
        m_status->setText(CatalogText(m_layout.running, inserts));
        m_frame.SetCurrentProjector(record.hostAddress());
        const CommandTarget target{record.hostAddress(), record.authenticate(), record.password};

        setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const RunReport report = RunOffThread([&] { return m_layout.run(store, target, m_context); });
        QApplication::restoreOverrideCursor();
        setEnabled(true);

        if (report.showsMessage) {
            CMessageBox::show(this, report.message(), boxIcon(report.icon), QMessageBox::Ok);
        }
        m_status->setText(CatalogText(report.result == 0 ? m_layout.done : m_layout.failed, inserts));
    }
}
