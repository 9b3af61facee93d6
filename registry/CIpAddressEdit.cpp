#include "registry/CIpAddressEdit.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/Ipv4.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

namespace {

// Digits only, and never a value over 255: such a key press is refused as it is typed.
class OctetValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        if (input.isEmpty()) {
            return Acceptable;
        }
        if (input.size() > 3) {
            return Invalid;
        }
        for (const QChar c : input) {
            if (c < u'0' || c > u'9') {
                return Invalid;
            }
        }
        return input.toInt() <= 255 ? Acceptable : Invalid;
    }
};

} // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* validator = new OctetValidator(this);
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 10;
    for (int i = 0; i < 4; ++i) {
        auto* f = new QLineEdit(this);
        f->setObjectName(QStringLiteral("field%1").arg(i));
        f->setMaxLength(3);
        f->setValidator(validator);
        f->setAlignment(Qt::AlignCenter);
        f->setMinimumWidth(width);
        f->installEventFilter(this);
        m_fields[static_cast<size_t>(i)] = f;
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            row->addWidget(dot);
        }
        row->addWidget(f);
        connect(f, &QLineEdit::textEdited, this, [this, i, f](const QString& text) {
            // A third digit typed at the end moves on, as a dot does.
            if (text.size() == 3 && f->cursorPosition() == 3 && i < 3) {
                moveTo(i + 1, true);
            }
            Q_EMIT addressEdited();
        });
    }
    setFocusProxy(m_fields[0]);
    setFocusPolicy(Qt::StrongFocus);
    setLabelText(QString());
}

quint32 CIpAddressEdit::address() const {
    Ipv4::Octets o{};
    for (size_t i = 0; i < 4; ++i) {
        o[i] = static_cast<quint8>(m_fields[i]->text().toInt());
    }
    return Ipv4::toHost(o);
}

void CIpAddressEdit::setAddress(quint32 hostAddress) {
    const Ipv4::Octets o = Ipv4::toOctets(hostAddress);
    for (size_t i = 0; i < 4; ++i) {
        m_fields[i]->setText(QString::number(o[i]));
    }
}

bool CIpAddressEdit::isBlank() const {
    for (const QLineEdit* f : m_fields) {
        if (!f->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

void CIpAddressEdit::clear() {
    for (QLineEdit* f : m_fields) {
        f->clear();
    }
}

bool CIpAddressEdit::setText(const QString& dotted) {
    const QString t = dotted.trimmed();
    const QStringList parts = t.split(u'.');
    if (parts.size() != 4) {
        return false;
    }
    Ipv4::Octets o{};
    if (ParseDottedAddress(t, o) != 0) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        // A part left empty stays an empty field.
        m_fields[i]->setText(parts[static_cast<qsizetype>(i)].isEmpty() ? QString() : QString::number(o[i]));
    }
    return true;
}

QString CIpAddressEdit::text() const {
    return Ipv4::toText(address());
}

void CIpAddressEdit::setLabelText(const QString& label) {
    QString name = label;
    name.remove(u'&');
    setAccessibleName(name);
    for (int i = 0; i < 4; ++i) {
        m_fields[static_cast<size_t>(i)]->setAccessibleName(
            CatalogText(msg::IpFieldName, {name, QString::number(i + 1)}));
    }
}

int CIpAddressEdit::indexOf(QObject* watched) const {
    for (int i = 0; i < 4; ++i) {
        if (m_fields[static_cast<size_t>(i)] == watched) {
            return i;
        }
    }
    return -1;
}

void CIpAddressEdit::moveTo(int index, bool selectAll) {
    QLineEdit* f = m_fields[static_cast<size_t>(index)];
    f->setFocus(Qt::OtherFocusReason);
    if (selectAll) {
        f->selectAll();
    } else {
        f->deselect();
        f->setCursorPosition(static_cast<int>(f->text().size()));
    }
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int i = indexOf(watched);
    if (i < 0 || event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* f = m_fields[static_cast<size_t>(i)];
    if (key->matches(QKeySequence::Paste)) {
        if (setText(QApplication::clipboard()->text())) {
            moveTo(3, false);
            Q_EMIT addressEdited();
            return true;
        }
        return false; // a single number goes into the field, if the validator takes it
    }
    switch (key->key()) {
    case Qt::Key_Period:
        // A dot never goes into a field; after digits it moves on.
        if (i < 3 && !f->text().isEmpty() && !f->hasSelectedText()) {
            moveTo(i + 1, true);
        }
        return true;
    case Qt::Key_Backspace:
        if (i > 0 && f->cursorPosition() == 0 && !f->hasSelectedText()) {
            moveTo(i - 1, false);
            return true;
        }
        break;
    case Qt::Key_Left:
        if (i > 0 && f->cursorPosition() == 0 && key->modifiers() == Qt::NoModifier) {
            moveTo(i - 1, false);
            return true;
        }
        break;
    case Qt::Key_Right:
        if (i < 3 && f->cursorPosition() == f->text().size() && key->modifiers() == Qt::NoModifier) {
            moveTo(i + 1, false);
            m_fields[static_cast<size_t>(i + 1)]->setCursorPosition(0);
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
