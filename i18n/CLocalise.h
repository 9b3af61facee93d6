#pragma once

#include <QtGlobal>

class QWidget;

// Replaces "number;text" placeholders of Designer forms with catalog texts of a group.

// The title and the texts of the direct child controls (labels, buttons, group boxes);
// children of children are not visited. Without a loaded catalog it does nothing.
void LocaliseDialog(quint32 group, QWidget* dialog);
