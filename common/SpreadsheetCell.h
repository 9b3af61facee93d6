#pragma once

#include <QString>

// A CSV cell that a spreadsheet would take for a formula (it begins with =, +, -, @, a tab
// or a carriage return) is written behind one apostrophe, so opening an export never runs
// what a projector or a user typed. Reading our own export takes that apostrophe away again.
namespace SpreadsheetCell {

// The cell as written: text that begins with a formula character, or with apostrophes
// followed by one, gets one more apostrophe in front.
QString guarded(const QString& text);

// The text of a cell that guarded() wrote: one leading apostrophe fewer where guarded()
// added one; any other cell unchanged.
QString unguarded(const QString& cell);

} // namespace SpreadsheetCell
