#pragma once

#include "app/LoginLoop.h"
#include "i18n/ImagingTextStore.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class AppState;
class CMainFrame;

// The application object: runs start-up in its fixed order and owns what lives as long
// as the program (the main frame, the imaging dialog texts, the pending-open path).
class TessavelApp final : public QObject {
    Q_OBJECT

public:
    struct Options {
        QString iniPath;                                  // empty: the default beside the executable
        QString fileToOpen;                               // from the command line
        std::function<LoginLoop::Outcome()> login;        // the login gate; empty: the real dialogs
        std::function<void(CMainFrame&)> attachWorkspace; // builds the view; empty: the picture view
    };

    explicit TessavelApp(Options options);
    ~TessavelApp() override;

    // True to run the event loop; false ends the program (ExitInstance has run then).
    bool InitInstance();
    // Releases the catalog, once, whichever path ends the program.
    int ExitInstance();

    static TessavelApp* instance();
    CMainFrame* mainFrame() const { return m_frame.get(); }
    AppState* state() const { return m_state.get(); }
    [[nodiscard]] const QString& title() const { return m_title; }
    ImagingTextStore& imagingTexts() { return m_imagingTexts; }

    // The command line's file; the view's Open takes it once instead of asking.
    QString pendingOpenPath;

    // Codes 0, 101 and 20162 pass silently; any other shows the imaging error box.
    static int ReportImagingError(int code);

private:
    LoginLoop::Outcome runLoginDialogs();
    void showUserConfiguration();

    Options m_options;
    QString m_administrator; // who logged in, when an administrator did
    QString m_user;          // who logged in; the history names them
    QString m_title;
    std::unique_ptr<AppState> m_state; // outlives the frame, which shows it
    std::unique_ptr<CMainFrame> m_frame;
    ImagingTextStore m_imagingTexts;
    bool m_catalogReleased = false;
};
