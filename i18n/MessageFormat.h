#pragma once

#include <QString>
#include <QStringList>

// Fills a stored catalog text the way message tables are formatted: %1..%99 are inserts
// (an optional "!format!" behind the number is accepted and ignored, the inserts arrive as
// text), %n is a line break (a plain line feed here), %t a tab, %r a carriage return, %% a percent sign, and
// %0 ends the text there. Missing inserts read as empty text.
namespace MessageFormat {
QString format(const QString& stored, const QStringList& inserts);
}
