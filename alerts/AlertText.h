#pragma once

#include "alerts/Alert.h"

#include <QString>

// What an alert says to the operator, from the catalog: one line for the Alerts list, and a
// notification's summary as it is raised or cleared. Outside text goes in as inserts only.
namespace AlertText {

[[nodiscard]] QString what(const Alert& alert);
[[nodiscard]] QString summary(const Alert& alert, bool raised);

} // namespace AlertText
