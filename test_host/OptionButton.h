#pragma once

#include <QToolButton>

// A graphical option button of the tool panel. It reports when a mouse button goes down on it
// and, after its click has been handled, when the mouse button comes up, so the panel knows
// which clicks a person made.
class OptionButton : public QToolButton {
    Q_OBJECT
public:
    OptionButton(int index, const QString& hint, const QIcon& icon, QWidget* parent);

    int index() const { return m_index; }

signals:
    void mouseDown();
    void mouseUp();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_index;
};
