#pragma once

#include <QHash>
#include <QString>

// The texts of the program's imaging dialogs, by index. Start-up writes the table of
// catalog texts and fixed literals into it once; the dialogs read their labels from it.
class ImagingTextStore final {
public:
    bool setText(qint32 index, const QString& text) {
        m_texts.insert(index, text);
        return true;
    }
    [[nodiscard]] QString text(qint32 index, const QString& fallback = {}) const {
        return m_texts.value(index, fallback);
    }
    [[nodiscard]] bool contains(qint32 index) const { return m_texts.contains(index); }
    [[nodiscard]] qsizetype size() const { return m_texts.size(); }

private:
    QHash<qint32, QString> m_texts;
};
