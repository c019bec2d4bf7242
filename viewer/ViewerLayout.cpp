#include "ViewerLayout.h"

#include <algorithm>

namespace {

// A DICOMDIR pane mode of 3 or more is a width in twips, kept between 4500
// and what leaves the page browsers at least a fifth of the control.
int customPaneWidth(int value, int innerWidth) {
    const int widest = std::max(4500, innerWidth - innerWidth / 5);
    return std::clamp(value, 4500, widest);
}

} // namespace

QString paneTag(PaneMode mode) {
    return QString::number(static_cast<int>(mode));
}

bool isPaneMode(const QString& tag, PaneMode mode) {
    if (mode == PaneMode::Hidden && tag.isEmpty())
        return true;
    return tag == paneTag(mode);
}

int defaultPaneWidth(int innerWidth) {
    return std::min(4500, innerWidth / 5);
}

ViewerLayoutResult computeViewerLayout(const ViewerLayoutInput& in) {
    ViewerLayoutResult out;
    out.listTag = in.listTag;
    out.dicomDirTag = in.dicomDirTag;
    if (!isPaneMode(out.dicomDirTag, PaneMode::Hidden)) {
        out.listTag = paneTag(PaneMode::Hidden);
        const int mode = out.dicomDirTag.toInt();
        out.dicomDirWidth = mode == int(PaneMode::DefaultWidth) ? defaultPaneWidth(in.innerWidth)
                            : mode == int(PaneMode::WholeControl)
                                ? in.innerWidth
                                : customPaneWidth(mode, in.innerWidth);
    }
    if (!isPaneMode(out.listTag, PaneMode::Hidden)) {
        out.dicomDirTag = paneTag(PaneMode::Hidden);
        out.dicomDirWidth = 0;
        out.listWidth = defaultPaneWidth(in.innerWidth);
        out.listFile = QRect(45, in.listFileTop, out.listWidth - 60,
                             std::max(0, in.outerHeight - in.listFileTop));
        out.listLabelWidth = out.listWidth;
    }
    const int m = in.margin;
    const int pageHeight = in.outerHeight - 2 * m;
    if (out.listWidth < 16 && !isPaneMode(out.dicomDirTag, PaneMode::WholeControl)) {
        out.pages =
            QRect(m + out.dicomDirWidth, m, in.outerWidth - 2 * m - out.dicomDirWidth, pageHeight);
    } else if (out.listWidth >= 16) {
        // A list narrower than 4500 twips (a narrow control) still leaves the
        // pages beside it, so that a file picked in the list is seen.
        out.pages = QRect(m + out.listWidth, m, in.outerWidth - 2 * m - out.listWidth, pageHeight);
    } else {
        out.pagesVisible = false;
        out.pages = QRect(in.innerWidth, m, in.outerWidth - 2 * m, pageHeight);
    }
    out.waitPicture = QRect(0, 0, in.outerWidth, in.outerHeight);
    out.waitIconLeft = (in.outerWidth - in.waitIconWidth) / 2;
    return out;
}
