#pragma once

#include <QHash>
#include <QList>
#include <QWidget>

// Option button indexes (Option1) besides the tools, whose buttons carry the tool numbers 1 to 10,
// and the numbers of the group frames (Picture2 to Picture5).
namespace option {
enum : int {
    FirstTool = 1,
    LastTool = 10,
    ImagePage = 20,
    TagsPage = 21,
    NotInverted = 30,
    Inverted = 31,
    ViewSidebar = 40,
    HideSidebar = 41,
};
enum Group : int { Tools = 2, Page = 3, Inversion = 4, Sidebar = 5 };
} // namespace option

class OptionButton;
class QAbstractButton;
class QButtonGroup;
class QFrame;
class QGridLayout;

// The tool panel on the right of the form (Picture1): three command buttons and four groups
// of option buttons, each group (Picture2 to Picture5) in a frame of its own so that its
// buttons exclude each other. A click on an option button is reported only while a mouse
// button is held down on it; a selection made from code reports nothing.
class ToolPanel : public QWidget {
    Q_OBJECT
public:
    // The panel's width at design, in twips; its width in pixels follows the screen's resolution.
    static constexpr int DesignWidthTwips = 1995;

    ToolPanel(const QString& iconFolder, QWidget* parent);

    // All shows every group and the command buttons; otherwise only the page group shows.
    void showToolBar(bool all);
    // A group frame by its number: 2 tools, 3 page, 4 inversion, 5 sidebar.
    QFrame* group(int number) const;
    OptionButton* option(int index) const;
    // Command1 to Command3.
    QAbstractButton* command(int number) const;
    // Checks the button with this index from code; an index without a button does nothing.
    void select(int index);
    bool mousePressed() const { return m_mousePressed; }

signals:
    void optionClicked(int index);
    void commandClicked(int number);

private:
    struct Group {
        QFrame* frame;
        QGridLayout* grid;
        QButtonGroup* exclusive;
    };

    void addGroup(int number, int columns);
    void addCommands(const QString& iconFolder);
    void addOption(int index, const Group& group, const QString& hint, const QIcon& icon);
    void onOptionClicked(int index);

    QHash<int, Group> m_groups;
    QHash<int, OptionButton*> m_options;
    QList<QAbstractButton*> m_commands;
    // True while a mouse button is held down on an option button.
    bool m_mousePressed = false;
};
