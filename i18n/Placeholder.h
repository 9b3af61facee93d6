#pragma once

#include <QStringView>

#include <optional>

// Layout texts of the form "number;text" name the catalog text that replaces them.
// Read as "%d;%s": optional blanks, a decimal integer, a semicolon, then at least one
// non-blank character (blanks after the semicolon are allowed).
namespace Placeholder {
std::optional<int> number(QStringView text);
}
