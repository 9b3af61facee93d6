// Labels by imaging text index (the start-up table fills these from the catalog):
//   823 title "Color Resolution"
//   824 "Bits per pixel" group      825..829 1, 2, 4, 8, 24 bits
//   830 "Palette" group             831 optimised, 832 fixed, 833 uniform, 834 web,
//                                   835 greyscale, 836 user palette
//   842 "Number of colors" (optimised palette only)
//   837 "Dithering" group           838 none, 839 Floyd-Steinberg, 841 ordered
//   843 "User palette colors" group 844 "Edit Color..."   856 "Colors in use"
//   847 "Color" (title of the colour chooser)
//   851 "Palette index", 848 / 849 / 850 "Red" / "Green" / "Blue" (swatch tool tips)
//   0 OK, 1 Cancel
// The add and remove buttons carry "+" and a minus sign, which need no translation.
#include "workspace/CColourResolutionDlg.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kSwatchSize = 20;
constexpr int kColourRole = Qt::UserRole;

struct Choice {
    int id;
    qint32 index;
    const char* fallback;
    const char* name;
};

constexpr Choice kBitsChoices[] = {
    {1, 825, "1 bit (2 colors)", "bits1Radio"},       {2, 826, "2 bits (4 colors)", "bits2Radio"},
    {4, 827, "4 bits (16 colors)", "bits4Radio"},     {8, 828, "8 bits (256 colors)", "bits8Radio"},
    {24, 829, "24 bits (true color)", "bits24Radio"},
};

constexpr Choice kPaletteChoices[] = {
    {static_cast<int>(PaletteOption::Optimised), 831, "Optimized palette", "optimisedRadio"},
    {static_cast<int>(PaletteOption::Fixed), 832, "Fixed palette", "fixedRadio"},
    {static_cast<int>(PaletteOption::Uniform), 833, "Uniform palette", "uniformRadio"},
    {static_cast<int>(PaletteOption::Web), 834, "Web palette", "webRadio"},
    {static_cast<int>(PaletteOption::Greyscale), 835, "Grayscale", "greyscaleRadio"},
    {static_cast<int>(PaletteOption::User), 836, "User palette", "userRadio"},
};

constexpr Choice kDitherChoices[] = {
    {static_cast<int>(DitherOption::None), 838, "No dithering", "noDitherRadio"},
    {static_cast<int>(DitherOption::FloydSteinberg), 839, "Floyd-Steinberg", "floydSteinbergRadio"},
    {static_cast<int>(DitherOption::Ordered), 841, "Ordered dithering", "orderedRadio"},
};

template <size_t N>
QGroupBox* makeChoices(QWidget* parent, const char* name, const QString& title, const Choice (&choices)[N],
                       const ImagingTextStore& texts, QButtonGroup* group) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(box);
    for (const Choice& c : choices) {
        auto* radio = new QRadioButton(texts.text(c.index, QString::fromLatin1(c.fallback)), box);
        radio->setObjectName(QString::fromLatin1(c.name));
        group->addButton(radio, c.id);
        layout->addWidget(radio);
    }
    layout->addStretch(1);
    return box;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QIcon swatchIcon(const QColor& colour) {
    QPixmap pixmap(kSwatchSize, kSwatchSize);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray); // keeps a white swatch visible on a white list
    painter.drawRect(0, 0, kSwatchSize - 1, kSwatchSize - 1);
    return QIcon(pixmap);
}

} // namespace

CColourResolutionDlg::CColourResolutionDlg(const Picture& source, const ImagingTextStore& texts,
                                           int presetBits, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("colourResolutionDlg"));
    setWindowTitle(texts.text(823, QStringLiteral("Color Resolution")));
    m_pickerTitle = texts.text(847, QStringLiteral("Color"));
    m_indexText = texts.text(851, QStringLiteral("Palette index"));
    m_redText = texts.text(848, QStringLiteral("Red"));
    m_greenText = texts.text(849, QStringLiteral("Green"));
    m_blueText = texts.text(850, QStringLiteral("Blue"));
    m_picker = [](QWidget* owner, const QColor& initial, const QString& title) {
        return QColorDialog::getColor(initial, owner, title);
    };

    m_bits = new QButtonGroup(this);
    m_palette = new QButtonGroup(this);
    m_dither = new QButtonGroup(this);
    QGroupBox* bitsGroup = makeChoices(this, "bitsGroup", texts.text(824, QStringLiteral("Bits per pixel")),
                                       kBitsChoices, texts, m_bits);
    m_paletteGroup = makeChoices(this, "paletteGroup", texts.text(830, QStringLiteral("Palette")),
                                 kPaletteChoices, texts, m_palette);
    m_ditherGroup = makeChoices(this, "ditherGroup", texts.text(837, QStringLiteral("Dithering")),
                                kDitherChoices, texts, m_dither);

    auto* countLabel = new QLabel(texts.text(842, QStringLiteral("Number of colors")), m_paletteGroup);
    countLabel->setObjectName(QStringLiteral("colourCountLabel"));
    m_count = new QSpinBox(m_paletteGroup);
    m_count->setObjectName(QStringLiteral("colourCountSpin"));
    m_count->setMinimumWidth(80);
    countLabel->setBuddy(m_count);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(countLabel);
    countRow->addWidget(m_count);
    countRow->addStretch(1);
    qobject_cast<QVBoxLayout*>(m_paletteGroup->layout())->addLayout(countRow);

    m_userGroup = new QGroupBox(texts.text(843, QStringLiteral("User palette colors")), this);
    m_userGroup->setObjectName(QStringLiteral("userPaletteGroup"));
    m_swatches = new QListWidget(m_userGroup);
    m_swatches->setObjectName(QStringLiteral("userPaletteList"));
    m_swatches->setViewMode(QListView::IconMode);
    m_swatches->setIconSize(QSize(kSwatchSize, kSwatchSize));
    m_swatches->setGridSize(QSize(kSwatchSize + 6, kSwatchSize + 6));
    m_swatches->setMovement(QListView::Static);
    m_swatches->setResizeMode(QListView::Adjust);
    m_swatches->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_swatches->setMinimumSize(16 * (kSwatchSize + 6) + 8, 3 * (kSwatchSize + 6) + 8);
    m_add = makeButton(m_userGroup, "addColourButton", QStringLiteral("+"));
    m_remove = makeButton(m_userGroup, "removeColourButton", QString(QChar(0x2212)));
    m_edit = makeButton(m_userGroup, "editColourButton", texts.text(844, QStringLiteral("Edit Color...")));
    auto* inUseLabel = new QLabel(texts.text(856, QStringLiteral("Colors in use")), m_userGroup);
    inUseLabel->setObjectName(QStringLiteral("coloursInUseLabel"));
    m_inUse = new QLabel(m_userGroup);
    m_inUse->setObjectName(QStringLiteral("coloursInUseValue"));
    auto* userButtons = new QHBoxLayout;
    userButtons->addWidget(m_add);
    userButtons->addWidget(m_remove);
    userButtons->addWidget(m_edit);
    userButtons->addStretch(1);
    userButtons->addWidget(inUseLabel);
    userButtons->addWidget(m_inUse);
    auto* userLayout = new QVBoxLayout(m_userGroup);
    userLayout->addWidget(m_swatches);
    userLayout->addLayout(userButtons);
    for (const PaletteColour& c : source.palette().colours()) {
        appendSwatch(QColor(c.r, c.g, c.b));
    }

    m_ok = makeButton(this, "okButton", texts.text(0, QStringLiteral("OK")));
    m_ok->setDefault(true);
    QPushButton* cancel = makeButton(this, "cancelButton", texts.text(1, QStringLiteral("Cancel")));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);

    auto* options = new QGridLayout;
    options->addWidget(bitsGroup, 0, 0);
    options->addWidget(m_paletteGroup, 0, 1);
    options->addWidget(m_ditherGroup, 0, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addWidget(m_userGroup, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    const int bitsChoice =
        std::ranges::any_of(kBitsChoices, [&](const Choice& c) { return c.id == presetBits; }) ? presetBits
                                                                                               : 8;
    m_bits->button(bitsChoice)->setChecked(true);
    m_palette->button(static_cast<int>(PaletteOption::Optimised))->setChecked(true);
    m_dither->button(static_cast<int>(DitherOption::FloydSteinberg))->setChecked(true);
    m_count->setRange(2, maxColours());
    m_count->setValue(maxColours());

    connect(m_bits, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) {
            onBitsChanged();
        }
    });
    connect(m_palette, &QButtonGroup::idToggled, this, [this](int, bool) { updateControls(); });
    connect(m_swatches, &QListWidget::itemSelectionChanged, this, &CColourResolutionDlg::updateControls);
    connect(m_swatches, &QListWidget::itemDoubleClicked, this, &CColourResolutionDlg::editColour);
    connect(m_add, &QPushButton::clicked, this, &CColourResolutionDlg::addColour);
    connect(m_remove, &QPushButton::clicked, this, &CColourResolutionDlg::removeColours);
    connect(m_edit, &QPushButton::clicked, this, &CColourResolutionDlg::editColour);
    connect(m_ok, &QPushButton::clicked, this, &CColourResolutionDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CColourResolutionDlg::reject);
    updateControls();
}

int CColourResolutionDlg::bits() const {
    return m_bits->checkedId();
}

PaletteOption CColourResolutionDlg::paletteOption() const {
    return static_cast<PaletteOption>(m_palette->checkedId());
}

DitherOption CColourResolutionDlg::ditherOption() const {
    return static_cast<DitherOption>(m_dither->checkedId());
}

int CColourResolutionDlg::colourCount() const {
    if (bits() > 8) {
        return 0;
    }
    switch (paletteOption()) {
    case PaletteOption::Optimised:
        return m_count->value();
    case PaletteOption::User:
        return m_swatches->count();
    default:
        return 0;
    }
}

Palette CColourResolutionDlg::userPalette() const {
    std::vector<PaletteColour> colours;
    colours.reserve(static_cast<size_t>(m_swatches->count()));
    for (int i = 0; i < m_swatches->count(); ++i) {
        const QColor c = m_swatches->item(i)->data(kColourRole).value<QColor>();
        colours.push_back(
            {static_cast<quint8>(c.red()), static_cast<quint8>(c.green()), static_cast<quint8>(c.blue())});
    }
    return Palette(std::move(colours));
}

ColourResolution CColourResolutionDlg::request() const {
    ColourResolution r;
    r.bits = bits();
    r.palette = paletteOption();
    r.dither = ditherOption();
    r.colours = colourCount();
    if (r.bits <= 8 && r.palette == PaletteOption::User) {
        r.userPalette = userPalette();
    }
    return r;
}

void CColourResolutionDlg::accept() {
    if (!consistent()) {
        return;
    }
    m_status = kConfirmed;
    done(kConfirmed);
}

void CColourResolutionDlg::reject() {
    m_status = kCancelled;
    done(kCancelled);
}

int CColourResolutionDlg::maxColours() const {
    const int b = bits();
    return b <= 8 ? 1 << b : Palette::kMaxColours;
}

bool CColourResolutionDlg::consistent() const {
    if (bits() > 8) {
        return true;
    }
    switch (paletteOption()) {
    case PaletteOption::Web:
        return bits() == 8;
    case PaletteOption::User:
        return m_swatches->count() >= 1 && m_swatches->count() <= maxColours();
    default:
        return true;
    }
}

void CColourResolutionDlg::onBitsChanged() {
    // The web colours need all 256 entries; fewer bits fall back to the default palette
    // rather than leave a choice that cannot be carried out.
    if (bits() != 8 && paletteOption() == PaletteOption::Web) {
        m_palette->button(static_cast<int>(PaletteOption::Optimised))->setChecked(true);
    }
    const int limit = maxColours();
    m_count->setRange(2, limit);
    m_count->setValue(limit);
    updateControls();
}

void CColourResolutionDlg::addColour() {
    if (m_swatches->count() >= maxColours()) {
        return;
    }
    const QListWidgetItem* current = m_swatches->currentItem();
    const QColor start = current != nullptr ? current->data(kColourRole).value<QColor>() : QColor(Qt::white);
    const QColor chosen = m_picker(this, start, m_pickerTitle);
    if (!chosen.isValid()) {
        return;
    }
    appendSwatch(chosen);
    m_swatches->setCurrentRow(m_swatches->count() - 1, QItemSelectionModel::ClearAndSelect);
    updateControls();
}

void CColourResolutionDlg::removeColours() {
    const QList<QListWidgetItem*> selected = m_swatches->selectedItems();
    for (QListWidgetItem* item : selected) {
        delete m_swatches->takeItem(m_swatches->row(item));
    }
    renumberSwatches();
    updateControls();
}

void CColourResolutionDlg::editColour() {
    QListWidgetItem* item = m_swatches->currentItem();
    if (item == nullptr) {
        return;
    }
    const QColor chosen = m_picker(this, item->data(kColourRole).value<QColor>(), m_pickerTitle);
    if (!chosen.isValid()) {
        return;
    }
    item->setData(kColourRole, chosen);
    item->setIcon(swatchIcon(chosen));
    renumberSwatches();
}

void CColourResolutionDlg::appendSwatch(const QColor& colour) {
    auto* item = new QListWidgetItem(swatchIcon(colour), QString());
    item->setData(kColourRole, colour.toRgb());
    m_swatches->addItem(item);
    renumberSwatches();
}

void CColourResolutionDlg::renumberSwatches() {
    for (int i = 0; i < m_swatches->count(); ++i) {
        QListWidgetItem* item = m_swatches->item(i);
        const QColor c = item->data(kColourRole).value<QColor>();
        item->setToolTip(QStringLiteral("%1 %2: %3 %4, %5 %6, %7 %8")
                             .arg(m_indexText)
                             .arg(i)
                             .arg(m_redText)
                             .arg(c.red())
                             .arg(m_greenText)
                             .arg(c.green())
                             .arg(m_blueText)
                             .arg(c.blue()));
    }
}

void CColourResolutionDlg::updateControls() {
    const bool indexed = bits() <= 8;
    const PaletteOption option = paletteOption();
    m_paletteGroup->setEnabled(indexed);
    m_ditherGroup->setEnabled(indexed);
    m_palette->button(static_cast<int>(PaletteOption::Web))->setEnabled(bits() == 8);
    const bool optimised = indexed && option == PaletteOption::Optimised;
    m_count->setEnabled(optimised);
    if (QWidget* label = m_paletteGroup->findChild<QWidget*>(QStringLiteral("colourCountLabel"))) {
        label->setEnabled(optimised);
    }
    const bool user = indexed && option == PaletteOption::User;
    m_userGroup->setEnabled(user);
    const int count = m_swatches->count();
    m_add->setEnabled(user && count < maxColours());
    m_remove->setEnabled(user && !m_swatches->selectedItems().isEmpty());
    m_edit->setEnabled(user && m_swatches->currentItem() != nullptr);
    m_inUse->setText(QStringLiteral("%1 / %2").arg(count).arg(maxColours()));
    QPalette warn = palette();
    if (user && count > maxColours()) {
        warn.setColor(QPalette::WindowText, Qt::red); // too many for the depth: remove some
    }
    m_inUse->setPalette(warn);
    m_ok->setEnabled(consistent());
}
