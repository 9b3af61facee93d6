#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// One message catalog: texts by language id, group and number, read from a UTF-8 data file
// with sections "[LANG.GROUP]" and lines "NUMBER=text".
class Catalog final {
public:
    static constexpr quint32 kEnglish = 1033;
    static constexpr quint32 kSimplifiedChinese = 2052;
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

    static std::optional<Catalog> fromFile(const QString& path);
    static Catalog fromData(const QByteArray& data);

    // The message identifier of a text, as message tables number them.
    static constexpr quint32 messageId(quint32 group, quint32 number) {
        return ((group + 256u) << 16) | (number & 0xFFFFu);
    }

    // The stored text, which like every message-table text ends with its line break.
    [[nodiscard]] std::optional<QString> stored(quint32 language, quint32 group, quint32 number) const;
    [[nodiscard]] qsizetype size() const { return m_texts.size(); }

private:
    static quint64 key(quint32 language, quint32 id) { return (quint64{language} << 32) | id; }

    QHash<quint64, QString> m_texts;
};
