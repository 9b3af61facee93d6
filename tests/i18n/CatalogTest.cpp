#include "i18n/Catalog.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/MessageFormat.h"
#include "i18n/Placeholder.h"
#include "support/TempDir.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

const QByteArray kSample = R"(; sample
[1033.9]
58=Tessavel
61=The file could not be opened (code %1).
76=%1.%2.%3.%4 is already listed.
7=A%0
8=%0
9=Hello%0
90=Line one%nLine two%t100%%
[2052.9]
58=Tessavel-zh
[1033.53]
1=&File
[2052.53]
)";

CatalogEnvironment env(quint32 lang, bool eng = false, bool sch = false) {
    CatalogEnvironment e;
    e.systemLanguage = lang;
    e.forceEnglish = eng;
    e.forceChinese = sch;
    return e;
}

QString look(const Catalog& c, const CatalogEnvironment& e, quint32 g, quint32 n, const QStringList& ins = {},
             int buffer = kCatalogBufferSize) {
    return LookUpText(&c, e, g, n, ins, buffer);
}

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

} // namespace

TEST(CatalogLookup, FallbackOrderAndMarkers) {
    const Catalog c = Catalog::fromData(kSample);
    // Chinese system: Chinese where present, English behind it.
    EXPECT_EQ(look(c, env(2052), 9, 58), u"Tessavel-zh");
    EXPECT_EQ(look(c, env(2052), 53, 1), u"&File");
    // GETENG forces English from whichever catalog is loaded.
    EXPECT_EQ(look(c, env(2052, true), 9, 58), u"Tessavel");
    // GETSCH wins over GETENG.
    EXPECT_EQ(look(c, env(1033, true, true), 9, 58), u"Tessavel-zh");
    // An unknown system language falls back to English.
    EXPECT_EQ(look(c, env(1031), 9, 58), u"Tessavel");
    EXPECT_EQ(look(c, env(1033), 9, 999), kNoMessageCatalog);
    EXPECT_EQ(LookUpText(nullptr, env(1033), 9, 58, {}), kNoMessageCatalog);
}

TEST(CatalogLookup, InsertsLineBreaksAndBuffer) {
    const Catalog c = Catalog::fromData(kSample);
    const auto e = env(1033);
    EXPECT_EQ(look(c, e, 9, 61, {QStringLiteral("20001")}), u"The file could not be opened (code 20001).");
    EXPECT_EQ(look(c, e, 9, 76, {u"192"_qs, u"168"_qs, u"0"_qs, u"10"_qs}),
              u"192.168.0.10 is already listed.");
    EXPECT_EQ(look(c, e, 9, 90), u"Line one\nLine two\t100%");
    // A text stored without its line break loses its last two characters; shorter gives empty.
    EXPECT_EQ(look(c, e, 9, 7), u"");
    EXPECT_EQ(look(c, e, 9, 8), u"");
    EXPECT_EQ(look(c, e, 9, 9), u"Hel") << "%0 ends the text, and the lookup still drops two characters";
    EXPECT_EQ(look(c, e, 9, 58, {}, 5), u"Tess");
    EXPECT_EQ(look(c, e, 9, 61, {}), u"The file could not be opened (code ).");
}

TEST(MessageFormatTest, EscapesAndSpecs) {
    EXPECT_EQ(MessageFormat::format(u"a%1!d!b%2"_qs, {u"1"_qs, u"2"_qs}), u"a1b2");
    EXPECT_EQ(MessageFormat::format(u"%10|%9"_qs, {u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs, u"e"_qs, u"f"_qs,
                                                   u"g"_qs, u"h"_qs, u"i"_qs, u"j"_qs}),
              u"j|i");
    EXPECT_EQ(MessageFormat::format(u"trailing %"_qs, {}), u"trailing %");
    EXPECT_EQ(MessageFormat::format(u"x%0yz"_qs, {}), u"x");
}

TEST(CatalogFile, ParsesSectionsAndSkipsNonsense) {
    const Catalog c =
        Catalog::fromData("[x.9]\n1=a\n[1033]\n2=b\n[1033.70000]\n3=c\n[1033.9]\nabc=d\n4=ok\n");
    EXPECT_EQ(c.size(), 1);
    EXPECT_EQ(c.stored(1033, 9, 4), std::optional<QString>(u"ok\r\n"_qs));
    EXPECT_FALSE(Catalog::fromData(QByteArray("\0\0\xff\xfe[", 5)).stored(1033, 9, 4));
}

TEST(CatalogLoad, ChoosesLibraryByLanguageAndMarker) {
    ScopedCurrentDir dir;
    {
        QFile en(dir.file(u"Pellatic.cat"_qs));
        ASSERT_TRUE(en.open(QIODevice::WriteOnly));
        en.write("[1033.9]\n58=default\n");
        QFile zh(dir.file(u"Pellaticsc.cat"_qs));
        ASSERT_TRUE(zh.open(QIODevice::WriteOnly));
        zh.write("[2052.9]\n58=chinese\n[1033.9]\n58=english-in-sc\n");
    }
    SetCatalogSearchPathForTesting({dir.path()});
    SetSystemLanguageIdForTesting(1033);
    ASSERT_EQ(LoadCatalog(), 0);
    EXPECT_EQ(CatalogText(9, 58), u"default");

    SetSystemLanguageIdForTesting(2052);
    ASSERT_EQ(LoadCatalog(), 0);
    EXPECT_EQ(CatalogText(9, 58), u"chinese");
    touch(dir.file(u"GETENG"_qs)); // looked for again on every lookup
    EXPECT_EQ(CatalogText(9, 58), u"english-in-sc");
    QFile::remove(dir.file(u"GETENG"_qs));

    SetSystemLanguageIdForTesting(1033);
    touch(dir.file(u"GETSCH"_qs));
    ASSERT_EQ(LoadCatalog(), 0);
    EXPECT_EQ(CatalogText(9, 58), u"chinese");

    UnloadCatalog();
    EXPECT_EQ(CatalogText(9, 58), kNoMessageCatalog);
    SetCatalogSearchPathForTesting({dir.file(u"missing"_qs)});
    EXPECT_EQ(LoadCatalog(), -1);
    EXPECT_FALSE(IsCatalogLoaded());
    SetCatalogSearchPathForTesting({});
    SetSystemLanguageIdForTesting(0);
}

TEST(PlaceholderTest, RecognisesNumberSemicolonText) {
    EXPECT_EQ(Placeholder::number(u"27;Get"), 27);
    EXPECT_EQ(Placeholder::number(u"  302;OK"), 302);
    EXPECT_EQ(Placeholder::number(u"11;&Projector List..."), 11);
    EXPECT_EQ(Placeholder::number(u"7;Authentication "), 7);
    EXPECT_EQ(Placeholder::number(u"5; x"), 5);
    EXPECT_FALSE(Placeholder::number(u"Store"));
    EXPECT_FALSE(Placeholder::number(u"-"));
    EXPECT_FALSE(Placeholder::number(u"Setting\nSetting"));
    EXPECT_FALSE(Placeholder::number(u"12;"));
    EXPECT_FALSE(Placeholder::number(u"12;  "));
    EXPECT_FALSE(Placeholder::number(u"12 ;x"));
    EXPECT_FALSE(Placeholder::number(u";x"));
}

// Every number the program looks up has an English and a Simplified-Chinese text in the
// shipped catalogs.
TEST(ShippedCatalogs, EveryNumberHasBothLanguages) {
    const auto def = Catalog::fromFile(QStringLiteral(TESSAVEL_BUILD_DIR "/Pellatic.cat"));
    const auto sc = Catalog::fromFile(QStringLiteral(TESSAVEL_BUILD_DIR "/Pellaticsc.cat"));
    ASSERT_TRUE(def && sc);

    const QList<CatalogId> used(std::begin(msg::kAll), std::end(msg::kAll));
    // Dialogs set their texts where they make their widgets; a numbered text in a layout
    // would reach the screen as it stands.
    static const QRegularExpression uiText(QStringLiteral("<string>\\s*-?\\d+;"));
    QDirIterator it(QStringLiteral(TESSAVEL_SOURCE_DIR), {QStringLiteral("*.ui")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_FALSE(uiText.match(QString::fromUtf8(f.readAll())).hasMatch()) << f.fileName().toStdString();
    }
    QSet<quint64> listed;
    for (const CatalogId id : msg::kAll) {
        EXPECT_FALSE(listed.contains((quint64{id.group} << 32) | id.number)) << id.group << "," << id.number;
        listed.insert((quint64{id.group} << 32) | id.number);
    }
    for (const CatalogId id : used) {
        const std::string name = QStringLiteral("(%1, %2)").arg(id.group).arg(id.number).toStdString();
        EXPECT_TRUE(def->stored(Catalog::kEnglish, id.group, id.number)) << "no English text " << name;
        EXPECT_TRUE(sc->stored(Catalog::kEnglish, id.group, id.number)) << "no English in SC " << name;
        EXPECT_TRUE(sc->stored(Catalog::kSimplifiedChinese, id.group, id.number))
            << "no Chinese text " << name;
    }
    // Inserts must match between the languages, or a translation drops a value.
    static const QRegularExpression insert(QStringLiteral("%([1-9])"));
    for (const CatalogId id : msg::kAll) {
        auto inserts = [&](const QString& t) {
            QSet<QString> s;
            for (const auto& m : insert.globalMatch(t)) {
                s.insert(m.captured(1));
            }
            return s;
        };
        const auto en = sc->stored(Catalog::kEnglish, id.group, id.number);
        const auto zh = sc->stored(Catalog::kSimplifiedChinese, id.group, id.number);
        if (en && zh) {
            EXPECT_EQ(inserts(*en), inserts(*zh)) << id.group << "," << id.number;
        }
    }
}

namespace {

// Every text of one language in a catalog source, as number and text (comments skipped).
QList<std::pair<QString, QString>> sourceTexts(const QString& path) {
    QList<std::pair<QString, QString>> texts;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return texts;
    }
    QString section;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u';') || line.isEmpty()) {
            continue;
        }
        if (line.startsWith(u'[')) {
            section = line;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0) {
            texts.append({section + line.left(eq), line.mid(eq + 1)});
        }
    }
    return texts;
}

bool isCjk(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF);
}

} // namespace

// The Chinese texts use full-width punctuation beside Chinese characters (the glossary test
// below keeps one term per idea).
TEST(ShippedCatalogs, ChineseTextsUseFullWidthPunctuation) {
    const auto texts = sourceTexts(QStringLiteral(TESSAVEL_SOURCE_DIR "/resources/catalog/Pellatic.zh.cat"));
    ASSERT_GT(texts.size(), 300);
    // A menu letter such as "(&F)" keeps its ASCII brackets, as menus do everywhere.
    static const QRegularExpression menuLetter(QStringLiteral("\\(&[A-Z]\\)"));
    // A file-dialog filter keeps its ASCII brackets too: the dialog reads the patterns there.
    static const QRegularExpression filterPatterns(QStringLiteral("\\((\\*\\.[A-Za-z0-9]+ ?)+\\)$"));
    for (const auto& [where, raw] : texts) {
        QString text = raw;
        text.remove(menuLetter);
        text.remove(filterPatterns);
        bool hasCjk = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            hasCjk = hasCjk || isCjk(text.at(i));
            if (!QStringLiteral(",:;?!()").contains(text.at(i))) {
                continue;
            }
            // The nearest character on either side, blanks skipped.
            qsizetype l = i - 1;
            while (l >= 0 && text.at(l) == u' ') {
                --l;
            }
            qsizetype r = i + 1;
            while (r < text.size() && text.at(r) == u' ') {
                ++r;
            }
            const bool besideCjk = (l >= 0 && isCjk(text.at(l))) || (r < text.size() && isCjk(text.at(r)));
            EXPECT_FALSE(besideCjk) << where.toStdString() << ": ASCII \"" << text.at(i).toLatin1()
                                    << "\" in " << raw.toStdString();
        }
        if (hasCjk) {
            EXPECT_FALSE(text.contains(u'"'))
                << where.toStdString() << " uses ASCII quotes: " << raw.toStdString();
        }
    }
}

namespace {

// The texts of a catalog source by "GROUP.NUMBER", whatever the language section.
QHash<QString, QString> textsByNumber(const QString& path) {
    QHash<QString, QString> byNumber;
    static const QRegularExpression section(QStringLiteral("^\\[\\d+\\.(\\d+)\\]"));
    for (const auto& [where, text] : sourceTexts(path)) {
        const auto m = section.match(where);
        if (m.hasMatch()) {
            byNumber.insert(m.captured(1) + u'.' + where.mid(m.capturedLength()), text);
        }
    }
    return byNumber;
}

struct GlossaryRow final {
    QString idea;
    QString term;
    QStringList forbidden;
    QRegularExpression english;
};

QList<GlossaryRow> readGlossary(const QString& path) {
    QList<GlossaryRow> rows;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return rows;
    }
    bool header = true;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(u'#') || line.trimmed().isEmpty()) {
            continue;
        }
        if (header) {
            header = false;
            continue;
        }
        const QStringList cols = line.split(u'\t');
        EXPECT_EQ(cols.size(), 4) << "glossary line: " << line.toStdString();
        if (cols.size() != 4) {
            continue;
        }
        GlossaryRow row{cols[0], cols[1], cols[2].split(u'|', Qt::SkipEmptyParts), {}};
        if (!cols[3].isEmpty()) {
            row.english = QRegularExpression(cols[3], QRegularExpression::CaseInsensitiveOption);
        }
        rows.append(row);
    }
    return rows;
}

// The Chinese texts of the desktop entry and the metainfo, with where each comes from. Search
// keywords are left out: they list other words on purpose, so that a search for them finds us.
QList<std::pair<QString, QString>> packagingChineseTexts() {
    QList<std::pair<QString, QString>> texts;
    const QString dir = QStringLiteral(TESSAVEL_SOURCE_DIR "/packaging/");
    QFile desktop(dir + QStringLiteral("org.tessavel.Tessavel.desktop"));
    if (desktop.open(QIODevice::ReadOnly)) {
        static const QRegularExpression entry(QStringLiteral("^(\\w+)\\[zh_CN\\]=(.*)$"));
        for (const QByteArray& raw : desktop.readAll().split('\n')) {
            const auto m = entry.match(QString::fromUtf8(raw));
            if (m.hasMatch() && m.captured(1) != u"Keywords") {
                texts.append({u"desktop "_qs + m.captured(1), m.captured(2)});
            }
        }
    }
    QFile meta(dir + QStringLiteral("org.tessavel.Tessavel.metainfo.xml.in"));
    if (meta.open(QIODevice::ReadOnly)) {
        static const QRegularExpression element(QStringLiteral("<(\\w+) xml:lang=\"zh-CN\">([^<]*)</"));
        for (const auto& m : element.globalMatch(QString::fromUtf8(meta.readAll()))) {
            if (m.captured(1) != u"keyword") {
                texts.append({u"metainfo "_qs + m.captured(1), m.captured(2)});
            }
        }
    }
    return texts;
}

} // namespace

// Translators keep one Chinese term per idea: the glossary beside the catalogs names it and the
// variants that must not come back, and every English text that carries the idea uses the term.
TEST(ShippedCatalogs, ChineseTextsFollowTheGlossary) {
    const auto rows = readGlossary(QStringLiteral(TESSAVEL_SOURCE_DIR "/resources/catalog/glossary.zh.tsv"));
    ASSERT_GT(rows.size(), 15);
    const auto en = textsByNumber(QStringLiteral(TESSAVEL_SOURCE_DIR "/resources/catalog/Pellatic.en.cat"));
    const auto zh = textsByNumber(QStringLiteral(TESSAVEL_SOURCE_DIR "/resources/catalog/Pellatic.zh.cat"));
    ASSERT_EQ(en.size(), zh.size());
    const auto packaged = packagingChineseTexts();
    ASSERT_GE(packaged.size(), 8) << "the desktop entry or the metainfo lost its Chinese";

    for (const GlossaryRow& row : rows) {
        const std::string idea = row.idea.toStdString();
        ASSERT_FALSE(row.term.isEmpty()) << idea;
        for (const QString& variant : row.forbidden) {
            EXPECT_FALSE(row.term.contains(variant)) << idea << ": the term contains its own variant";
            for (auto it = zh.cbegin(); it != zh.cend(); ++it) {
                EXPECT_FALSE(it.value().contains(variant))
                    << it.key().toStdString() << " uses " << variant.toStdString() << " for " << idea
                    << ", the glossary says " << row.term.toStdString() << ": " << it.value().toStdString();
            }
            for (const auto& [where, text] : packaged) {
                EXPECT_FALSE(text.contains(variant))
                    << where.toStdString() << " uses " << variant.toStdString() << " for " << idea;
            }
        }
        if (row.english.pattern().isEmpty()) {
            continue;
        }
        ASSERT_TRUE(row.english.isValid()) << idea << ": " << row.english.errorString().toStdString();
        int carriers = 0;
        for (auto it = en.cbegin(); it != en.cend(); ++it) {
            if (!row.english.match(it.value()).hasMatch()) {
                continue;
            }
            ++carriers;
            EXPECT_TRUE(zh.value(it.key()).contains(row.term))
                << it.key().toStdString() << " \"" << it.value().toStdString() << "\" should say "
                << row.term.toStdString() << ": " << zh.value(it.key()).toStdString();
        }
        EXPECT_GT(carriers, 0) << idea << ": no English text matches the glossary's pattern any more";
    }
}

// Chinese texts write colons, brackets and the equals sign full width, or leave them out. Only
// what a user types or a program reads keeps ASCII: menu letters, file-dialog filters, the
// command-line usage and a quoted character.
TEST(ShippedCatalogs, ChineseTextsHaveNoAsciiColonBracketOrEquals) {
    const auto texts = sourceTexts(QStringLiteral(TESSAVEL_SOURCE_DIR "/resources/catalog/Pellatic.zh.cat"));
    ASSERT_GT(texts.size(), 300);
    static const QRegularExpression menuLetter(QStringLiteral("\\(&[A-Z]\\)"));
    static const QRegularExpression filterPatterns(QStringLiteral("\\((\\*\\.[A-Za-z0-9]+ ?)+\\)$"));
    static const QRegularExpression quoted(QStringLiteral("“[^”]*”"));
    static const QRegularExpression cjk(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"));
    static const QRegularExpression ascii(QStringLiteral("[:()\\[\\]=]"));
    for (const auto& [where, raw] : texts) {
        if (raw.startsWith(u"用法：")) {
            continue;
        }
        QString text = raw;
        text.remove(menuLetter).remove(filterPatterns).remove(quoted);
        if (text.contains(cjk)) {
            EXPECT_FALSE(text.contains(ascii)) << where.toStdString() << ": " << raw.toStdString();
        }
    }
}
