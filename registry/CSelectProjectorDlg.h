#pragma once

#include "registry/Ipv4.h"

#include <QDialog>
#include <QList>

class ProjectorStore;
class QComboBox;

// Picks one projector of the list by its address; the pick goes back as the store's
// current projector.
class CSelectProjectorDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CSelectProjectorDlg(ProjectorStore& store, QWidget* parent = nullptr);

public Q_SLOTS:
    void accept() override;

private:
    ProjectorStore& m_projectors;
    QList<Ipv4::Octets> m_addresses; // a copy taken at opening, in list order
    QComboBox* m_list = nullptr;
};
