#pragma once

#include "registry/ProjectorCsv.h"

#include <QDialog>

class QListWidget;

// The preview of a CSV import: one line per row saying what would happen to it. Nothing
// is written unless the user presses Import.
class CCsvImportDlg final : public QDialog {
    Q_OBJECT

public:
    CCsvImportDlg(const ProjectorCsv::Plan& plan, QWidget* parent = nullptr);

    [[nodiscard]] QListWidget* lines() const { return m_lines; }

private:
    QListWidget* m_lines = nullptr;
};
