#pragma once

#include <QStringList>

class QComboBox;

// Fills a "Show" combo with "All projectors" and then every group, each group's name as its
// data; the group chosen before stays chosen while it still exists. Signals stay quiet.
void FillGroupFilter(QComboBox& combo, const QStringList& groupNames);
