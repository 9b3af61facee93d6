#pragma once

#include "registry/ProjectorRecord.h"

#include <QString>

class ProjectorStore;
class QWidget;

// Writes to the projector store from a window: a write that fails is shown with the file
// and the reason, and the one-time notice that the file had to become UTF-8 follows.
class CProjectorStoreWrites final {
public:
    static bool saveProjectorList(QWidget* parent, ProjectorStore& store, const ProjectorList& list);
    static bool saveAuthSetting(QWidget* parent, ProjectorStore& store, const QString& password, int authOff);

private:
    static void showEncodingNotice(QWidget* parent, ProjectorStore& store);
};
