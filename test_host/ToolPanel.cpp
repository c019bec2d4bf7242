#include "ToolPanel.h"

#include "OptionButton.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QIcon>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

struct OptionSpec {
    int index;
    int group;
    const char* hint;
    const char* icon;
};

constexpr OptionSpec Options[] = {
    {1, option::Tools, "Contrast (W/L)", "tool-contrast"},
    {2, option::Tools, "Zoom", "tool-zoom"},
    {3, option::Tools, "Pan", "tool-pan"},
    {4, option::Tools, "Length", "tool-length"},
    {5, option::Tools, "Angle", "tool-angle"},
    {6, option::Tools, "Cobb Angle", "tool-cobb"},
    {7, option::Tools, "Rectangle (ROI)", "tool-rectangle"},
    {8, option::Tools, "Ellipse (ROI)", "tool-ellipse"},
    {9, option::Tools, "Probe", "tool-probe"},
    {10, option::Tools, "Magnifier", "tool-magnifier"},
    {option::ImagePage, option::Page, "DICOM Image", "page-image"},
    {option::TagsPage, option::Page, "DICOM Tags", "page-tags"},
    {option::NotInverted, option::Inversion, "Not Inverted", "invert-off"},
    {option::Inverted, option::Inversion, "Inverted", "invert-on"},
    {option::ViewSidebar, option::Sidebar, "View Sidebar", "sidebar-show"},
    {option::HideSidebar, option::Sidebar, "Hide Sidebar", "sidebar-hide"},
};

struct CommandSpec {
    const char* hint;
    const char* icon;
};

constexpr CommandSpec Commands[] = {
    {"Clear measurements", "command-clear"},
    {"Reset View", "command-reset"},
    {"100% 1 pixel Image - 1 pixel screen", "command-scale1"},
};

constexpr int Columns = 3;
constexpr int ButtonSize = 36;
constexpr int IconSize = 24;

QIcon iconOf(const QString& folder, const char* name) {
    return QIcon(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".svg"));
}

int pixelsOfTwips(int twips, const QWidget& widget) {
    const QScreen* screen = widget.screen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

void placeInGrid(QWidget& button, QGridLayout& grid) {
    const int position = grid.count();
    grid.addWidget(&button, position / Columns, position % Columns);
}

} // namespace

ToolPanel::ToolPanel(const QString& iconFolder, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    setFixedWidth(pixelsOfTwips(DesignWidthTwips, *this));
    auto* column = new QVBoxLayout(this); // owned by the panel
    column->setContentsMargins(4, 4, 4, 4);
    addGroup(option::Tools, Columns);
    addCommands(iconFolder);
    for (int number : {option::Page, option::Inversion, option::Sidebar})
        addGroup(number, 2);
    for (const OptionSpec& spec : Options)
        addOption(spec.index, m_groups.value(spec.group), QString::fromLatin1(spec.hint),
                  iconOf(iconFolder, spec.icon));
    column->addStretch();
}

void ToolPanel::addGroup(int number, int columns) {
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Picture%1").arg(number));
    frame->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(2);
    for (int c = 0; c < columns; ++c)
        grid->setColumnStretch(c, 1);
    auto* exclusive = new QButtonGroup(frame);
    connect(exclusive, &QButtonGroup::idClicked, this, &ToolPanel::onOptionClicked);
    layout()->addWidget(frame);
    m_groups.insert(number, {frame, grid, exclusive});
}

void ToolPanel::addCommands(const QString& iconFolder) {
    auto* row = new QWidget(this);
    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(2);
    for (const CommandSpec& spec : Commands) {
        const int number = static_cast<int>(m_commands.size()) + 1;
        auto* button = new QToolButton(row);
        button->setObjectName(QStringLiteral("Command%1").arg(number));
        button->setToolTip(QString::fromLatin1(spec.hint));
        button->setAccessibleName(button->toolTip());
        button->setIcon(iconOf(iconFolder, spec.icon));
        button->setIconSize(QSize(IconSize, IconSize));
        button->setFixedSize(ButtonSize, ButtonSize);
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this,
                [this, number] { emit commandClicked(number); });
        placeInGrid(*button, *grid);
        m_commands.append(button);
    }
    layout()->addWidget(row);
}

void ToolPanel::addOption(int index, const Group& group, const QString& hint, const QIcon& icon) {
    auto* button = new OptionButton(index, hint, icon, group.frame);
    button->setIconSize(QSize(IconSize, IconSize));
    button->setFixedSize(ButtonSize, ButtonSize);
    connect(button, &OptionButton::mouseDown, this, [this] { m_mousePressed = true; });
    connect(button, &OptionButton::mouseUp, this, [this] { m_mousePressed = false; });
    group.exclusive->addButton(button, index);
    placeInGrid(*button, *group.grid);
    m_options.insert(index, button);
}

void ToolPanel::onOptionClicked(int index) {
    if (m_mousePressed)
        emit optionClicked(index);
}

void ToolPanel::showToolBar(bool all) {
    for (int number : {option::Tools, option::Inversion, option::Sidebar})
        m_groups.value(number).frame->setVisible(all);
    for (QAbstractButton* button : m_commands)
        button->setVisible(all);
    m_groups.value(option::Page).frame->show();
}

QFrame* ToolPanel::group(int number) const {
    return m_groups.value(number).frame;
}

OptionButton* ToolPanel::option(int index) const {
    return m_options.value(index);
}

QAbstractButton* ToolPanel::command(int number) const {
    return m_commands.value(number - 1);
}

void ToolPanel::select(int index) {
    if (OptionButton* button = m_options.value(index))
        button->setChecked(true);
}
