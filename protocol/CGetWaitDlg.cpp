#include "protocol/CGetWaitDlg.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CGetWaitDlg::CGetWaitDlg(Form form, QWidget* parent) : QDialog(parent), m_form(form) {
    setObjectName(QStringLiteral("getWaitDlg"));
    setWindowFlag(Qt::FramelessWindowHint);
    // Only the wait box takes input while the queries run.
    setWindowModality(Qt::ApplicationModal);
    m_text = new QLabel(CatalogText(msg::WaitExecuting), this);
    m_text->setTextFormat(Qt::PlainText); // it names a projector
    m_text->setObjectName(QStringLiteral("messageLabel"));
    m_text->setWordWrap(true);
    auto* busy = new QProgressBar(this);
    busy->setObjectName(QStringLiteral("busyBar"));
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    auto* stop = new QPushButton(CatalogText(msg::ButtonStop), this);
    stop->setObjectName(QStringLiteral("stopButton"));
    connect(stop, &QPushButton::clicked, this, &CGetWaitDlg::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_text);
    column->addWidget(busy);
    column->addWidget(stop, 0, Qt::AlignHCenter);
    setMinimumWidth(360);
}

void CGetWaitDlg::setLabel(const QString& name) {
    m_text->setText(CatalogText(m_form == Information ? msg::WaitImageInfo : msg::WaitTransState,
                                {VisibleText::shown(name)}));
    findChild<QProgressBar*>(QStringLiteral("busyBar"))->setAccessibleName(m_text->text());
}

void CGetWaitDlg::showOver(QWidget* owner) {
    adjustSize();
    if (owner != nullptr) {
        const QRect o = owner->frameGeometry();
        move(o.center() - rect().center());
    }
    show();
    raise();
    repaint();
}

QString CGetWaitDlg::text() const {
    return m_text->text();
}

void CGetWaitDlg::reject() {
    hide();
    Q_EMIT stopRequested();
}
