#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// What the picture view needs of the window that holds it: its commands, its title, the
// recent files and the status bar. The main window implements it; a test can too.
class CPictureHost {
public:
    virtual ~CPictureHost() = default;

    // The command's enabled state is asked again whenever the interface may show it.
    virtual void setCommandHandler(int id, std::function<void()> run, std::function<bool()> enabled) = 0;
    // Why the command cannot run while it is disabled, for its tip and the status bar.
    virtual void setCommandBlocker(int id, std::function<QString()> why) = 0;
    virtual void updateCommandStates() = 0;
    virtual void setDocumentTitle(const QString& title) = 0;
    // Choosing one of the files calls open.
    virtual void setRecentFiles(const QStringList& files,
                                const std::function<void(const QString&)>& open) = 0;
    // Red when the figure is over what a projector accepts.
    virtual void setSizePaneText(const QString& text, bool overLimit) = 0;
    // Empty: the status bar shows its usual prompts again.
    virtual void showStatusMessage(const QString& text) = 0;
    // While a long operation runs: its text, a busy indicator and, when stop is given, a Stop
    // button that calls it. An empty text ends the busy state.
    virtual void showBusy(const QString& text, const std::function<void()>& stop) = 0;
    // The projector a Send started from a projector's row is for, once.
    virtual std::optional<quint32> takeSendTarget() = 0;
    // The window message boxes belong to.
    virtual QWidget* hostWindow() = 0;
    // Runs one of the window's commands as its menu would, also while a dialog is open.
    virtual void runCommand(int id) = 0;

protected:
    CPictureHost() = default;
    CPictureHost(const CPictureHost&) = default;
    CPictureHost& operator=(const CPictureHost&) = default;
};
