#include "common/SpreadsheetCell.h"
#include "common/VisibleText.h"
#include "support/HostileStrings.h"

#include <QStringList>

#include <gtest/gtest.h>

TEST(VisibleTextTest, HostileStringsShowEveryHiddenCharacter) {
    for (const HostileString& h : HostileStrings()) {
        EXPECT_EQ(VisibleText::shown(h.text), h.shown) << h.what;
        EXPECT_EQ(VisibleText::containsInvisible(h.text), h.invisible) << h.what;
        EXPECT_FALSE(VisibleText::containsInvisible(VisibleText::shown(h.text))) << h.what;
        EXPECT_FALSE(VisibleText::containsInvisible(VisibleText::withoutInvisible(h.text))) << h.what;
    }
    // Every direction and zero-width character, not only those in the table.
    for (const char16_t c :
         {0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069, 0x200B, 0x200C,
          0x200D, 0x200E, 0x200F, 0x2060, 0xFEFF, 0x061C, 0x2028, 0x2029, 0x007F, 0x0000}) {
        const QString text = u"a"_qs + QChar(c) + u"b"_qs;
        EXPECT_TRUE(VisibleText::containsInvisible(text)) << int(c);
        EXPECT_EQ(VisibleText::withoutInvisible(text), u"ab") << int(c);
        EXPECT_EQ(VisibleText::shown(text),
                  u"a\\u"_qs + QStringLiteral("%1").arg(int(c), 4, 16, QChar(u'0')).toUpper() + u"b"_qs)
            << int(c);
    }
    // Ordinary letters beside them stay as they are.
    for (const char16_t c : {0x00A0, 0x00E9, 0x05D0, 0x0627, 0x2010, 0x2030, 0x206A, 0x4E00, 0xFEFE}) {
        EXPECT_FALSE(VisibleText::isInvisible(c)) << int(c);
    }
}

TEST(VisibleTextTest, MessagesKeepTheirLinesButNotTheirTricks) {
    const QString body = u"File-Name:<b>\u202Egnp.qv1\r\nFile-Length:12\tbytes"_qs;
    EXPECT_EQ(VisibleText::shown(body, VisibleText::Layout::Keep),
              u"File-Name:<b>\\u202Egnp.qv1\r\nFile-Length:12\tbytes"_qs);
    EXPECT_EQ(VisibleText::shown(body),
              u"File-Name:<b>\\u202Egnp.qv1\\u000D\\u000AFile-Length:12\\u0009bytes"_qs);
}

TEST(VisibleTextTest, ToolTipsShowMarkupLiterally) {
    EXPECT_EQ(VisibleText::toolTip(QString()), QString());
    EXPECT_EQ(VisibleText::toolTip(u"a & b > c"_qs), u"a & b > c") << "no tag, so plain already";
    const QString tip = VisibleText::toolTip(u"<b>x</b> & <img src=\"/tmp/p.png\">\u202E"_qs);
    // Rich text of our own, so the tooltip reads the escapes back as the characters written.
    EXPECT_TRUE(tip.startsWith(u"<p ") && tip.endsWith(u"</p>")) << qPrintable(tip);
    EXPECT_FALSE(tip.contains(u"<b>")) << qPrintable(tip);
    EXPECT_FALSE(tip.contains(u"<img")) << qPrintable(tip);
    EXPECT_TRUE(tip.contains(u"&lt;b&gt;x&lt;/b&gt; &amp; &lt;img src=&quot;/tmp/p.png&quot;&gt;\\u202E"))
        << qPrintable(tip);
}

TEST(SpreadsheetCellTest, FormulasAreGuardedAndEveryTextComesBack) {
    EXPECT_EQ(SpreadsheetCell::guarded(u"=1+1"_qs), u"'=1+1");
    EXPECT_EQ(SpreadsheetCell::guarded(u"+1"_qs), u"'+1");
    EXPECT_EQ(SpreadsheetCell::guarded(u"-1"_qs), u"'-1");
    EXPECT_EQ(SpreadsheetCell::guarded(u"@x"_qs), u"'@x");
    EXPECT_EQ(SpreadsheetCell::guarded(u"\tx"_qs), u"'\tx");
    EXPECT_EQ(SpreadsheetCell::guarded(u"\rx"_qs), u"'\rx");
    EXPECT_EQ(SpreadsheetCell::guarded(u"''=x"_qs), u"'''=x");
    EXPECT_EQ(SpreadsheetCell::guarded(u"a=1"_qs), u"a=1");
    EXPECT_EQ(SpreadsheetCell::guarded(u"'quoted"_qs), u"'quoted");
    EXPECT_EQ(SpreadsheetCell::guarded(QString()), QString());
    // A cell that a hand-made file holds is read as it stands.
    EXPECT_EQ(SpreadsheetCell::unguarded(u"=1+1"_qs), u"=1+1");
    EXPECT_EQ(SpreadsheetCell::unguarded(u"'quoted"_qs), u"'quoted");
    EXPECT_EQ(SpreadsheetCell::unguarded(u"'"_qs), u"'");

    QStringList texts{u"'"_qs, u"''"_qs, u"'-"_qs, u"-"_qs, u"="_qs, QString()};
    for (const HostileString& h : HostileStrings()) {
        texts << h.text;
    }
    for (const QString& t : texts) {
        const QString cell = SpreadsheetCell::guarded(t);
        EXPECT_EQ(SpreadsheetCell::unguarded(cell), t) << qPrintable(t);
        // What a spreadsheet sees first is never the start of a formula.
        const QChar first = cell.isEmpty() ? QChar() : cell.front();
        EXPECT_FALSE(first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
                     first == u'\r')
            << qPrintable(t);
    }
}
