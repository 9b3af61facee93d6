#pragma once

#include "protocol/SendEngine.h"
#include "registry/ProjectorGroups.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ProjectorStore;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Sends the current picture to the checked projectors at once, each row showing its own
// progress and outcome. The command hands over every projector through DataAdd, then the
// picture's path, and shows the dialog.
class CImageSendDlg final : public QDialog {
    Q_OBJECT

public:
    // What DataAdd was handed, kept as copies.
    struct Record {
        QString name;
        quint32 address = 0; // host order
        int authenticate = 0;
        QByteArray password;
        QByteArray mac;
        int first = -1;
        int second = -1;
    };

    explicit CImageSendDlg(int unused = 0, QWidget* parent = nullptr);
    ~CImageSendDlg() override;

    // One projector; the two buffers are the caller's and are refilled for the next call,
    // so what is kept is copied here.
    void DataAdd(QString name, quint32 address, int authenticate, const char* password, const char* mac,
                 int first, int second);
    [[nodiscard]] const QList<Record>& records() const { return m_records; }

    QString m_imagePath;          // the picture to send
    bool m_closeWhenDone = false; // close by itself once everything is delivered

    // The shown picture's size, which the check before sending measures against.
    void setPictureSize(quint32 width, quint32 height);
    // Only the projector at this address checked (the Discovery list's Send).
    void checkOnly(quint32 address);
    [[nodiscard]] std::optional<quint32> onlyAddress() const { return m_onlyAddress; }
    // Tests shorten the protocol's waits.
    void setCommandContext(const CommandContext& context) { m_context = context; }
    void setMaxParallel(int n) { m_maxParallel = n; }
    // The list that each send and retry reads a projector's authentication and password from
    // again, by address, so a password mended in the Projector List meanwhile is used.
    void setProjectorStore(const ProjectorStore* store) { m_projectors = store; }
    // A failed row asks the user to mend the projector in the list: this opens it from here,
    // since Send holds the rest of the window until it closes. No button without it.
    void setProjectorListOpener(std::function<void()> open);
    // The groups a choice ticks whole; the choice shows only when there are groups.
    void setGroups(const QList<ProjectorGroups::Group>& groups);
    // Ticks exactly the members of the chosen group.
    void checkGroup();

    [[nodiscard]] bool isSending() const { return m_engine != nullptr; }
    [[nodiscard]] std::optional<SendEngine::TargetState> rowState(int row) const;
    [[nodiscard]] QString rowText(int row) const;
    [[nodiscard]] QString summaryText() const;

public Q_SLOTS:
    void done(int result) override;

Q_SIGNALS:
    // An upload to the projector begins (true) or has ended (false), so others leave it alone.
    void uploading(quint32 address, bool uploading);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillRows();
    void setAllChecked(bool checked);
    void rememberChoice() const;
    void startSend(const QList<int>& rows, bool fresh);
    void onSend();
    void onRetry();
    void onStop();
    // The engine's reports of one run; those of a run already finished are dropped.
    void onTargetChanged(int run, int index, const SendEngine::TargetState& state);
    void finishRun();
    // The summary follows a burst of reports once, after the burst.
    void summaryLater();
    // Tells that the uploads to these projectors have ended.
    void release(const QList<quint32>& addresses);
    void refreshRow(int row);
    void markFailed(QTreeWidgetItem* item, bool failed);
    void refreshSummary();
    void updateButtons();
    // The picture read once; nothing when the check fails (the user has been told).
    std::optional<QByteArray> readPicture();

    QList<Record> m_records;
    std::vector<std::optional<SendEngine::TargetState>> m_rowStates;
    std::unique_ptr<SendEngine> m_engine;
    QList<int> m_engineRows;    // engine index -> row
    QList<quint32> m_uploading; // told as uploading and not yet released
    int m_run = 0;              // counts the engine's runs
    bool m_summaryPending = false;
    CommandContext m_context;
    int m_maxParallel = SendEngine::kDefaultParallel;
    const ProjectorStore* m_projectors = nullptr;
    std::optional<quint32> m_onlyAddress;
    quint32 m_pictureWidth = 0;
    quint32 m_pictureHeight = 0;
    bool m_sizeKnown = false;
    bool m_filled = false;
    // The file as it was when the dialog opened.
    qint64 m_checkedSize = -1;
    QDateTime m_checkedTime;

    QTreeWidget* m_list = nullptr;
    QComboBox* m_store = nullptr;
    QCheckBox* m_verify = nullptr;
    QPushButton* m_selectAll = nullptr;
    QPushButton* m_selectNone = nullptr;
    QList<ProjectorGroups::Group> m_groups;
    QLabel* m_groupLabel = nullptr;
    QComboBox* m_groupChoice = nullptr;
    QPushButton* m_checkGroup = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_retry = nullptr;
    QPushButton* m_projectorList = nullptr;
    std::function<void()> m_openProjectorList;
    QPushButton* m_stop = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_summary = nullptr;
    QProgressBar* m_overall = nullptr;
    QList<QProgressBar*> m_rowBars;
};
