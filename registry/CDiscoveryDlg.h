#pragma once

#include "registry/DiscoveredDeviceTable.h"
#include "registry/DiscoverySearch.h"

#include "protocol/CommandTimeouts.h"
#include "protocol/GreetingProbe.h"
#include "registry/ProjectorRecord.h"

#include <QDialog>
#include <QList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class ProjectorStore;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;

// Finds projectors on the local network and registers the chosen ones into the list.
// The search runs on a worker; the window keeps painting and can be closed meanwhile.
class CDiscoveryDlg final : public QDialog {
    Q_OBJECT

public:
    // Replaces the whole list and writes it; false when the write failed, which the keeper of
    // the list has told the user of.
    using SaveList = std::function<bool(const ProjectorList&)>;

    // The list is the store's; Register hands the grown list to save.
    CDiscoveryDlg(ProjectorStore& store, SaveList save, QWidget* parent = nullptr,
                  const DiscoverySearch::Options& options = DiscoverySearch::Options{});
    ~CDiscoveryDlg() override;

    // Opens the two sockets first; a failure is shown and the dialog does not open.
    int exec() override;

    void OnStart();
    void OnRegister();

    [[nodiscard]] bool isSearching() const { return m_thread != nullptr; }
    // Register asks each chosen projector whether it sends a challenge before storing it.
    [[nodiscard]] bool isProbing() const { return m_probeThread != nullptr; }
    void setProbeTimeouts(const CommandTimeouts& timeouts) { m_probeTimeouts = timeouts; }
    [[nodiscard]] const DiscoveredDeviceTable& found() const { return m_found; }
    [[nodiscard]] QTableWidget* list() const { return m_list; }
    [[nodiscard]] QMenu* contextMenu() const { return m_context; }
    // The local addresses as offered, and whether more were there than could be offered.
    static QList<quint32> offeredAddresses(const QList<quint32>& hostAddresses, bool* cut = nullptr);

    void reject() override;

Q_SIGNALS:
    // The right-click menu asks for one of the window's projector commands.
    void projectorCommandRequested(int commandId, quint32 hostAddress);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setColumnWidths();
    void searchEnded(DiscoverySearch::Status status, const DiscoveredDeviceTable& found);
    void fillList();
    // The row of a found device, told apart by name and MAC; -1 when it is gone.
    [[nodiscard]] int rowOf(const DiscoveredDevice& device) const;
    void endSearch();
    [[nodiscard]] QList<int> selectedRows() const;
    void startProbe();
    void probeEnded(const QList<GreetingProbe::Verdict>& verdicts);
    void stopProbe();
    void setBusy(bool busy);
    // Stores the pending devices: authentication on, with the password, where a challenge came.
    void registerPending(const QList<GreetingProbe::Verdict>& verdicts, const QString& password);

    ProjectorStore& m_projectors;
    SaveList m_save;
    DiscoverySearch m_search;
    DiscoveredDeviceTable m_found;
    QList<quint32> m_addresses;
    QComboBox* m_local = nullptr;
    QPushButton* m_start = nullptr;
    QTableWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_register = nullptr;
    QMenu* m_context = nullptr;
    QThread* m_thread = nullptr;
    QPushButton* m_stopProbe = nullptr;
    QThread* m_probeThread = nullptr;
    std::atomic<bool> m_probeStop{false};
    CommandTimeouts m_probeTimeouts;
    QList<DiscoveredDevice> m_pending;
    QList<DiscoveredDevice> m_shown;              // the devices as the rows show them now
    std::optional<DiscoveredDevice> m_menuDevice; // the device the right-click menu is for
};
