#pragma once

#include "protocol/CommandConnection.h"
#include "schedule/ScheduleOptions.h"
#include "schedule/ScheduleRunner.h"
#include "schedule/ScheduleTable.h"

#include <QDateTime>
#include <QObject>

#include <array>
#include <memory>

// The window's schedule: the run copy the Schedule dialog hands over, and the runner that
// uploads it. The runner's worker reports through queued signals, so a dialog follows a run
// without looking at it, and a stop returns at once.
class ScheduleControl final : public QObject {
    Q_OBJECT

public:
    // context: the store, the history and the time-outs uploads use.
    explicit ScheduleControl(const CommandContext& context, QObject* parent = nullptr);
    // Stops a run and waits for its worker, which abandons its upload.
    ~ScheduleControl() override;

    [[nodiscard]] ScheduleTable table() const { return m_table; }
    // Takes the entries; the count travels on its own (setCount).
    void setTable(const ScheduleTable& table);
    [[nodiscard]] qint32 count() const { return m_table.count; }
    void setCount(qint32 count) { m_table.count = count; }
    [[nodiscard]] bool loop() const { return m_loop; }
    void setLoop(bool loop) { m_loop = loop; }
    [[nodiscard]] ScheduleOptions options() const { return m_options; }
    void setOptions(const ScheduleOptions& options) { m_options = options; }

    // Starts the runner on the run copy; false when a run is active or the copy is empty.
    bool start();
    // Asks the runner to stop and returns at once; runEnded follows within a fraction of a
    // second.
    void requestStop();
    [[nodiscard]] bool isRunning() const { return m_runner->isRunning(); }
    [[nodiscard]] bool isStopping() const;
    [[nodiscard]] qint32 entryStatus(int index) const { return m_runner->entryStatus(index); }
    ScheduleRunner& runner() { return *m_runner; }

    // What a dialog opened during a run needs to catch up: the last back-off of each entry
    // (result 0 and no time when none) and the planned next upload, as the signals told them.
    struct Backoff {
        int result = 0;
        QDateTime until;
    };
    [[nodiscard]] Backoff backoff(int index) const;
    [[nodiscard]] QDateTime nextUpload() const { return m_nextUpload; }
    // The planned next upload waits for its entry's window to open.
    [[nodiscard]] bool waitsForWindow() const { return m_waitsForWindow; }

Q_SIGNALS:
    void entryStatusChanged(int index, int status);
    // The run is uploading to the projector (true) or has moved on (false).
    void projectorUploading(quint32 hostAddress, bool uploading);
    // The run waits: entry index is uploaded next, at the earliest at (local time).
    void nextUploadPlanned(int index, const QDateTime& at);
    // The run waits for entry index's window, which opens at opens (local time);
    // nextUploadPlanned tells the same time.
    void windowWaitPlanned(int index, const QDateTime& opens);
    // The run passes entry index over for good: its windows never open again.
    void entrySkipped(int index);
    // A looping run failed entry index with this upload result and leaves its projector
    // alone until at (local time).
    void entryBackingOff(int index, int result, const QDateTime& at);
    // Entry index's turn ended: uploaded (and checked), or failed after its retries with
    // this upload result.
    void entryFinished(int index, quint32 hostAddress, int store, bool done, int result);
    // The runner's worker has ended, by itself or after a stop, and its thread is collected.
    void runEnded();

private:
    ScheduleTable m_table;
    bool m_loop = false;
    ScheduleOptions m_options;
    std::unique_ptr<ScheduleRunner> m_runner;
    std::array<Backoff, ScheduleTable::kSlots> m_backoffs{};
    QDateTime m_nextUpload;
    bool m_waitsForWindow = false;
};
