#pragma once

#include <QWidget>

#include <array>

class QLineEdit;

// An IPv4 address typed into four fields of 0 to 255 with the dots drawn between them.
// A dot or a third digit moves on to the next field, Backspace in an empty field moves
// back, pasting a dotted address fills all four, and a field left empty counts as 0.
class CIpAddressEdit final : public QWidget {
    Q_OBJECT

public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    // Host order, first field most significant.
    [[nodiscard]] quint32 address() const;
    void setAddress(quint32 hostAddress);
    // True while every field is empty.
    [[nodiscard]] bool isBlank() const;
    void clear();
    // Fills the fields from a dotted address; false (and nothing changed) when it is not one.
    bool setText(const QString& dotted);
    [[nodiscard]] QString text() const;

    // The label the fields' accessible names are made from.
    void setLabelText(const QString& label);
    [[nodiscard]] QLineEdit* field(int index) const { return m_fields[static_cast<size_t>(index)]; }

Q_SIGNALS:
    void addressEdited();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int indexOf(QObject* watched) const;
    void moveTo(int index, bool selectAll);

    std::array<QLineEdit*, 4> m_fields{};
};
