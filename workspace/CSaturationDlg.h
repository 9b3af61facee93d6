#pragma once

#include "i18n/ImagingTextStore.h"
#include "imaging/Picture.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QImage>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QTimer;

// Asks for a saturation change and shows it on a small copy of the picture, before and
// after, while the slider moves. The picture itself is not touched. The small copy of a large
// picture is made off the interface thread; the preview follows once it is there.
class CSaturationDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kConfirmed = 100;
    static constexpr int kCancelled = 0;
    // The preview copy fits this box.
    static constexpr int kPreviewWidth = 240;
    static constexpr int kPreviewHeight = 180;
    // Pause after the last slider move before the preview is redone.
    static constexpr int kPreviewDelayMs = 40;

    explicit CSaturationDlg(const Picture& source, const ImagingTextStore& texts, QWidget* parent = nullptr);

    // PictureOps::kSaturationMin..kSaturationMax; 0 leaves the picture as it is.
    [[nodiscard]] int value() const;
    [[nodiscard]] int resultStatus() const { return m_status; }
    // Whether the small copy is there (at once for a small picture).
    [[nodiscard]] bool previewReady() const { return !m_before.isNull(); }
    // What the "after" box shows at present (redone after the delay once the value moved).
    [[nodiscard]] const QImage& previewImage() const { return m_after; }
    [[nodiscard]] const QImage& originalImage() const { return m_before; }
    // The value previewImage() was made with.
    [[nodiscard]] int previewValue() const { return m_previewValue; }

public Q_SLOTS:
    void accept() override;
    void reject() override;

private:
    void onValueChanged(int value);
    void updatePreview();
    void showThumbnail(const Picture& thumbnail);

    QFutureWatcher<Picture> m_thumbnailWatcher;
    Picture m_thumbnail;
    QImage m_before;
    QImage m_after;
    int m_previewValue = 0;
    int m_status = kCancelled;
    QSlider* m_slider = nullptr;
    QSpinBox* m_spin = nullptr;
    QCheckBox* m_autoPreview = nullptr;
    QPushButton* m_previewButton = nullptr;
    QLabel* m_beforeLabel = nullptr;
    QLabel* m_afterLabel = nullptr;
    QTimer* m_debounce = nullptr;
};
