#pragma once

#include "platform/automation/Variant.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class QLabel;
class QListWidget;

// The viewer's own window: the file list pane, the DICOMDIR pane, the wait
// picture and the hidden picture holder; the browser hosts are placed on it
// by the viewer. Its input and paint notifications become the viewer's events.
class ViewerSurface : public QWidget {
    Q_OBJECT

public:
    ViewerSurface();

    std::function<void()> onResize;
    std::function<void(const QString& event, QList<Variant>& args)> onInputEvent;

    QWidget* dicomDirPane() const { return m_dicomDirPane; }
    QListWidget* fileList() const { return m_fileList; }
    QLabel* listLabel() const { return m_listLabel; }
    QString listTag() const { return m_listTag; }
    QString dicomDirTag() const { return m_dicomDirTag; }
    void setListTag(const QString& tag) { m_listTag = tag; }
    void setDicomDirTag(const QString& tag) { m_dicomDirTag = tag; }
    int listFileTop() const;
    int waitIconWidth() const;
    // The page browsers' margin on every side.
    int pageMargin() const { return 0; }

    void applyPanes(const QString& listTag, const QString& dicomDirTag, int listWidth,
                    int dicomDirWidth, const QRect& listFile);
    void placeWaitPicture(const QRect& area, int iconLeft);
    void setWaitVisible(bool visible);
    bool isWaitVisible() const;
    void raiseWaitPicture();

    // OLE colours: a value with the top bit set names a system colour.
    std::uint32_t backColor() const { return m_backColor; }
    void setBackColor(std::uint32_t color);
    void setBorderStyle(int style);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void raiseMouse(const char* event, QMouseEvent* mouse);
    void raiseKey(const char* event, QKeyEvent* key);

    QWidget* m_listPane;
    QLabel* m_listLabel;
    QListWidget* m_fileList;
    QWidget* m_dicomDirPane;
    QWidget* m_waitPicture;
    QLabel* m_waitIcon;
    QLabel* m_printHolder;
    QString m_listTag;
    QString m_dicomDirTag;
    std::uint32_t m_backColor = 0x8000000F;
};
