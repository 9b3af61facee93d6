#pragma once

#include "i18n/ImagingTextStore.h"
#include "imaging/Picture.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QPushButton;
class QSpinBox;

// Asks for a new picture size, resolution and resampling method. The picture itself is not
// touched: the caller reads the choice and runs the resize.
class CResizeDlg final : public QDialog {
    Q_OBJECT

public:
    // What resultStatus() and exec() give when the user pressed OK.
    static constexpr int kConfirmed = 100;
    static constexpr int kCancelled = 0;
    static constexpr int kMaxSide = 32768;
    static constexpr int kMaxDpi = 9999;

    explicit CResizeDlg(const Picture& source, const ImagingTextStore& texts, QWidget* parent = nullptr);

    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;
    // One of PictureOps' kernel flags, plus kResizeFavourBlack when asked for with pixel
    // replication (the only method it changes).
    [[nodiscard]] int flags() const;
    [[nodiscard]] int xResolution() const;
    [[nodiscard]] int yResolution() const;
    [[nodiscard]] bool keepAspectRatio() const;
    [[nodiscard]] int resultStatus() const { return m_status; }

public Q_SLOTS:
    void accept() override;
    void reject() override;

private:
    void onWidthChanged(int value);
    void onHeightChanged(int value);
    void onKeepAspectToggled(bool on);
    void updateControls();

    int m_sourceWidth;
    int m_sourceHeight;
    int m_status = kCancelled;
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QSpinBox* m_xDpi = nullptr;
    QSpinBox* m_yDpi = nullptr;
    QCheckBox* m_keepAspect = nullptr;
    QCheckBox* m_favourBlack = nullptr;
    QButtonGroup* m_method = nullptr;
    QPushButton* m_ok = nullptr;
};
