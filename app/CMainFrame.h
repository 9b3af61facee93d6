#pragma once

#include "registry/ProjectorStore.h"
#include "schedule/ScheduleTable.h"

#include <QMainWindow>

// The main window and owner of the program's long-lived state.
class CMainFrame final : public QMainWindow {
    Q_OBJECT

public:
    explicit CMainFrame(const QString& iniPath, QWidget* parent = nullptr);

    ProjectorStore& projectorStore() { return m_projectors; }
    [[nodiscard]] const IoResult& projectorLoadResult() const { return m_loadResult; }

private:
    ProjectorStore m_projectors;
    IoResult m_loadResult;
};
