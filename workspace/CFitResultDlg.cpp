#include "workspace/CFitResultDlg.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "imaging/SendableImage.h"
#include "workspace/CPictureImage.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QString orNone(int value) {
    return value == 0 ? CatalogText(msg::FitNone) : QString::number(value);
}

QString psnrText(double psnr) {
    if (std::isinf(psnr)) {
        return CatalogText(msg::FitQualityIdentical);
    }
    if (std::isnan(psnr)) {
        return QStringLiteral("-");
    }
    return QStringLiteral("%1 dB").arg(psnr, 0, 'f', 1);
}

QLabel* makePreview(QWidget* parent, const char* name, const Picture& picture) {
    QLabel* label = makeLabel(parent, name, QString());
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(CFitResultDlg::kPreviewWidth, CFitResultDlg::kPreviewHeight);
    label->setFrameShape(QFrame::StyledPanel);
    // QImage scaling, not a resample of the picture: the dither pattern of the shown picture
    // is what the user judges, and a smooth kernel would hide it as much as the screen does.
    const QImage image = CPictureImage::toQImage(picture);
    if (!image.isNull()) {
        const QImage small =
            image.width() > CFitResultDlg::kPreviewWidth || image.height() > CFitResultDlg::kPreviewHeight
                ? image.scaled(CFitResultDlg::kPreviewWidth, CFitResultDlg::kPreviewHeight,
                               Qt::KeepAspectRatio, Qt::SmoothTransformation)
                : image;
        label->setPixmap(QPixmap::fromImage(small));
    }
    return label;
}

} // namespace

CFitResultDlg::CFitResultDlg(const FitToProjector::Result& fit, QWidget* parent)
    : QDialog(parent), m_usable(fit.result.ok() && !fit.bytes.isEmpty()) {
    setObjectName(QStringLiteral("fitResultDlg"));
    setWindowTitle(CatalogText(msg::FitDlgTitle));
    auto* layout = new QVBoxLayout(this);

    if (!m_usable) {
        QLabel* failure = makeLabel(this, "failureLabel", CatalogText(fit.result.messageId()));
        failure->setWordWrap(true);
        layout->addWidget(failure);
    } else {
        auto* form = new QFormLayout;
        auto addRow = [&](const char* labelName, CatalogId label, const char* valueName,
                          const QString& value) {
            QLabel* v = makeLabel(this, valueName, value);
            v->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(makeLabel(this, labelName, CatalogText(label)), v);
        };
        addRow("sizeLabel", msg::FitLabelSize, "sizeValue",
               QStringLiteral("%1 × %2").arg(fit.shown.width()).arg(fit.shown.height()));
        addRow("scaleLabel", msg::FitLabelScale, "scaleValue",
               QStringLiteral("%1%").arg(static_cast<int>(std::lround(fit.scale * 100))));
        addRow("coloursLabel", msg::FitLabelColours, "coloursValue", QString::number(fit.colours));
        addRow("ditherLabel", msg::FitLabelDither, "ditherValue",
               fit.dither > 0 ? QString::number(fit.dither, 'f', 2) : CatalogText(msg::FitNone));
        addRow("smoothingLabel", msg::FitLabelSmoothing, "smoothingValue", orNone(fit.smoothing));
        addRow("toleranceLabel", msg::FitLabelTolerance, "toleranceValue", orNone(fit.runTolerance));
        addRow("candidatesLabel", msg::FitLabelCandidates, "candidatesValue",
               QString::number(fit.candidates));

        const qint64 bytes = fit.bytes.size();
        const qint64 limit = SendableImage::kMaxFileSize;
        QLabel* bytesValue = makeLabel(
            this, "fileSizeValue",
            CatalogText(msg::FitFileSizeText, {CatalogNumber::format(bytes), CatalogNumber::format(limit)}));
        auto* bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("fileSizeBar"));
        bar->setRange(0, static_cast<int>(limit));
        bar->setValue(static_cast<int>(std::min(bytes, limit)));
        bar->setTextVisible(false);
        bar->setMaximumHeight(10);
        if (bytes > limit) {
            QPalette warn = bytesValue->palette();
            warn.setColor(QPalette::WindowText, Qt::red);
            bytesValue->setPalette(warn);
        }
        auto* bytesBox = new QVBoxLayout;
        bytesBox->addWidget(bytesValue);
        bytesBox->addWidget(bar);
        form->addRow(makeLabel(this, "fileSizeLabel", CatalogText(msg::FitLabelFileSize)), bytesBox);
        addRow("qualityLabel", msg::FitLabelQuality, "qualityValue", psnrText(fit.psnr));
        layout->addLayout(form);

        auto* previews = new QGridLayout;
        previews->addWidget(makeLabel(this, "referenceCaption", CatalogText(msg::FitCaptionReference)), 0, 0,
                            Qt::AlignHCenter);
        previews->addWidget(makeLabel(this, "shownCaption", CatalogText(msg::FitCaptionShown)), 0, 1,
                            Qt::AlignHCenter);
        previews->addWidget(makePreview(this, "referenceImage", fit.reference), 1, 0);
        previews->addWidget(makePreview(this, "shownImage", fit.shown), 1, 1);
        layout->addLayout(previews);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    if (m_usable) {
        auto* use = new QPushButton(CatalogText(msg::FitButtonUse), this);
        use->setObjectName(QStringLiteral("useButton"));
        use->setDefault(true);
        connect(use, &QPushButton::clicked, this, &CFitResultDlg::accept);
        buttons->addWidget(use);
    }
    auto* cancel = new QPushButton(CatalogText(msg::ButtonCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(cancel, &QPushButton::clicked, this, &CFitResultDlg::reject);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
}

void CFitResultDlg::accept() {
    if (!m_usable) {
        return;
    }
    m_status = kConfirmed;
    done(kConfirmed);
}

void CFitResultDlg::reject() {
    m_status = kCancelled;
    done(kCancelled);
}
