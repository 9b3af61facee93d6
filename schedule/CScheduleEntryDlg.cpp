#include "schedule/CScheduleEntryDlg.h"

#include "app/CFileDialogs.h"
#include "app/CMessageBox.h"
#include "common/TextRules.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "imaging/SendableImage.h"
#include "registry/CIpAddressEdit.h"
#include "registry/CSelectProjectorDlg.h"
#include "registry/Ipv4.h"
#include "registry/ProjectorStore.h"
#include "schedule/CScheduleDlg.h"
#include "schedule/EntryImageCheck.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr int kIntervalChars = 15;
constexpr int kStoreChars = 7;

QComboBox* makeStoreList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    list->setCurrentIndex(0);
    return list;
}

QLabel* makeLabel(QWidget* parent, const char* name, CatalogId text) {
    auto* label = new QLabel(CatalogText(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// The first failing check of the file decides which texts the user sees.
QList<CatalogId> reasonMessages(int reason) {
    switch (reason) {
    case SendableImage::CannotOpen:
        return {msg::EntryFileUnreadable, msg::EntryNotSchedulable};
    case SendableImage::BadFileSize:
        return {msg::EntryFileSizeInvalid, msg::EntryNotSchedulable};
    case SendableImage::NotQv1:
        return {msg::EntryNotQv1, msg::EntryNotSchedulable};
    case SendableImage::BadPictureSize:
        return {msg::EntryPictureSizeInvalid};
    default:
        return {msg::EntryNotSchedulable};
    }
}

} // namespace

CScheduleEntryDlg::CScheduleEntryDlg(ProjectorStore& store, CScheduleDlg& owner)
    : QDialog(&owner), m_projectors(store), m_owner(owner) {
    setObjectName(QStringLiteral("scheduleEntryDlg"));
    setWindowTitle(CatalogText(msg::InsertDlgTitle));

    // Four fields of 0 to 255; an empty field counts as 0.
    m_address = new CIpAddressEdit(this);
    m_address->setObjectName(QStringLiteral("addressEdit"));
    auto* select = new QPushButton(CatalogText(msg::ButtonSelect), this);
    select->setObjectName(QStringLiteral("selectButton"));
    select->setAutoDefault(false);

    m_imageFile = new QLineEdit(this);
    m_imageFile->setObjectName(QStringLiteral("fileEdit"));
    m_imageFile->setMinimumWidth(280);
    auto* browse = new QPushButton(CatalogText(msg::ButtonBrowse), this);
    browse->setObjectName(QStringLiteral("browseButton"));
    browse->setAutoDefault(false);

    m_store = makeStoreList(this, "storeList");
    m_interval = new QLineEdit(QStringLiteral("0"), this);
    m_interval->setObjectName(QStringLiteral("intervalEdit"));
    m_interval->setMaxLength(kIntervalChars);

    // Laid out hidden: every entry targets a store unless these are shown.
    m_storeChoice = new QRadioButton(QStringLiteral("Store"), this);
    m_storeChoice->setObjectName(QStringLiteral("storeRadio"));
    m_storeChoice->setChecked(true);
    m_storeChoice->hide();
    m_temporaryChoice = new QRadioButton(QStringLiteral("Temporary"), this);
    m_temporaryChoice->setObjectName(QStringLiteral("temporaryRadio"));
    m_temporaryChoice->hide();
    m_temporaryStore = makeStoreList(this, "temporaryList");
    m_temporaryStore->hide();

    auto* ok = new QPushButton(CatalogText(msg::ButtonOk), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(CatalogText(msg::ButtonFormCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);

    connect(select, &QPushButton::clicked, this, &CScheduleEntryDlg::onSelect);
    connect(browse, &QPushButton::clicked, this, &CScheduleEntryDlg::onBrowse);
    connect(ok, &QPushButton::clicked, this, &CScheduleEntryDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CScheduleEntryDlg::reject);

    auto* grid = new QGridLayout;
    QLabel* addressLabel = makeLabel(this, "addressLabel", msg::LabelProjectorIpAddress);
    grid->addWidget(addressLabel, 0, 0);
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(select, 0, 2);
    // Buddies give the fields their labels' names, for the keyboard and for screen readers.
    QLabel* fileLabel = makeLabel(this, "fileLabel", msg::LabelImageFileName);
    fileLabel->setBuddy(m_imageFile);
    grid->addWidget(fileLabel, 1, 0);
    grid->addWidget(m_imageFile, 1, 1);
    grid->addWidget(browse, 1, 2);
    QLabel* storeLabel = makeLabel(this, "storeLabel", msg::LabelStoreNo);
    storeLabel->setBuddy(m_store);
    grid->addWidget(storeLabel, 2, 0);
    grid->addWidget(m_store, 2, 1);
    QLabel* intervalLabel = makeLabel(this, "intervalLabel", msg::LabelInterval);
    intervalLabel->setBuddy(m_interval);
    grid->addWidget(intervalLabel, 3, 0);
    grid->addWidget(m_interval, 3, 1);
    grid->addWidget(m_storeChoice, 4, 0);
    grid->addWidget(m_temporaryChoice, 4, 1);
    grid->addWidget(m_temporaryStore, 4, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    setAddress(m_projectors.currentProjector());

    m_address->setLabelText(addressLabel->text());
}

void CScheduleEntryDlg::setAddress(quint32 hostAddress) {
    m_address->setAddress(hostAddress);
}

void CScheduleEntryDlg::onSelect() {
    CSelectProjectorDlg select(m_projectors, this);
    if (select.exec() == QDialog::Accepted) {
        setAddress(m_projectors.currentProjector());
    }
}

void CScheduleEntryDlg::onBrowse() {
    const QString path = CFileDialogs::instance().openFile(this, {CatalogText(msg::BrowseImageDlgTitle),
                                                                  QStringLiteral("Projector GIF (*.qv1)"),
                                                                  QString(), QString()});
    if (!path.isEmpty()) {
        m_imageFile->setText(path);
    }
}

void CScheduleEntryDlg::accept() {
    const QString imageFile = m_imageFile->text();

    const QString intervalText = m_interval->text().left(kIntervalChars);
    const bool temporary = !m_storeChoice->isChecked();
    const QString storeText = (temporary ? m_temporaryStore : m_store)->currentText().left(kStoreChars);

    const quint32 address = m_address->address();
    if (imageFile.isEmpty() || address == 0) {
        return;
    }
    // The entry keeps the path as bytes, so bytes are what must fit: a path of few but wide
    // characters can be too long.
    const qsizetype pathBytes = QFile::encodeName(imageFile).size();
    if (pathBytes > kMaxImageFile) {
        CMessageBox::show(this, CatalogText(msg::EntryPathTooLong, {QString::number(pathBytes)}),
                          CMessageBox::Icon::Stop, QMessageBox::Ok);
        return;
    }

    int reason = 0;
    if (!EntryImageCheck::isSchedulable(imageFile, reason)) {
        for (const CatalogId id : reasonMessages(reason)) {
            CMessageBox::show(this, CatalogText(id), CMessageBox::Icon::Stop, QMessageBox::Ok);
        }
        return;
    }

    const ProjectorList projectors = m_projectors.projectors();
    const auto record =
        std::find_if(projectors.cbegin(), projectors.cend(),
                     [address](const ProjectorRecord& r) { return r.hostAddress() == address; });
    if (record == projectors.cend()) {
        CMessageBox::show(this, CatalogText(msg::EntryAddressUnknown), CMessageBox::Icon::Stop,
                          QMessageBox::Ok);
        return;
    }

    // A password cut to fit would fail every upload of the entry.
    const qsizetype passwordBytes = record->password.toUtf8().size();
    if (passwordBytes > kMaxPassword) {
        CMessageBox::show(this, CatalogText(msg::EntryPasswordTooLong, {QString::number(passwordBytes)}),
                          CMessageBox::Icon::Stop, QMessageBox::Ok);
        return;
    }

    // A store out of range adds nothing, yet the dialog still closes; a full table says so.
    const ScheduleTable::AddResult added =
        m_owner.AddScheduleEntry(m_address->text(), imageFile, storeText, intervalText, temporary,
                                 TextRules::toInt(record->authMark), record->password);
    if (added == ScheduleTable::AddResult::TableFull) {
        CMessageBox::show(this, CatalogText(msg::ScheduleFull, {QString::number(ScheduleTable::kSlots)}),
                          CMessageBox::Icon::Stop, QMessageBox::Ok);
        return;
    }
    m_projectors.setCurrentProjector(address);
    QDialog::accept();
}
