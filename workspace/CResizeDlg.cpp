// Labels by imaging text index (the start-up table fills these from the catalog):
//   1403 title "Resize"                    1404 "Current size" group
//   1405 / 1406 current width / height     1409 / 1410 current horizontal / vertical dpi
//   824  current bits per pixel            1407 "Pixels" unit after the sizes
//   1411 "New size" group                  1412 / 1413 new width / height
//   1414 / 1415 new horizontal / vertical dpi
//   1416 "Keep aspect ratio"               1417 "Resampling" group
//   1418 nearest neighbour (replication)  1419 bilinear, 1420 bicubic, 1421 Lanczos
//   1422 "Favour black": no row of the start-up table fills it, so the catalog gives it
//   0 OK, 1 Cancel
#include "workspace/CResizeDlg.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "imaging/PictureOps.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QSpinBox* makeSpin(QWidget* parent, const char* name, int minimum, int maximum, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(minimum, maximum);
    spin->setValue(std::clamp(value, minimum, maximum));
    spin->setAccelerated(true);
    spin->setMinimumWidth(90);
    return spin;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLabel* makeValue(QWidget* parent, const char* name, const QString& text) {
    QLabel* label = makeLabel(parent, name, text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// The other side for an aspect ratio of a : b, never below one pixel.
int scaled(int value, int a, int b) {
    const double v = std::round(static_cast<double>(value) * b / std::max(a, 1));
    return static_cast<int>(std::clamp(v, 1.0, static_cast<double>(CResizeDlg::kMaxSide)));
}

} // namespace

CResizeDlg::CResizeDlg(const Picture& source, const ImagingTextStore& texts, QWidget* parent)
    : QDialog(parent), m_sourceWidth(std::max(source.width(), 1)),
      m_sourceHeight(std::max(source.height(), 1)) {
    setObjectName(QStringLiteral("resizeDlg"));
    setWindowTitle(texts.text(1403, QStringLiteral("Resize")));
    const QString pixels = texts.text(1407, QStringLiteral("Pixels"));

    auto* current = new QGroupBox(texts.text(1404, QStringLiteral("Current size")), this);
    current->setObjectName(QStringLiteral("currentGroup"));
    auto* currentForm = new QFormLayout(current);
    currentForm->addRow(
        makeLabel(current, "currentWidthLabel", texts.text(1405, QStringLiteral("Width"))),
        makeValue(current, "currentWidthValue", QStringLiteral("%1 %2").arg(source.width()).arg(pixels)));
    currentForm->addRow(
        makeLabel(current, "currentHeightLabel", texts.text(1406, QStringLiteral("Height"))),
        makeValue(current, "currentHeightValue", QStringLiteral("%1 %2").arg(source.height()).arg(pixels)));
    currentForm->addRow(makeLabel(current, "currentXDpiLabel",
                                  texts.text(1409, QStringLiteral("Horizontal resolution (dpi)"))),
                        makeValue(current, "currentXDpiValue", QString::number(source.xResolution())));
    currentForm->addRow(
        makeLabel(current, "currentYDpiLabel", texts.text(1410, QStringLiteral("Vertical resolution (dpi)"))),
        makeValue(current, "currentYDpiValue", QString::number(source.yResolution())));
    currentForm->addRow(
        makeLabel(current, "currentBitsLabel", texts.text(824, QStringLiteral("Bits per pixel"))),
        makeValue(current, "currentBitsValue", QString::number(source.bitsPerPixel())));

    auto* proposed = new QGroupBox(texts.text(1411, QStringLiteral("New size")), this);
    proposed->setObjectName(QStringLiteral("newSizeGroup"));
    auto* grid = new QGridLayout(proposed);
    m_width = makeSpin(proposed, "widthSpin", 1, kMaxSide, source.width());
    m_height = makeSpin(proposed, "heightSpin", 1, kMaxSide, source.height());
    m_xDpi = makeSpin(proposed, "xDpiSpin", 1, kMaxDpi, source.xResolution());
    m_yDpi = makeSpin(proposed, "yDpiSpin", 1, kMaxDpi, source.yResolution());
    m_keepAspect = new QCheckBox(texts.text(1416, QStringLiteral("Keep aspect ratio")), proposed);
    m_keepAspect->setObjectName(QStringLiteral("keepAspectCheck"));
    m_keepAspect->setChecked(true);
    grid->addWidget(makeLabel(proposed, "widthLabel", texts.text(1412, QStringLiteral("Width"))), 0, 0);
    grid->addWidget(m_width, 0, 1);
    grid->addWidget(makeLabel(proposed, "widthUnitLabel", pixels), 0, 2);
    grid->addWidget(makeLabel(proposed, "heightLabel", texts.text(1413, QStringLiteral("Height"))), 1, 0);
    grid->addWidget(m_height, 1, 1);
    grid->addWidget(makeLabel(proposed, "heightUnitLabel", pixels), 1, 2);
    grid->addWidget(m_keepAspect, 2, 0, 1, 3);
    grid->addWidget(
        makeLabel(proposed, "xDpiLabel", texts.text(1414, QStringLiteral("Horizontal resolution (dpi)"))), 3,
        0);
    grid->addWidget(m_xDpi, 3, 1);
    grid->addWidget(
        makeLabel(proposed, "yDpiLabel", texts.text(1415, QStringLiteral("Vertical resolution (dpi)"))), 4,
        0);
    grid->addWidget(m_yDpi, 4, 1);
    grid->setColumnStretch(2, 1);

    auto* resampling = new QGroupBox(texts.text(1417, QStringLiteral("Resampling")), this);
    resampling->setObjectName(QStringLiteral("resamplingGroup"));
    auto* methods = new QGridLayout(resampling);
    m_method = new QButtonGroup(this);
    struct Method {
        int flag;
        qint32 index;
        const char* fallback;
        const char* name;
    };
    static constexpr Method kMethods[] = {
        {PictureOps::kResizeNormal, 1418, "Nearest neighbor", "nearestRadio"},
        {PictureOps::kResizeBilinear, 1419, "Bilinear", "bilinearRadio"},
        {PictureOps::kResizeBicubic, 1420, "Bicubic", "bicubicRadio"},
        {PictureOps::kResizeLanczos, 1421, "Lanczos", "lanczosRadio"},
    };
    int row = 0;
    for (const Method& m : kMethods) {
        auto* radio = new QRadioButton(texts.text(m.index, QString::fromLatin1(m.fallback)), resampling);
        radio->setObjectName(QString::fromLatin1(m.name));
        m_method->addButton(radio, m.flag);
        methods->addWidget(radio, row / 2, row % 2);
        ++row;
    }
    // A smooth kernel suits photographs, the usual content of a projected picture.
    m_method->button(PictureOps::kResizeBicubic)->setChecked(true);
    m_favourBlack = new QCheckBox(texts.text(1422, CatalogText(msg::ResizeFavourBlack)), resampling);
    m_favourBlack->setObjectName(QStringLiteral("favourBlackCheck"));
    methods->addWidget(m_favourBlack, 2, 0, 1, 2);

    m_ok = new QPushButton(texts.text(0, QStringLiteral("OK")), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(texts.text(1, QStringLiteral("Cancel")), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);

    auto* sizes = new QHBoxLayout;
    sizes->addWidget(current);
    sizes->addWidget(proposed, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sizes);
    layout->addWidget(resampling);
    layout->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(m_width, &QSpinBox::valueChanged, this, &CResizeDlg::onWidthChanged);
    connect(m_height, &QSpinBox::valueChanged, this, &CResizeDlg::onHeightChanged);
    connect(m_keepAspect, &QCheckBox::toggled, this, &CResizeDlg::onKeepAspectToggled);
    connect(m_method, &QButtonGroup::idToggled, this, [this](int, bool) { updateControls(); });
    connect(m_ok, &QPushButton::clicked, this, &CResizeDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CResizeDlg::reject);
    updateControls();
}

int CResizeDlg::width() const {
    return m_width->value();
}

int CResizeDlg::height() const {
    return m_height->value();
}

int CResizeDlg::flags() const {
    const int method = m_method->checkedId();
    if (method == PictureOps::kResizeNormal && m_favourBlack->isChecked()) {
        return PictureOps::kResizeFavourBlack;
    }
    return method;
}

int CResizeDlg::xResolution() const {
    return m_xDpi->value();
}

int CResizeDlg::yResolution() const {
    return m_yDpi->value();
}

bool CResizeDlg::keepAspectRatio() const {
    return m_keepAspect->isChecked();
}

void CResizeDlg::accept() {
    if (!m_ok->isEnabled()) {
        return; // Enter in a spin box must not get past a refused size
    }
    m_status = kConfirmed;
    done(kConfirmed);
}

void CResizeDlg::reject() {
    m_status = kCancelled;
    done(kCancelled);
}

void CResizeDlg::onWidthChanged(int value) {
    if (m_keepAspect->isChecked()) {
        const QSignalBlocker block(m_height);
        m_height->setValue(scaled(value, m_sourceWidth, m_sourceHeight));
    }
    updateControls();
}

void CResizeDlg::onHeightChanged(int value) {
    if (m_keepAspect->isChecked()) {
        const QSignalBlocker block(m_width);
        m_width->setValue(scaled(value, m_sourceHeight, m_sourceWidth));
    }
    updateControls();
}

void CResizeDlg::onKeepAspectToggled(bool on) {
    if (on) {
        onWidthChanged(m_width->value());
    }
}

void CResizeDlg::updateControls() {
    // Favour black only changes pixel replication; offering it with a smooth kernel would
    // promise something the resize does not do.
    m_favourBlack->setEnabled(m_method->checkedId() == PictureOps::kResizeNormal);
    const bool tooLarge =
        static_cast<quint64>(width()) * static_cast<quint64>(height()) > Picture::kMaxPixels;
    m_ok->setEnabled(!tooLarge);
    QPalette warn = palette();
    if (tooLarge) {
        warn.setColor(QPalette::Text, Qt::red);
    }
    m_width->setPalette(warn);
    m_height->setPalette(warn);
}
