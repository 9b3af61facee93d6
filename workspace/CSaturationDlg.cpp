// Labels by imaging text index (the start-up table fills these from the catalog):
//   1227 title "Color Saturation"      1228 "Saturation" (slider)
//   1255 "Saturation value" (spin box) 1256 / 1257 "Less saturated" / "More saturated"
//   1258 / 1259 "Before" / "After"     1260 "Automatic preview"
//   14 "Preview" (redo the preview by hand)   4 "Reset" (back to 0)
//   0 OK, 1 Cancel
#include "workspace/CSaturationDlg.h"

#include "imaging/PictureOps.h"
#include "workspace/CPictureImage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Beyond this, making the thumbnail takes long enough to show; it runs off the interface
// thread so the dialog and the window behind stay responsive.
constexpr quint64 kOffThreadPixels = 4'000'000;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLabel* makeImageBox(QWidget* parent, const char* name) {
    auto* label = makeLabel(parent, name, QString());
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(CSaturationDlg::kPreviewWidth, CSaturationDlg::kPreviewHeight);
    label->setFrameShape(QFrame::StyledPanel);
    return label;
}

Picture makeThumbnail(const Picture& source) {
    return CPictureImage::thumbnail(source, CSaturationDlg::kPreviewWidth, CSaturationDlg::kPreviewHeight);
}

bool largePicture(const Picture& source) {
    return static_cast<quint64>(source.width()) * static_cast<quint64>(source.height()) > kOffThreadPixels;
}

} // namespace

CSaturationDlg::CSaturationDlg(const Picture& source, const ImagingTextStore& texts, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("saturationDlg"));
    setWindowTitle(texts.text(1227, QStringLiteral("Color Saturation")));

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("saturationSlider"));
    m_slider->setRange(PictureOps::kSaturationMin, PictureOps::kSaturationMax);
    m_slider->setSingleStep(10);
    m_slider->setPageStep(100);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setTickInterval(250);
    m_slider->setValue(0);
    m_slider->setMinimumWidth(320);
    m_spin = new QSpinBox(this);
    m_spin->setObjectName(QStringLiteral("saturationSpin"));
    m_spin->setRange(PictureOps::kSaturationMin, PictureOps::kSaturationMax);
    m_spin->setSingleStep(10);
    m_spin->setValue(0);
    auto* reset = new QPushButton(texts.text(4, QStringLiteral("Reset")), this);
    reset->setObjectName(QStringLiteral("resetButton"));

    auto* controls = new QGridLayout;
    controls->addWidget(makeLabel(this, "saturationLabel", texts.text(1228, QStringLiteral("Saturation"))), 0,
                        0);
    controls->addWidget(m_slider, 0, 1, 1, 2);
    controls->addWidget(makeLabel(this, "lessLabel", texts.text(1256, QStringLiteral("Less saturated"))), 1,
                        1, Qt::AlignLeft);
    controls->addWidget(makeLabel(this, "moreLabel", texts.text(1257, QStringLiteral("More saturated"))), 1,
                        2, Qt::AlignRight);
    controls->addWidget(makeLabel(this, "valueLabel", texts.text(1255, QStringLiteral("Saturation value"))),
                        2, 0);
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(m_spin);
    valueRow->addWidget(reset);
    valueRow->addStretch(1);
    controls->addLayout(valueRow, 2, 1, 1, 2);
    controls->setColumnStretch(1, 1);
    controls->setColumnStretch(2, 1);

    auto* preview = new QGroupBox(this);
    preview->setObjectName(QStringLiteral("previewGroup"));
    auto* previewGrid = new QGridLayout(preview);
    m_beforeLabel = makeImageBox(preview, "beforeImage");
    m_afterLabel = makeImageBox(preview, "afterImage");
    previewGrid->addWidget(makeLabel(preview, "beforeLabel", texts.text(1258, QStringLiteral("Before"))), 0,
                           0, Qt::AlignHCenter);
    previewGrid->addWidget(makeLabel(preview, "afterLabel", texts.text(1259, QStringLiteral("After"))), 0, 1,
                           Qt::AlignHCenter);
    previewGrid->addWidget(m_beforeLabel, 1, 0);
    previewGrid->addWidget(m_afterLabel, 1, 1);
    m_autoPreview = new QCheckBox(texts.text(1260, QStringLiteral("Automatic preview")), preview);
    m_autoPreview->setObjectName(QStringLiteral("autoPreviewCheck"));
    m_autoPreview->setChecked(true);
    m_previewButton = new QPushButton(texts.text(14, QStringLiteral("Preview")), preview);
    m_previewButton->setObjectName(QStringLiteral("previewButton"));
    m_previewButton->setEnabled(false);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(m_autoPreview);
    previewRow->addStretch(1);
    previewRow->addWidget(m_previewButton);
    previewGrid->addLayout(previewRow, 2, 0, 1, 2);

    auto* ok = new QPushButton(texts.text(0, QStringLiteral("OK")), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(texts.text(1, QStringLiteral("Cancel")), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(preview);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(kPreviewDelayMs);
    connect(m_debounce, &QTimer::timeout, this, &CSaturationDlg::updatePreview);
    connect(m_slider, &QSlider::valueChanged, this, &CSaturationDlg::onValueChanged);
    connect(m_spin, &QSpinBox::valueChanged, this, &CSaturationDlg::onValueChanged);
    connect(reset, &QPushButton::clicked, this, [this] { onValueChanged(0); });
    connect(m_autoPreview, &QCheckBox::toggled, this, [this](bool on) {
        m_previewButton->setEnabled(!on);
        if (on) {
            m_debounce->start();
        }
    });
    connect(m_previewButton, &QPushButton::clicked, this, &CSaturationDlg::updatePreview);
    connect(ok, &QPushButton::clicked, this, &CSaturationDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSaturationDlg::reject);

    if (largePicture(source)) {
        // A dialog closed before the copy is there drops it; the copy is the task's own.
        connect(&m_thumbnailWatcher, &QFutureWatcherBase::finished, this,
                [this] { showThumbnail(m_thumbnailWatcher.result()); });
        m_thumbnailWatcher.setFuture(QtConcurrent::run(makeThumbnail, source));
    } else {
        showThumbnail(makeThumbnail(source));
    }
}

void CSaturationDlg::showThumbnail(const Picture& thumbnail) {
    m_thumbnail = thumbnail;
    m_before = CPictureImage::toQImage(m_thumbnail);
    m_after = m_before;
    m_previewValue = 0;
    m_beforeLabel->setPixmap(QPixmap::fromImage(m_before));
    m_afterLabel->setPixmap(QPixmap::fromImage(m_after));
    if (value() != 0 && m_autoPreview->isChecked()) {
        updatePreview(); // the slider moved while the copy was being made
    }
}

int CSaturationDlg::value() const {
    return m_spin->value();
}

void CSaturationDlg::accept() {
    m_status = kConfirmed;
    done(kConfirmed);
}

void CSaturationDlg::reject() {
    m_status = kCancelled;
    done(kCancelled);
}

void CSaturationDlg::onValueChanged(int value) {
    {
        const QSignalBlocker blockSlider(m_slider);
        const QSignalBlocker blockSpin(m_spin);
        m_slider->setValue(value);
        m_spin->setValue(value);
    }
    if (m_autoPreview->isChecked()) {
        m_debounce->start(); // restarts while the slider keeps moving
    }
}

void CSaturationDlg::updatePreview() {
    m_debounce->stop();
    const int wanted = value();
    if (!previewReady() || wanted == m_previewValue) {
        return;
    }
    Picture after = m_thumbnail;
    if (!PictureOps::saturation(after, wanted).ok()) {
        return; // the last good preview stays
    }
    m_after = CPictureImage::toQImage(after);
    m_previewValue = wanted;
    m_afterLabel->setPixmap(QPixmap::fromImage(m_after));
}
