#pragma once

#include "protocol/CStoreCommandDlg.h"

// Asks the selected projectors how the transmission into one store stands (STAT).
class CTransStateDlg final : public CStoreCommandDlg {
    Q_OBJECT

public:
    // The list is the store's as the dialog opens; observer hears of every command (none
    // when null). context replaces the protocol's waits (tests use short ones).
    explicit CTransStateDlg(ProjectorStore& store, CommandObserver* observer, QWidget* parent = nullptr,
                            const std::optional<CommandContext>& context = std::nullopt);
};
