#include "ViewerSurface.h"

#include "platform/VirtualKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

// Mouse buttons and shift state with the runtime's values.
std::int16_t buttonsOf(Qt::MouseButtons buttons) {
    return static_cast<std::int16_t>((buttons & Qt::LeftButton ? 1 : 0) |
                                     (buttons & Qt::RightButton ? 2 : 0) |
                                     (buttons & Qt::MiddleButton ? 4 : 0));
}

std::int16_t shiftOf(Qt::KeyboardModifiers modifiers) {
    return static_cast<std::int16_t>((modifiers & Qt::ShiftModifier ? 1 : 0) |
                                     (modifiers & Qt::ControlModifier ? 2 : 0) |
                                     (modifiers & Qt::AltModifier ? 4 : 0));
}

QColor colorOf(std::uint32_t oleColor) {
    if (oleColor & 0x80000000u)
        return QApplication::palette().color(QPalette::Button);
    return QColor(oleColor & 0xFF, (oleColor >> 8) & 0xFF, (oleColor >> 16) & 0xFF);
}

// The file list's rows are 64 pixels high, as the list sets its item height.
class TallRows : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 64};
    }
};

} // namespace

ViewerSurface::ViewerSurface()
    : m_listPane(new QWidget(this))
    , m_listLabel(new QLabel(QStringLiteral("..."), m_listPane))
    , m_fileList(new QListWidget(m_listPane))
    , m_dicomDirPane(new QWidget(this))
    , m_waitPicture(new QWidget(this))
    , m_waitIcon(new QLabel(m_waitPicture))
    , m_printHolder(new QLabel(this)) {
    setObjectName(QStringLiteral("KestDicomViewAX"));
    m_listPane->setObjectName(QStringLiteral("ListPic"));
    m_listLabel->setObjectName(QStringLiteral("lblList"));
    m_fileList->setObjectName(QStringLiteral("ListFile"));
    m_dicomDirPane->setObjectName(QStringLiteral("DicomDirPic"));
    m_waitPicture->setObjectName(QStringLiteral("WaitPic"));
    m_waitIcon->setObjectName(QStringLiteral("wait_ico"));
    m_printHolder->setObjectName(QStringLiteral("ImgBMP"));
    m_listLabel->setGeometry(0, 0, 0, 20);
    m_fileList->move(3, 22);
    m_fileList->setItemDelegate(new TallRows(m_fileList));
    // Every row has the same height: a folder of thousands of files lays out at once.
    m_fileList->setUniformItemSizes(true);
    m_waitPicture->setAutoFillBackground(true);
    m_waitPicture->setPalette(QPalette(Qt::black));
    m_waitPicture->hide();
    m_waitIcon->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(48, 48));
    m_waitIcon->setGeometry(0, 40, 48, 48);
    m_printHolder->hide();
    m_listPane->resize(0, 0);
    m_dicomDirPane->resize(0, 0);
    setAutoFillBackground(true);
    setBackColor(m_backColor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

int ViewerSurface::listFileTop() const {
    return m_fileList->y();
}

int ViewerSurface::waitIconWidth() const {
    return m_waitIcon->width();
}

void ViewerSurface::applyPanes(const QString& listTag, const QString& dicomDirTag, int listWidth,
                               int dicomDirWidth, const QRect& listFile) {
    m_listTag = listTag;
    m_dicomDirTag = dicomDirTag;
    m_listPane->setGeometry(0, 0, listWidth, height());
    m_dicomDirPane->setGeometry(0, 0, dicomDirWidth, height());
    if (listWidth > 0) {
        m_fileList->setGeometry(listFile);
        m_listLabel->resize(listWidth, m_listLabel->height());
    }
}

void ViewerSurface::placeWaitPicture(const QRect& area, int iconLeft) {
    m_waitPicture->setGeometry(area);
    m_waitIcon->move(iconLeft, m_waitIcon->y());
    if (m_waitPicture->isVisible())
        m_waitPicture->raise();
}

// While the browsers start, the cover shows nothing; the icon is back for the next time.
void ViewerSurface::setWaitVisible(bool visible) {
    m_waitIcon->setVisible(!visible);
    m_waitPicture->setVisible(visible);
}

bool ViewerSurface::isWaitVisible() const {
    return m_waitPicture->isVisible();
}

void ViewerSurface::raiseWaitPicture() {
    m_waitPicture->raise();
}

void ViewerSurface::setBackColor(std::uint32_t color) {
    m_backColor = color;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colorOf(color));
    setPalette(palette);
}

void ViewerSurface::setBorderStyle(int style) {
    setContentsMargins(style ? 1 : 0, style ? 1 : 0, style ? 1 : 0, style ? 1 : 0);
    update();
}

void ViewerSurface::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResize)
        onResize();
}

void ViewerSurface::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (contentsMargins().left() > 0) {
        QPainter painter(this);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    QList<Variant> none;
    if (onInputEvent)
        onInputEvent(QStringLiteral("Paint"), none);
}

void ViewerSurface::raiseMouse(const char* event, QMouseEvent* mouse) {
    if (!onInputEvent)
        return;
    // Positions in twips, as the container measures them.
    const double twips = 1440.0 / logicalDpiX();
    // Down and Up report the button that changed, Move the buttons held.
    const Qt::MouseButtons buttons =
        mouse->type() == QEvent::MouseMove ? mouse->buttons() : Qt::MouseButtons(mouse->button());
    QList<Variant> args{Variant(buttonsOf(buttons)), Variant(shiftOf(mouse->modifiers())),
                        Variant(float(mouse->position().x() * twips)),
                        Variant(float(mouse->position().y() * twips))};
    onInputEvent(QLatin1String(event), args);
}

void ViewerSurface::raiseKey(const char* event, QKeyEvent* key) {
    if (!onInputEvent)
        return;
    QList<Variant> args{Variant(static_cast<std::int16_t>(vkeys::fromQtKey(key->key()))),
                        Variant(shiftOf(key->modifiers()))};
    onInputEvent(QLatin1String(event), args);
}

void ViewerSurface::mousePressEvent(QMouseEvent* event) {
    raiseMouse("MouseDown", event);
}

void ViewerSurface::mouseReleaseEvent(QMouseEvent* event) {
    raiseMouse("MouseUp", event);
    QList<Variant> none;
    if (onInputEvent && rect().contains(event->position().toPoint()))
        onInputEvent(QStringLiteral("Click"), none);
}

void ViewerSurface::mouseMoveEvent(QMouseEvent* event) {
    raiseMouse("MouseMove", event);
}

void ViewerSurface::mouseDoubleClickEvent(QMouseEvent*) {
    QList<Variant> none;
    if (onInputEvent)
        onInputEvent(QStringLiteral("DblClick"), none);
}

void ViewerSurface::keyPressEvent(QKeyEvent* event) {
    raiseKey("KeyDown", event);
    if (onInputEvent && !event->text().isEmpty()) {
        QList<Variant> args{Variant(std::int16_t(event->text().at(0).unicode()))};
        onInputEvent(QStringLiteral("KeyPress"), args);
    }
}

void ViewerSurface::keyReleaseEvent(QKeyEvent* event) {
    raiseKey("KeyUp", event);
}
