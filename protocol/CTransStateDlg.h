#pragma once

#include "protocol/CStoreCommandDlg.h"

// Asks the selected projectors how the transmission into one store stands (STAT).
class CTransStateDlg final : public CStoreCommandDlg {
    Q_OBJECT

public:
    // context replaces the protocol's waits (tests use short ones); its store is the frame's
    // when it names none.
    explicit CTransStateDlg(CMainFrame& frame, QWidget* parent = nullptr,
                            const std::optional<CommandContext>& context = std::nullopt);
};
