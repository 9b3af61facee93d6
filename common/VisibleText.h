#pragma once

#include <QString>

// Text that came from a projector, the network or a file is shown with its invisible
// characters spelled out (U+202E becomes the six characters "\u202E"), so a name cannot
// reverse the text around it, hide part of itself or pass for another name.
namespace VisibleText {

enum class Layout { Escape, Keep };

// True for a character that changes the look of text without being seen: C0 and C1
// controls and DEL, bidirectional embeddings, overrides and isolates (U+202A–U+202E,
// U+2066–U+2069, U+061C), zero-width and joining marks (U+200B–U+200F, U+2060–U+2064,
// U+FEFF) and the line and paragraph separators U+2028 and U+2029.
bool isInvisible(char32_t c);

// text with every invisible character written as \uXXXX; with Keep, line breaks (CR, LF)
// and tabs stay as they are, for a message or a reply body shown over several lines.
QString shown(const QString& text, Layout layout = Layout::Escape);

// A tooltip that shows text literally, with its invisible characters spelled out: tooltips
// take anything that looks like markup for rich text and cannot be told otherwise, so text
// with a '<' becomes rich text of our own that escapes it. Line breaks and tabs stay.
QString toolTip(const QString& text);

// Whether text holds an invisible character, and text without them.
bool containsInvisible(const QString& text);
QString withoutInvisible(const QString& text);

} // namespace VisibleText
