#pragma once

#include "registry/MacText.h"
#include "registry/ProjectorRecord.h"

#include <QDialog>
#include <QString>

#include <array>

class CIpAddressEdit;
class QCheckBox;
class QLineEdit;
class QListWidget;

// The form for one projector record, for both Add and Edit.
class CProjectorEditDlg final : public QDialog {
    Q_OBJECT

public:
    enum Mode { Add = 0, Edit = 1 };

    struct Values {
        QString name;
        MacText::Bytes mac{};
        quint32 address = 0; // host order
        QString authMark = QStringLiteral("0");
        QString password;
    };

    // Edit mode shows values; add mode starts empty with authentication unchecked, since a
    // projector that asks for no password fails every command with it checked.
    CProjectorEditDlg(Mode mode, const Values& values, QWidget* parent = nullptr);

    // What OK took from the form.
    [[nodiscard]] const Values& values() const { return m_values; }

    void accept() override;

    // The list the form's record joins, and the place of the record being edited (-1 when
    // adding): OK names another record with the same address or MAC and asks whether to go on.
    void setList(const ProjectorList& list, qsizetype editedIndex = -1);

    // Shows the groups as a checkable list, those of checked ticked, with a field that adds a
    // new one; without this call the form has no groups.
    void setGroups(const QStringList& all, const QStringList& checked);
    // The ticked groups, in list order.
    [[nodiscard]] QStringList chosenGroups() const;

private:
    void macEdited(size_t box, const QString& text);
    void addGroup();
    [[nodiscard]] bool confirmNoClash(const Values& v);

    Mode m_mode;
    Values m_values;
    QLineEdit* m_name = nullptr;
    std::array<QLineEdit*, 6> m_mac{};
    CIpAddressEdit* m_address = nullptr;
    QCheckBox* m_auth = nullptr;
    QLineEdit* m_password = nullptr;
    QListWidget* m_groups = nullptr;
    QLineEdit* m_newGroup = nullptr;
    ProjectorList m_list;
    qsizetype m_editedIndex = -1;
    bool m_fillingMac = false;
};
