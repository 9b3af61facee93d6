#pragma once

#include "registry/ProjectorRecord.h"

#include <QList>
#include <QTableWidget>

// The projector list of the command dialogs: name, MAC text and address, whole rows
// selected, several at a time.
class CProjectorTable final : public QTableWidget {
    Q_OBJECT

public:
    explicit CProjectorTable(QWidget* parent = nullptr);

    // Empties the list and adds one row per record, in list order.
    void FillProjectorList(const ProjectorList& list);
    // Columns of 7/16, 5/16 and 4/16 of the given client width.
    void setColumnWidthsFor(int clientWidth);
    // Selected rows, from the top.
    [[nodiscard]] QList<int> selectedRowsTopDown() const;

Q_SIGNALS:
    // Any click inside the list, on a row or not.
    void listClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_widthsSet = false;
};
