#pragma once

#include "imaging/FitToProjector.h"

#include <QDialog>

// Shows what fitting a picture to the projector gave (the settings found, the file size
// against the projector's limit, the quality, the picture before and after) and lets the
// user take the result or keep the picture as it was.
class CFitResultDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kConfirmed = 100;
    static constexpr int kCancelled = 0;
    // Each preview fits this box.
    static constexpr int kPreviewWidth = 320;
    static constexpr int kPreviewHeight = 240;

    // A failed fit shows its message, and only Cancel is offered.
    explicit CFitResultDlg(const FitToProjector::Result& fit, QWidget* parent = nullptr);

    [[nodiscard]] int resultStatus() const { return m_status; }

public Q_SLOTS:
    void accept() override;
    void reject() override;

private:
    int m_status = kCancelled;
    bool m_usable = false;
};
