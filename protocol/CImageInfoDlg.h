#pragma once

#include "protocol/CStoreCommandDlg.h"

// Asks the selected projectors what one store holds (INFO).
class CImageInfoDlg final : public CStoreCommandDlg {
    Q_OBJECT

public:
    // context replaces the protocol's waits (tests use short ones); its store is the frame's
    // when it names none.
    explicit CImageInfoDlg(CMainFrame& frame, QWidget* parent = nullptr,
                           const std::optional<CommandContext>& context = std::nullopt);
};
