#pragma once

#include <QString>

#include <vector>

// Text a projector, a file or the network might send to fool the program or its user:
// markup, spreadsheet formulas, characters that hide or reverse text, CSV delimiters. Every
// test of a surface that shows outside text takes its cases from here.
struct HostileString final {
    const char* what;
    QString text;
    QString shown;  // as it must appear on screen: invisible characters spelled out
    bool invisible; // holds a character that hides or reverses text
};

inline const std::vector<HostileString>& HostileStrings() {
    static const std::vector<HostileString> table{
        {"markup and a local picture", u"<b>x</b><img src=\"file:///tmp/p.png\">"_qs,
         u"<b>x</b><img src=\"file:///tmp/p.png\">"_qs, false},
        {"rich-text marker", u"<qt><i>Hall</i>"_qs, u"<qt><i>Hall</i>"_qs, false},
        {"entity", u"&lt;not a tag&gt; &amp;"_qs, u"&lt;not a tag&gt; &amp;"_qs, false},
        {"formula", u"=1+1"_qs, u"=1+1"_qs, false},
        {"formula after plus", u"+SUM(A1:A9)"_qs, u"+SUM(A1:A9)"_qs, false},
        {"leading minus", u"-Front Hall"_qs, u"-Front Hall"_qs, false},
        {"command at", u"@cmd|' /C calc'!A0"_qs, u"@cmd|' /C calc'!A0"_qs, false},
        {"quote then formula", u"'=already"_qs, u"'=already"_qs, false},
        {"two quotes then formula", u"''+twice"_qs, u"''+twice"_qs, false},
        {"plain quote", u"'quoted'"_qs, u"'quoted'"_qs, false},
        {"CSV delimiters", u"a,b \"c\""_qs, u"a,b \"c\""_qs, false},
        {"padded", u" padded "_qs, u" padded "_qs, false},
        {"Chinese and markup", u"投影机<i>一</i>"_qs, u"投影机<i>一</i>"_qs, false},
        {"outside the basic plane", u"Hall \U0001F4FD"_qs, u"Hall \U0001F4FD"_qs, false},
        {"right-to-left override", u"<i>Hall</i>\u202Egnp.exe"_qs, u"<i>Hall</i>\\u202Egnp.exe"_qs, true},
        {"isolates", u"\u2066Lobby\u2069"_qs, u"\\u2066Lobby\\u2069"_qs, true},
        {"zero-width space", u"Lob\u200Bby"_qs, u"Lob\\u200Bby"_qs, true},
        {"byte-order mark", u"\uFEFFLobby"_qs, u"\\uFEFFLobby"_qs, true},
        {"word joiner", u"Lob\u2060by"_qs, u"Lob\\u2060by"_qs, true},
        {"bell", u"ring\x07"_qs, u"ring\\u0007"_qs, true},
        {"tab first", u"\tTab"_qs, u"\\u0009Tab"_qs, true},
        {"carriage return first", u"\rCR"_qs, u"\\u000DCR"_qs, true},
        {"line break", u"two\nlines"_qs, u"two\\u000Alines"_qs, true},
        {"C1 control", u"esc\u009B31m"_qs, u"esc\\u009B31m"_qs, true},
    };
    return table;
}
