#include "registry/ProjectorIni.h"

#include "i18n/Catalog.h"

#include <QRegularExpression>

#include <SimpleIni.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr const char* kListSection = "Projector List";
constexpr const char* kAuthSection = "Authentication";
constexpr int kValueBuffer = 255; // the profile reader's 256-byte buffer

// The first n characters, one fewer when the cut would split a surrogate pair: half a pair
// cannot be written back.
QString leftWhole(const QString& text, qsizetype n) {
    if (text.size() > n && n > 0 && text[n - 1].isHighSurrogate()) {
        --n;
    }
    return text.left(n);
}

QString readValue(const CSimpleIniA& ini, const char* key, const QString& fallback, TextCodec::Encoding enc) {
    const char* raw = ini.GetValue(kListSection, key, nullptr);
    if (raw == nullptr) {
        return fallback;
    }
    return leftWhole(TextCodec::decode(ProjectorIni::unquote(raw), enc), kValueBuffer);
}

// One line per value: a line break inside a name from the network must not become a key.
QString flatValue(const QString& text) {
    QString flat = text;
    for (QChar& c : flat) {
        if (c == u'\r' || c == u'\n' || c == QChar(0)) {
            c = u' ';
        }
    }
    return flat;
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Sets one value in the text's encoding; false when the encoding cannot hold it.
bool put(CSimpleIniA& ini, const char* section, const std::string& key, const QString& value,
         TextCodec::Encoding enc) {
    const QString text = flatValue(value);
    if (const char* raw = ini.GetValue(section, key.c_str(), nullptr)) {
        if (TextCodec::decode(ProjectorIni::unquote(raw), enc) == text) {
            return true; // as it was written, quotes and bytes alike
        }
    }
    const std::optional<QByteArray> bytes = TextCodec::encode(ProjectorIni::quoteForWrite(text), enc);
    if (!bytes) {
        return false;
    }
    ini.SetValue(section, key.c_str(), bytes->constData());
    return true;
}

void dropStaleRecords(CSimpleIniA& ini, int count) {
    // Keys of records beyond the new count would keep a deleted projector's password.
    static const QRegularExpression recordKey(QStringLiteral("^(NAME|MAC|IP|AUTH|PASS)-(\\d+)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    CSimpleIniA::TNamesDepend keys;
    ini.GetAllKeys(kListSection, keys);
    std::vector<std::string> stale;
    for (const auto& k : keys) {
        const auto m = recordKey.match(QString::fromUtf8(k.pItem));
        if (m.hasMatch()) {
            bool ok = false;
            const int n = m.captured(2).toInt(&ok);
            if (!ok || n < 1 || n > count) {
                stale.emplace_back(k.pItem);
            }
        }
    }
    for (const std::string& k : stale) {
        ini.Delete(kListSection, k.c_str());
    }
}

bool apply(CSimpleIniA& ini, TextCodec::Encoding enc, const ProjectorList* list,
           const ProjectorIni::AuthValues* auth) {
    bool fits = true;
    if (list != nullptr) {
        const auto count = static_cast<int>(list->size());
        fits = put(ini, kListSection, "COUNT", QString::number(count), enc) && fits;
        for (int n = 1; n <= count && fits; ++n) {
            const ProjectorRecord& r = list->at(n - 1);
            auto field = [&](const char* stem, const QString& value) {
                fits =
                    fits && put(ini, kListSection, std::string(stem) + '-' + std::to_string(n), value, enc);
            };
            field("NAME", r.name);
            field("MAC", r.mac);
            field("IP", Ipv4::toText(r.address));
            field("AUTH", r.authMark);
            field("PASS", r.password);
        }
        dropStaleRecords(ini, count);
    }
    if (auth != nullptr && fits) {
        fits = put(ini, kAuthSection, "FLAG", QString::number(auth->authOff), enc) &&
               put(ini, kAuthSection, "PASSWORD", auth->password, enc);
    }
    return fits;
}

} // namespace

QByteArray ProjectorIni::unquote(QByteArrayView raw) {
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
        return raw.sliced(1, raw.size() - 2).toByteArray();
    }
    return raw.toByteArray();
}

QString ProjectorIni::quoteForWrite(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    const QChar first = text.front();
    const QChar last = text.back();
    if (first == u'"' || last == u'"' || isBlank(first) || isBlank(last)) {
        return QStringLiteral("\"%1\"").arg(text);
    }
    return text;
}

QByteArray ProjectorIni::passwordBytes(const QString& password, TextCodec::Encoding encoding) {
    return TextCodec::encode(password, encoding).value_or(password.toUtf8());
}

TextCodec::Encoding ProjectorIni::legacyEncodingFor(quint32 languageId) {
    return languageId == Catalog::kSimplifiedChinese ? TextCodec::Encoding::Gbk
                                                     : TextCodec::Encoding::Windows1252;
}

ProjectorIni::Parsed ProjectorIni::parse(QByteArrayView text, TextCodec::Encoding legacy) {
    Parsed out;
    out.encoding = TextCodec::detect(text, legacy);
    CSimpleIniA ini(false, true, false); // several equal keys: the first one counts
    if (ini.LoadData(text.data(), static_cast<size_t>(text.size())) < 0) {
        return out;
    }
    out.ok = true;
    const auto value = [&](const QByteArray& key, const QString& fallback = {}) {
        return readValue(ini, key.constData(), fallback, out.encoding);
    };
    int count = TextRules::toInt(value("COUNT"));
    if (count < 1) {
        return out;
    }
    count = qMin(count, kMaxProjectors);
    out.list.reserve(count);
    for (int n = 1; n <= count; ++n) {
        auto key = [n](const char* stem) { return QByteArray(stem) + '-' + QByteArray::number(n); };
        ProjectorRecord r;
        r.name = leftWhole(value(key("NAME")), ProjectorRecord::kMaxName);
        r.mac = leftWhole(value(key("MAC")), ProjectorRecord::kMaxMac);
        r.address = Ipv4::toOctets(Ipv4::parseClassic(value(key("IP")).toUtf8()));
        r.authMark = leftWhole(value(key("AUTH"), QStringLiteral("1")), 1);
        r.password = value(key("PASS"));
        out.list.append(std::move(r));
    }
    return out;
}

ProjectorIni::Rendered ProjectorIni::render(QByteArrayView existing, TextCodec::Encoding legacy,
                                            const ProjectorList* list, const AuthValues* auth) {
    Rendered out;
    out.encoding = TextCodec::detect(existing, legacy);
    out.previous = out.encoding;
    QByteArray base = existing.toByteArray();
    for (;;) {
        CSimpleIniA ini(false, false, false);
        ini.SetSpaces(false);
        if (ini.LoadData(base.constData(), static_cast<size_t>(base.size())) < 0) {
            return out;
        }
        const bool fits = apply(ini, out.encoding, list, auth);
        if (!fits && out.encoding == TextCodec::Encoding::Utf8) {
            return out; // UTF-8 holds every text, so this is never reached
        }
        std::string saved;
        if (fits && ini.Save(saved, false) < 0) {
            return out;
        }
        const QByteArray bytes = QByteArray::fromStdString(saved);
        // Code-page text whose bytes happen to be valid UTF-8 once the lines that the reader
        // skips are gone would read back as UTF-8, with other characters.
        const bool readsAsUtf8 =
            fits && out.encoding != TextCodec::Encoding::Utf8 && TextCodec::isValidUtf8(bytes) &&
            !bytes.isEmpty() &&
            std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
        if (!fits || readsAsUtf8) {
            // The whole text moves to UTF-8, so that the next reading sees one encoding
            // throughout.
            // A byte-order mark is no text of the code page; the reader skips it.
            QByteArrayView source = existing;
            if (source.startsWith("\xEF\xBB\xBF")) {
                source = source.sliced(3);
            }
            base = TextCodec::decode(source, out.encoding).toUtf8();
            out.encoding = TextCodec::Encoding::Utf8;
            out.changedToUtf8 = true;
            continue;
        }
        out.bytes = bytes;
        out.ok = true;
        return out;
    }
}
