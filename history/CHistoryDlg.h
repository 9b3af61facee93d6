#pragma once

#include "history/HistoryRecord.h"
#include "history/HistoryStore.h"

#include <QDialog>

#include <memory>
#include <optional>

class HistoryTableModel;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;
class QThread;

// The History window: every recorded command, newest first, filtered by projector, command,
// result and date; what it shows can be exported as CSV.
class CHistoryDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CHistoryDlg(QString databasePath, QWidget* parent = nullptr);
    ~CHistoryDlg() override;

    // True once the records are read and shown (or the reading failed).
    [[nodiscard]] bool isLoaded() const { return m_loaded; }
    [[nodiscard]] HistoryTableModel* model() const { return m_model; }

Q_SIGNALS:
    void loaded();

private:
    void startLoading();
    void showRecords(std::optional<HistoryRecords> records, const std::optional<HistoryDropNote>& dropped);
    void applyFilter();
    void fitColumns();
    void exportCsv();

    QString m_path;
    HistoryTableModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QComboBox* m_projector = nullptr;
    QComboBox* m_command = nullptr;
    QComboBox* m_result = nullptr;
    QDateEdit* m_since = nullptr;
    QDateEdit* m_until = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_dropped = nullptr; // says that older records were dropped, when they were
    QPushButton* m_export = nullptr;
    QThread* m_reader = nullptr;
    bool m_loaded = false;

public:
    // The sentence the window shows when records were dropped to keep the file within limits.
    [[nodiscard]] static QString dropText(const HistoryDropNote& note);
};
