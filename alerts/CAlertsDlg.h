#pragma once

#include "alerts/Alert.h"

#include <QDialog>

#include <functional>

class AlertCenter;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

// The Alerts list: every alert remembered, newest first, with when it cleared; the alert
// time; and a word on whether the board's timed refresh runs, without which a projector that
// falls silent is noticed only when a command goes to it.
class CAlertsDlg final : public QDialog {
    Q_OBJECT

public:
    enum Column { TimeColumn = 0, ProjectorColumn = 1, WhatColumn = 2, ClearedColumn = 3 };
    static constexpr int kIdRole = Qt::UserRole + 1;

    // The board's timed refresh: its minutes, 0 when off; and how to turn it on.
    struct Board {
        std::function<int()> minutes;
        std::function<void()> turnOn;
    };

    CAlertsDlg(AlertCenter& alerts, Board board, QWidget* parent = nullptr);

    [[nodiscard]] QTableWidget* table() const { return m_table; }
    // The row showing the alert, or -1.
    [[nodiscard]] int rowOf(qint64 id) const;
    // Says again whether the board refreshes by itself.
    void showBoardState();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fill();
    void addAlert(const Alert& alert);
    void showCleared(const Alert& alert);

    AlertCenter& m_alerts;
    Board m_board;
    QTableWidget* m_table = nullptr;
    QSpinBox* m_seconds = nullptr;
    QLabel* m_boardNote = nullptr;
    QPushButton* m_turnOn = nullptr;
};
