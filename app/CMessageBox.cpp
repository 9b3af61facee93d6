#include "app/CMessageBox.h"

#include "common/VisibleText.h"

#include <QAbstractButton>
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
                                              QMessageBox::StandardButtons buttons,
                                              const ButtonTexts& buttonTexts) {
    // Texts carry names, file names and reply bodies from projectors and files: they are
    // shown as they are, never as markup, and nothing in them may hide or reverse text.
    const QString shown = VisibleText::shown(text, VisibleText::Layout::Keep);
    if (g_handler) {
        return g_handler(parent, caption(), shown, icon, buttons);
    }
    QMessageBox box(toQt(icon), caption(), shown, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    for (const auto& [button, buttonText] : buttonTexts) {
        if (QAbstractButton* b = box.button(button)) {
            b->setText(buttonText);
        }
    }
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
