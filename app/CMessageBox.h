#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <utility>

class QWidget;

// The one way the program shows a message box: caption = application title, a catalog text,
// an icon and buttons. Tests install a handler that answers instead of a person.
class CMessageBox final {
public:
    enum class Icon { None, Information, Question, Warning, Stop };

    using Handler = std::function<QMessageBox::StandardButton(QWidget* parent, const QString& caption,
                                                              const QString& text, Icon icon,
                                                              QMessageBox::StandardButtons buttons)>;

    // A button's own text, where Qt's standard word would not follow the catalog's language.
    using ButtonTexts = QList<std::pair<QMessageBox::StandardButton, QString>>;

    static QMessageBox::StandardButton show(QWidget* parent, const QString& text, Icon icon,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            const ButtonTexts& buttonTexts = {});

    static void setCaption(const QString& title);
    static QString caption();

    // nullptr restores real message boxes.
    static void setHandlerForTesting(Handler handler);
};
