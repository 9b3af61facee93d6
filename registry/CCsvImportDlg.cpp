#include "registry/CCsvImportDlg.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CCsvImportDlg::CCsvImportDlg(const ProjectorCsv::Plan& plan, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("csvImportDlg"));
    setWindowTitle(CatalogText(msg::CsvImportDlgTitle));
    auto* summary = new QLabel(CatalogText(msg::CsvImportSummary, {QString::number(plan.acceptedCount()),
                                                                   QString::number(plan.rows.size())}),
                               this);
    summary->setObjectName(QStringLiteral("summaryLabel"));
    summary->setWordWrap(true);
    m_lines = new QListWidget(this);
    m_lines->setObjectName(QStringLiteral("lineList"));
    m_lines->setAccessibleName(summary->text());
    m_lines->setUniformItemSizes(true);
    for (const ProjectorCsv::Row& row : plan.rows) {
        QString line = CatalogText(row.text(), row.inserts());
        if (!row.clash.isEmpty()) {
            line += u' ' + row.clash;
        }
        auto* item = new QListWidgetItem(line, m_lines);
        if (!row.accepted()) {
            item->setForeground(QColor(0xB0, 0x00, 0x00));
        }
    }
    auto* buttons = new QDialogButtonBox(this);
    auto* importButton = buttons->addButton(CatalogText(msg::ButtonImport), QDialogButtonBox::AcceptRole);
    importButton->setObjectName(QStringLiteral("importButton"));
    importButton->setEnabled(plan.acceptedCount() > 0);
    auto* cancel = buttons->addButton(CatalogText(msg::ButtonFormCancel), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(summary);
    column->addWidget(m_lines);
    column->addWidget(buttons);
    resize(560, 380);
}
