#include "i18n/Catalog.h"

#include "common/PrivateFile.h"

#include <SimpleIni.h>

#include <string>

namespace {

// "1033.9" -> language 1033, group 9; anything else is not a text section.
bool parseSection(const char* name, quint32& language, quint32& group) {
    const QByteArray s(name);
    const qsizetype dot = s.indexOf('.');
    if (dot <= 0 || dot == s.size() - 1) {
        return false;
    }
    bool okLang = false;
    bool okGroup = false;
    const uint lang = s.left(dot).toUInt(&okLang);
    const uint grp = s.mid(dot + 1).toUInt(&okGroup);
    if (!okLang || !okGroup || grp > 0xFFFF) {
        return false;
    }
    language = lang;
    group = grp;
    return true;
}

} // namespace

std::optional<Catalog> Catalog::fromFile(const QString& path) {
    QByteArray data;
    if (!PrivateFile::read(path, kMaxFileSize, data).ok()) {
        return std::nullopt;
    }
    return fromData(data);
}

Catalog Catalog::fromData(const QByteArray& data) {
    Catalog catalog;
    CSimpleIniA ini(false, false, false);
    if (ini.LoadData(data.constData(), static_cast<size_t>(data.size())) < 0) {
        return catalog;
    }
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& section : sections) {
        quint32 language = 0;
        quint32 group = 0;
        if (!parseSection(section.pItem, language, group)) {
            continue;
        }
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(section.pItem, keys);
        for (const auto& k : keys) {
            bool ok = false;
            const uint number = QByteArray(k.pItem).toUInt(&ok);
            if (!ok || number > 0xFFFF) {
                continue;
            }
            const char* value = ini.GetValue(section.pItem, k.pItem, "");
            catalog.m_texts.insert(key(language, messageId(group, number)),
                                   QString::fromUtf8(value) + QStringLiteral("\r\n"));
        }
    }
    return catalog;
}

std::optional<QString> Catalog::stored(quint32 language, quint32 group, quint32 number) const {
    if (group > 0xFFFF || number > 0xFFFF) {
        return std::nullopt;
    }
    const auto it = m_texts.constFind(key(language, messageId(group, number)));
    if (it == m_texts.constEnd()) {
        return std::nullopt;
    }
    return *it;
}
