#pragma once

#include "i18n/ImagingTextStore.h"
#include "imaging/ColourResolution.h"
#include "imaging/Picture.h"

#include <QColor>
#include <QDialog>

#include <functional>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

// Asks for a colour depth, the palette to map onto, the dithering and, for a palette of the
// user's own, its colours. The picture itself is not touched: the caller runs request().
class CColourResolutionDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kConfirmed = 100;
    static constexpr int kCancelled = 0;

    // Asks for one colour, starting from initial; an invalid colour means the user gave up.
    using ColourPicker = std::function<QColor(QWidget* parent, const QColor& initial, const QString& title)>;

    // presetBits: 1, 2, 4, 8 or 24 (anything else starts at 8). An indexed source lends its
    // palette as the first user palette.
    explicit CColourResolutionDlg(const Picture& source, const ImagingTextStore& texts, int presetBits = 8,
                                  QWidget* parent = nullptr);

    [[nodiscard]] ColourResolution request() const;
    [[nodiscard]] int bits() const;
    [[nodiscard]] PaletteOption paletteOption() const;
    [[nodiscard]] DitherOption ditherOption() const;
    // The colour count handed over: the limit for an optimised palette, the number of user
    // colours for a user palette, 0 otherwise.
    [[nodiscard]] int colourCount() const;
    [[nodiscard]] Palette userPalette() const;
    [[nodiscard]] int resultStatus() const { return m_status; }

    // The colour dialog by default; tests answer instead.
    void setColourPicker(ColourPicker picker) { m_picker = std::move(picker); }

public Q_SLOTS:
    void accept() override;
    void reject() override;

private:
    void onBitsChanged();
    void addColour();
    void removeColours();
    void editColour();
    void appendSwatch(const QColor& colour);
    void renumberSwatches();
    void updateControls();
    [[nodiscard]] bool consistent() const;
    [[nodiscard]] int maxColours() const;

    int m_status = kCancelled;
    QString m_pickerTitle;
    QString m_indexText;
    QString m_redText;
    QString m_greenText;
    QString m_blueText;
    ColourPicker m_picker;
    QButtonGroup* m_bits = nullptr;
    QButtonGroup* m_palette = nullptr;
    QButtonGroup* m_dither = nullptr;
    QGroupBox* m_paletteGroup = nullptr;
    QGroupBox* m_ditherGroup = nullptr;
    QGroupBox* m_userGroup = nullptr;
    QSpinBox* m_count = nullptr;
    QListWidget* m_swatches = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_edit = nullptr;
    QLabel* m_inUse = nullptr;
    QPushButton* m_ok = nullptr;
};
