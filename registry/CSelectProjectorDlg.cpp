#include "registry/CSelectProjectorDlg.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/ProjectorStore.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CSelectProjectorDlg::CSelectProjectorDlg(ProjectorStore& store, QWidget* parent)
    : QDialog(parent), m_projectors(store) {
    setObjectName(QStringLiteral("selectProjectorDlg"));
    setWindowTitle(CatalogText(msg::SelectProjectorDlgTitle));

    m_list = new QComboBox(this);
    m_list->setObjectName(QStringLiteral("projectorList"));
    m_list->setMinimumWidth(200);
    for (const ProjectorRecord& record : m_projectors.projectors()) {
        m_addresses << record.address;
        // The name tells projectors apart; the address is what the entry takes.
        const QString address = Ipv4::toText(record.address);
        m_list->addItem(record.name.isEmpty() ? address
                                              : CatalogText(msg::ProjectorNameAndAddress,
                                                            {VisibleText::shown(record.name), address}));
    }
    if (!m_addresses.isEmpty()) {
        m_list->setCurrentIndex(0);
    }

    auto* ok = new QPushButton(CatalogText(msg::ButtonOk), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(CatalogText(msg::ButtonFormCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok, &QPushButton::clicked, this, &CSelectProjectorDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSelectProjectorDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
}

void CSelectProjectorDlg::accept() {
    const int index = m_list->currentIndex();
    if (index >= 0 && index < m_addresses.size()) {
        m_projectors.setCurrentProjector(Ipv4::toHost(m_addresses.at(index)));
    }
    QDialog::accept();
}
