#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// The classic text conventions that stored files and the protocol rely on.
namespace TextRules {

// Decimal text to integer: optional blanks, optional sign, leading digits; no digits gives 0.
// Values beyond 32 bits saturate instead of overflowing.
int toInt(QStringView text);
int toInt(QByteArrayView text);

// Cuts text to the bytes a zero-terminated field of fieldSize bytes holds (fieldSize - 1),
// never splitting a UTF-8 sequence.
QByteArray toField(const QString& text, int fieldSize);

// The text of a fixed-size field: up to its first zero byte, or the whole field without one.
QString fromField(const char* field, int fieldSize);

} // namespace TextRules
