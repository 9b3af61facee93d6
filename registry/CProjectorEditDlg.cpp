#include "registry/CProjectorEditDlg.h"

#include "app/CMessageBox.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/CIpAddressEdit.h"
#include "registry/ProjectorClash.h"
#include "registry/ProjectorGroups.h"
#include "registry/ProjectorRecord.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>

namespace {
constexpr int kPasteRoom = 32;
}

CProjectorEditDlg::CProjectorEditDlg(Mode mode, const Values& values, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_values(values) {
    setObjectName(QStringLiteral("projectorEditDlg"));
    setWindowTitle(CatalogText(msg::AddProjectorDlgTitle));

    auto* nameLabel = new QLabel(CatalogText(msg::LabelProjectorName), this);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("nameEdit"));
    m_name->setMaxLength(ProjectorRecord::kMaxName);
    nameLabel->setBuddy(m_name);

    auto* macLabel = new QLabel(CatalogText(msg::LabelMacAddress), this);
    auto* macRow = new QHBoxLayout;
    for (size_t k = 0; k < m_mac.size(); ++k) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("macEdit%1").arg(k + 1));
        // Room for a whole pasted address, which then fills all six boxes.
        box->setMaxLength(kPasteRoom);
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 12);
        m_mac[k] = box;
        if (k > 0) {
            macRow->addWidget(new QLabel(QStringLiteral("-"), this));
        }
        macRow->addWidget(box);
    }
    macRow->addStretch(1);
    macLabel->setBuddy(m_mac[0]);

    auto* addressLabel = new QLabel(CatalogText(msg::LabelIpAddress), this);
    m_address = new CIpAddressEdit(this);
    m_address->setObjectName(QStringLiteral("addressEdit"));
    addressLabel->setBuddy(m_address);

    m_auth = new QCheckBox(CatalogText(msg::CheckAuthentication), this);
    m_auth->setObjectName(QStringLiteral("authenticationCheck"));
    auto* passwordLabel = new QLabel(CatalogText(msg::LabelPassword), this);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("passwordEdit"));
    m_password->setEchoMode(QLineEdit::Password);
    // The record holds at most 255 characters: longer input cannot be typed.
    m_password->setMaxLength(ProjectorRecord::kMaxPassword);
    passwordLabel->setBuddy(m_password);

    auto* ok = new QPushButton(CatalogText(msg::ButtonOk), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(CatalogText(msg::ButtonFormCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok, &QPushButton::clicked, this, &CProjectorEditDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(m_name, 0, 1);
    grid->addWidget(macLabel, 1, 0);
    grid->addLayout(macRow, 1, 1);
    grid->addWidget(addressLabel, 2, 0);
    grid->addWidget(m_address, 2, 1, Qt::AlignLeft);
    grid->addWidget(m_auth, 3, 0, 1, 2);
    grid->addWidget(passwordLabel, 4, 0);
    grid->addWidget(m_password, 4, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 5, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    m_address->setLabelText(addressLabel->text());
    const QString macName = QString(macLabel->text()).remove(u'&');
    for (size_t k = 0; k < m_mac.size(); ++k) {
        m_mac[k]->setAccessibleName(QStringLiteral("%1 %2").arg(macName).arg(k + 1));
    }

    if (m_mode == Edit) {
        setWindowTitle(CatalogText(msg::EditProjectorDlgTitle));
        m_name->setText(values.name);
        if (!MacText::isZero(values.mac)) {
            for (size_t k = 0; k < m_mac.size(); ++k) {
                m_mac[k]->setText(QStringLiteral("%1").arg(values.mac[k], 2, 16, QLatin1Char('0')).toUpper());
            }
        }
        if (values.address != 0) {
            m_address->setAddress(values.address);
        }
        m_auth->setChecked(values.authMark == u"1");
        m_password->setText(values.password);
    } else {
        m_auth->setChecked(false);
    }
    for (size_t k = 0; k < m_mac.size(); ++k) {
        connect(m_mac[k], &QLineEdit::textEdited, this,
                [this, k](const QString& text) { macEdited(k, text); });
    }
}

void CProjectorEditDlg::setList(const ProjectorList& list, qsizetype editedIndex) {
    m_list = list;
    m_editedIndex = editedIndex;
}

void CProjectorEditDlg::setGroups(const QStringList& all, const QStringList& checked) {
    if (m_groups != nullptr) {
        return;
    }
    auto* label = new QLabel(CatalogText(msg::LabelGroups), this);
    m_groups = new QListWidget(this);
    m_groups->setObjectName(QStringLiteral("groupsList"));
    m_groups->setAccessibleName(QString(label->text()).remove(u'&'));
    m_groups->setMaximumHeight(m_groups->fontMetrics().height() * 6);
    label->setBuddy(m_groups);
    for (const QString& name : all) {
        auto* item = new QListWidgetItem(VisibleText::shown(name), m_groups);
        item->setData(Qt::UserRole, name);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(name, Qt::CaseInsensitive) ? Qt::Checked : Qt::Unchecked);
    }
    auto* newLabel = new QLabel(CatalogText(msg::LabelNewGroup), this);
    m_newGroup = new QLineEdit(this);
    m_newGroup->setObjectName(QStringLiteral("newGroupEdit"));
    m_newGroup->setMaxLength(ProjectorGroups::kMaxName + 8); // room for blanks that are trimmed
    m_newGroup->setAccessibleName(QString(newLabel->text()).remove(u'&'));
    newLabel->setBuddy(m_newGroup);
    auto* add = new QPushButton(CatalogText(msg::ButtonAddGroup), this);
    add->setObjectName(QStringLiteral("addGroupButton"));
    add->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &CProjectorEditDlg::addGroup);

    auto* grid = static_cast<QGridLayout*>(layout());
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0, Qt::AlignTop);
    grid->addWidget(m_groups, row, 1);
    auto* newRow = new QHBoxLayout;
    newRow->addWidget(m_newGroup, 1);
    newRow->addWidget(add);
    grid->addWidget(newLabel, row + 1, 0);
    grid->addLayout(newRow, row + 1, 1);
    setTabOrder(m_password, m_groups);
    setTabOrder(m_groups, m_newGroup);
    setTabOrder(m_newGroup, add);
}

QStringList CProjectorEditDlg::chosenGroups() const {
    QStringList out;
    for (int i = 0; m_groups != nullptr && i < m_groups->count(); ++i) {
        if (m_groups->item(i)->checkState() == Qt::Checked) {
            out << m_groups->item(i)->data(Qt::UserRole).toString();
        }
    }
    return out;
}

// A new name joins the list ticked; one that exists already is ticked instead.
void CProjectorEditDlg::addGroup() {
    const QString name = ProjectorGroups::cleanName(m_newGroup->text());
    if (const ProjectorGroups::NameCheck check = ProjectorGroups::checkName(name);
        check != ProjectorGroups::NameCheck::Ok) {
        CMessageBox::show(this, ProjectorGroups::nameProblemText(check), CMessageBox::Icon::Warning);
        m_newGroup->setFocus();
        return;
    }
    QListWidgetItem* item = nullptr;
    for (int i = 0; i < m_groups->count(); ++i) {
        if (m_groups->item(i)->data(Qt::UserRole).toString().compare(name, Qt::CaseInsensitive) == 0) {
            item = m_groups->item(i);
        }
    }
    if (item == nullptr) {
        item = new QListWidgetItem(VisibleText::shown(name), m_groups);
        item->setData(Qt::UserRole, name);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    }
    item->setCheckState(Qt::Checked);
    m_groups->setCurrentItem(item);
    m_newGroup->clear();
}

void CProjectorEditDlg::macEdited(size_t box, const QString& text) {
    if (m_fillingMac) {
        return;
    }
    const QString t = text.trimmed();
    if (t.size() > 2) {
        const QScopedValueRollback<bool> filling(m_fillingMac, true);
        if (const std::optional<MacText::Bytes> whole = MacText::parseWhole(t)) {
            for (size_t k = 0; k < m_mac.size(); ++k) {
                m_mac[k]->setText(QStringLiteral("%1").arg((*whole)[k], 2, 16, QLatin1Char('0')).toUpper());
            }
            m_mac.back()->setFocus();
            m_mac.back()->selectAll();
            return;
        }
        // Not a whole address: a box holds one byte, as typed so far.
        m_mac[box]->setText(t.left(2));
    }
    // Two digits, or one followed by a join, finish a box: the next one takes the typing.
    const QString now = m_mac[box]->text();
    const bool joined = now.size() == 2 && (now.endsWith(u':') || now.endsWith(u'-') || now.endsWith(u'.'));
    if (joined) {
        const QScopedValueRollback<bool> filling(m_fillingMac, true);
        m_mac[box]->setText(now.left(1));
    }
    if ((joined || (now.size() == 2 && MacText::parseBox(now))) && box + 1 < m_mac.size()) {
        m_mac[box + 1]->setFocus();
        m_mac[box + 1]->selectAll();
    }
}

void CProjectorEditDlg::accept() {
    const quint32 address = m_address->address();
    if (address == 0) {
        CMessageBox::show(this, CatalogText(msg::FormAddressMissing), CMessageBox::Icon::Warning);
        m_address->setFocus();
        return;
    }
    Values v;
    v.address = address;
    v.name = m_name->text();
    for (size_t k = 0; k < m_mac.size(); ++k) {
        const std::optional<quint8> b = MacText::parseBox(m_mac[k]->text().trimmed());
        if (!b) {
            m_mac[k]->setFocus();
            m_mac[k]->selectAll();
            return;
        }
        v.mac[k] = *b;
    }
    if (m_auth->isChecked()) {
        if (m_password->text().isEmpty()) {
            CMessageBox::show(this, CatalogText(msg::FormAuthNeedsPassword), CMessageBox::Icon::Warning);
            m_password->setFocus();
            return;
        }
        v.authMark = QStringLiteral("1");
        v.password = m_password->text();
    } else {
        v.authMark = QStringLiteral("0");
    }
    if (!confirmNoClash(v)) {
        return;
    }
    m_values = v;
    QDialog::accept();
}

bool CProjectorEditDlg::confirmNoClash(const Values& v) {
    ProjectorRecord candidate;
    candidate.address = Ipv4::toOctets(v.address);
    candidate.mac = MacText::isZero(v.mac) ? QString() : MacText::toText(v.mac, true);
    const std::optional<ProjectorClash> clash = duplicateOf(m_list, candidate, m_editedIndex);
    if (!clash) {
        return true;
    }
    // Two records may share an address on purpose (a projector moved); the user decides.
    return CMessageBox::show(this, CatalogText(msg::DuplicateAskSave, {clash->text()}),
                             CMessageBox::Icon::Question,
                             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
