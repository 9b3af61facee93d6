#pragma once

#include <QString>

#include <memory>

class QWidget;

// Every file dialog of the program goes through here, so tests can answer them.
class CFileDialogs {
public:
    struct Request {
        QString title;
        QString filter;        // "Name (*.a *.b);;Other (*.c)"
        QString defaultSuffix; // save dialogs: added to a name typed without extension
        QString initialPath;
    };

    virtual ~CFileDialogs() = default;
    // An empty result means cancelled.
    virtual QString openFile(QWidget* parent, const Request& request) = 0;
    virtual QString saveFile(QWidget* parent, const Request& request) = 0;

    static CFileDialogs& instance();
    // nullptr restores the real dialogs.
    static void setInstanceForTesting(std::unique_ptr<CFileDialogs> dialogs);
};
