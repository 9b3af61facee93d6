#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The MAC address as the projector form edits it: six bytes, one per box.
namespace MacText {

using Bytes = std::array<quint8, 6>;

// One box read as an unsigned hexadecimal number: empty gives 0; anything that is not a
// hexadecimal digit, or a value over FF, gives nothing.
std::optional<quint8> parseBox(QStringView box);

// Byte k from the two characters at position 3k, read as hexadecimal as far as they are
// hexadecimal digits; what is missing reads as 0.
Bytes fromText(QStringView text);

// "%02x-%02x-..." or "%02X-%02X-..."
QString toText(const Bytes& bytes, bool upperCase);

// A whole MAC address as people write and paste it: six pairs joined by ':' or '-'
// ("00:1A:2B:3C:4D:5E"), three groups of four joined by '.' ("001A.2B3C.4D5E"), or twelve
// digits in a row; either case, blanks around it ignored. Anything else gives nothing.
std::optional<Bytes> parseWhole(QStringView text);

[[nodiscard]] bool isZero(const Bytes& bytes);

// A MAC text a list may hold: empty, or six pairs of hexadecimal digits joined by '-' or
// ':'. Gives the text with '-' joins, case kept.
std::optional<QString> normalised(QStringView text);

} // namespace MacText
