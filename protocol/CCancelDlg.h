#pragma once

#include "protocol/CStoreCommandDlg.h"

// Cancels the transmission into one store of the selected projectors (CANCEL).
class CCancelDlg final : public CStoreCommandDlg {
    Q_OBJECT

public:
    // context replaces the protocol's waits (tests use short ones); its store is the frame's
    // when it names none.
    explicit CCancelDlg(CMainFrame& frame, QWidget* parent = nullptr,
                        const std::optional<CommandContext>& context = std::nullopt);
};
