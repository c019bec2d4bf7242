#pragma once

#include <QPoint>
#include <QString>
#include <QVariant>

#include <vector>

class QWebEngineView;
class QWidget;

// What a stack page showed, seen from inside the page the same way for the
// viewer's image page and for the bare stack page: the time (milliseconds of
// the page's clock, its timeOrigin plus now) each wheel event
// reached the page, each image displayed (a rendering of the element with
// another image than the last; the index read from the file name sNNNN.dcm,
// -1 for another name) and when each image finished loading.
namespace stackprobe {

struct Shown {
    double ms = 0;
    int index = -1;
};

struct Record {
    std::vector<double> wheels;
    std::vector<Shown> shown;
    std::vector<double> loadedAt; // by index; negative for an image not loaded while watched
    double deltaY = 0;            // the wheel events' deltaY, summed
    double longTaskMs = 0;        // the page's tasks of 50 ms or more, summed
};

// The result of a script run in the page's main world, or an invalid value
// when none came within ten seconds.
QVariant evaluate(QWebEngineView* view, const QString& script);

// Starts watching the page afresh (the image shown then does not count).
bool start(QWebEngineView* view);
// Stops watching and reads what was seen; count is the number of images of the stack.
Record finish(QWebEngineView* view, int count);

// The index of the image displayed last, -1 before any.
int lastShown(QWebEngineView* view);

// The page's clock (its timeOrigin plus now) less the program's system
// clock, in milliseconds, from the quickest of a few round trips: the two
// drift apart in the browser's processes by up to a few hundred milliseconds.
double pageClockOffset(QWebEngineView* view);

// The widget of the view that takes its input, the centre of the Cornerstone
// element in its coordinates, and the page's clock offset.
struct WheelTarget {
    QWidget* widget = nullptr;
    QPoint point;
    double clockOffsetMs = 0;
};
WheelTarget wheelTarget(QWebEngineView* view);

// Sends steps wheel notches (towards the next image) to the target, at the
// given rate, from a timer: when each was sent, on the page's clock in
// milliseconds, and the longest the program's thread kept the timer waiting
// (the viewer's host and the browser's input handling share that thread).
struct Wheeling {
    std::vector<double> sentAt;
    double longestWaitMs = 0;
};
Wheeling turnWheel(const WheelTarget& target, int steps, double perSecond);

// Figures of one scroll from image `from`.
struct ScrollFigures {
    double shownPerSecond = 0;     // from the first notch sent to the last image displayed
    std::vector<double> latencies; // notch sent to its image displayed, for images loaded before
    int wheelsSeen = 0;
    double deltaY = 0;
    double longTaskMs = 0;
    int shownCount = 0;
    int lastIndex = -1;
    bool ordered = true; // each image displayed after the one before it in the stack
    double hostLongestWaitMs = 0;
};
// The notch that steps to image from + k is the k-th sent: a notch the page
// never saw (wheel events merged by the browser) leaves the images after it late.
ScrollFigures scrollFigures(const Record& record, const std::vector<double>& sentAt, int from);

// Images displayed per second from the first displayed to the last, -1 for fewer than two.
double displayRate(const Record& record);

// The value at the fraction (0..1) of the sorted values, 0 for none.
double percentile(std::vector<double> values, double fraction);

} // namespace stackprobe
