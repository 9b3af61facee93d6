#pragma once

#include "app/CMessageBox.h"
#include "i18n/Catalog.h"
#include "i18n/CatalogLookup.h"
#include "schedule/ScheduleControl.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

// Records every message box instead of showing it and answers with queued buttons, then with
// the default answer (OK or Yes unless one is set). A status label, when given, is read as
// each box shows, so a test can tell what the dialog said while the box was up.
class MessageBoxRecorder final {
public:
    struct Box {
        QString text;
        CMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QString statusAtBox;
    };

    MessageBoxRecorder() {
        CMessageBox::setHandlerForTesting([this](QWidget*, const QString&, const QString& text,
                                                 CMessageBox::Icon icon,
                                                 QMessageBox::StandardButtons buttons) {
            m_shown.push_back({text, icon, buttons, m_status != nullptr ? m_status->text() : QString()});
            if (!m_answers.empty()) {
                const auto a = m_answers.front();
                m_answers.pop_front();
                return a;
            }
            if (m_default != QMessageBox::NoButton) {
                return m_default;
            }
            return buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
        });
    }
    ~MessageBoxRecorder() { CMessageBox::setHandlerForTesting(nullptr); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void answer(QMessageBox::StandardButton b) { m_answers.push_back(b); }
    void setDefaultAnswer(QMessageBox::StandardButton b) { m_default = b; }
    void noteStatusOf(QLabel* label) { m_status = label; }
    [[nodiscard]] QLabel* statusLabel() const { return m_status; }
    [[nodiscard]] const std::vector<Box>& shown() const { return m_shown; }
    [[nodiscard]] QStringList texts() const {
        QStringList t;
        for (const Box& b : m_shown) {
            t << b.text;
        }
        return t;
    }
    void clear() { m_shown.clear(); }

private:
    std::vector<Box> m_shown;
    std::deque<QMessageBox::StandardButton> m_answers;
    QMessageBox::StandardButton m_default = QMessageBox::NoButton;
    QLabel* m_status = nullptr;
};

// Runs a dialog's exec() and, once it shows, the given steps; a dialog still open after
// the steps and a grace period is a test failure, not a hang.
inline int ExecWith(QDialog& dialog, const std::function<void()>& steps, bool* shown = nullptr) {
    QTimer start;
    start.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, &dialog, [&] {
        if (shown != nullptr) {
            *shown = true;
        }
        steps();
    });
    QTimer failsafe;
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, &dialog, [&] {
        ADD_FAILURE() << "dialog still open after its steps";
        dialog.done(99);
    });
    start.start(0);
    failsafe.start(20000);
    const int result = dialog.exec();
    start.stop();
    failsafe.stop();
    return result;
}

// Runs steps on the first dialog of type T that becomes the active modal window (one that
// the code under test opens with its own exec()); a dialog that never shows is a test failure,
// not a hang.
template <typename T> void WhenModal(std::function<void(T&)> steps) {
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(30000);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, deadline, steps] {
        if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget()); d != nullptr && d->isVisible()) {
            timer->stop();
            timer->deleteLater();
            steps(*d);
        } else if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "dialog never shown: " << T::staticMetaObject.className();
        }
    });
    timer->start();
}

template <typename W> W* Child(QWidget& parent, const char* name) {
    W* w = parent.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

inline void Type(QWidget& parent, const char* name, const QString& text) {
    if (auto* edit = Child<QLineEdit>(parent, name)) {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
}

inline void Click(QWidget& parent, const char* name) {
    if (auto* button = Child<QAbstractButton>(parent, name)) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
}

// The shipped catalog of a language, loaded as the program would load it.
inline void UseShippedCatalog(quint32 language) {
    SetSystemLanguageIdForTesting(language);
    const char* file = language == Catalog::kSimplifiedChinese ? TESSAVEL_BUILD_DIR "/Pellaticsc.cat"
                                                               : TESSAVEL_BUILD_DIR "/Pellatic.cat";
    auto catalog = Catalog::fromFile(QString::fromLatin1(file));
    ASSERT_TRUE(catalog.has_value()) << file;
    InstallCatalogForTesting(std::make_shared<const Catalog>(std::move(*catalog)));
}

// Stops a running schedule as the Stop button does and waits until its worker has ended and
// been collected.
inline bool StopScheduleAndWait(ScheduleControl& schedule, int timeoutMs = 30000) {
    if (!schedule.isRunning()) {
        return true;
    }
    schedule.requestStop();
    return QTest::qWaitFor([&] { return !schedule.isRunning() && !schedule.runner().isRunning(); },
                           timeoutMs);
}
