#include "tools/tessavelctl/ColumnText.h"

#include <gtest/gtest.h>

namespace {

QStringList linesOf(const ColumnText& table) {
    QString text;
    QTextStream out(&text);
    table.write(out);
    out.flush();
    return text.split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

TEST(ColumnText, ColumnsLineUpUnderTheirHeadersAlsoWithWideCharacters) {
    ColumnText table({u"IP Address"_qs, u"Projector"_qs, u"State"_qs});
    table.addRow({u"127.0.0.2"_qs, u"大厅"_qs, u"Reachable"_qs});
    table.addRow({u"127.0.0.30"_qs, u"Hall east"_qs, u"Not reachable"_qs});
    const QStringList lines = linesOf(table);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], u"IP Address  Projector  State");
    // "大厅" takes four terminal columns, so it is padded as a four-letter name would be.
    EXPECT_EQ(lines[1], u"127.0.0.2   大厅       Reachable");
    EXPECT_EQ(lines[2], u"127.0.0.30  Hall east  Not reachable");
}

TEST(ColumnText, WhatAProjectorSaysCannotBreakARowOrMoveTheCursor) {
    ColumnText table({u"Name"_qs, u"Message"_qs});
    table.addRow({u"evil\r\nname\t"_qs, u"\x1b[2Jcleared"_qs});
    const QStringList lines = linesOf(table);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_FALSE(lines[1].contains(QChar(0x1b)));
    EXPECT_TRUE(lines[1].startsWith(u"evil  name"));
    EXPECT_EQ(ColumnText::displayWidth(u"a\u0301b"_qs), 2); // a combining accent takes no column
    EXPECT_EQ(ColumnText::displayWidth(u"（密码）"_qs), 8);
}
