#include "OptionButton.h"

OptionButton::OptionButton(int index, const QString& hint, const QIcon& icon, QWidget* parent)
    : QToolButton(parent)
    , m_index(index) {
    setObjectName(QStringLiteral("Option1_%1").arg(index));
    setToolTip(hint);
    setAccessibleName(hint);
    setIcon(icon);
    setCheckable(true);
    setAutoRaise(true);
    // Only a mouse click acts, so the keyboard cannot check a button without telling the viewer.
    setFocusPolicy(Qt::NoFocus);
}

void OptionButton::mousePressEvent(QMouseEvent* event) {
    emit mouseDown();
    QToolButton::mousePressEvent(event);
}

// The click is emitted inside the base handler, while the mouse button is still down.
void OptionButton::mouseReleaseEvent(QMouseEvent* event) {
    QToolButton::mouseReleaseEvent(event);
    emit mouseUp();
}
