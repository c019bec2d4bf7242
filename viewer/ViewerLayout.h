#pragma once

#include <QRect>
#include <QString>

// The mode of a side pane, kept as the text of its Tag. The DICOMDIR pane
// also takes 3 and above: a pane that wide, in twips.
enum class PaneMode : int { Hidden = 0, DefaultWidth = 1, WholeControl = 2 };

// The Tag text of a mode ("0", "1", "2").
QString paneTag(PaneMode mode);
// True when the Tag text is that mode's (a hidden pane's Tag may also be empty).
bool isPaneMode(const QString& tag, PaneMode mode);

// Where the viewer's children go, in twips, from the control's size and the
// two pane modes (the Tag texts of the file list and the DICOMDIR pane).
struct ViewerLayoutInput {
    int innerWidth = 0;
    int outerWidth = 0;
    int outerHeight = 0;
    int margin = 0; // the image browser's designed top, used on every side
    QString listTag;
    QString dicomDirTag;
    int listFileTop = 0;
    int waitIconWidth = 0;
};

struct ViewerLayoutResult {
    QString listTag;
    QString dicomDirTag;
    int listWidth = 0;
    int dicomDirWidth = 0;
    QRect listFile; // inside the list pane
    int listLabelWidth = 0;
    bool pagesVisible = true; // false: both page browsers moved beyond the right edge
    QRect pages;              // the image and tags browsers
    QRect waitPicture;
    int waitIconLeft = 0;
};

ViewerLayoutResult computeViewerLayout(const ViewerLayoutInput& input);

// The default width of a pane: 4500 twips, or a fifth of the control when narrower.
int defaultPaneWidth(int innerWidth);
