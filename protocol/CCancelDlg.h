#pragma once

#include "protocol/CStoreCommandDlg.h"

// Cancels the transmission into one store of the selected projectors (CANCEL).
class CCancelDlg final : public CStoreCommandDlg {
    Q_OBJECT

public:
    // The list is the store's as the dialog opens; observer hears of every command (none
    // when null). context replaces the protocol's waits (tests use short ones).
    explicit CCancelDlg(ProjectorStore& store, CommandObserver* observer, QWidget* parent = nullptr,
                        const std::optional<CommandContext>& context = std::nullopt);
};
