#include "app/CMessageBox.h"

#include <QApplication>

namespace {
QString g_caption;
CMessageBox::Handler g_handler;

QMessageBox::Icon toQt(CMessageBox::Icon icon) {
    switch (icon) {
    case CMessageBox::Icon::Information:
        return QMessageBox::Information;
    case CMessageBox::Icon::Question:
        return QMessageBox::Question;
    case CMessageBox::Icon::Warning:
        return QMessageBox::Warning;
    case CMessageBox::Icon::Stop:
        return QMessageBox::Critical;
    case CMessageBox::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QMessageBox::StandardButton CMessageBox::show(QWidget* parent, const QString& text, Icon icon,
                                              QMessageBox::StandardButtons buttons) {
    if (g_handler) {
        return g_handler(parent, caption(), text, icon, buttons);
    }
    QMessageBox box(toQt(icon), caption(), text, buttons, parent);
    QApplication::restoreOverrideCursor();
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void CMessageBox::setCaption(const QString& title) {
    g_caption = title;
}

QString CMessageBox::caption() {
    return g_caption;
}

void CMessageBox::setHandlerForTesting(Handler handler) {
    g_handler = std::move(handler);
}
