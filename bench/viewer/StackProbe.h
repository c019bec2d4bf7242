#pragma once

#include <QPoint>
#include <QString>
#include <QVariant>

#include <vector>

class QWebEngineView;
class QWidget;

// What a stack page showed, seen from inside the page the same way for the
// viewer's image page and for the bare stack page (times in the page's
// performance.now() milliseconds): each wheel event, when the host handed it
// to the browser (its timeStamp) and when it reached the page, each image displayed (a rendering of
// the element with another image than the last; the index read from the file name sNNNN.dcm, -1 for
// another name) and when each image finished loading.
namespace stackprobe {

struct Shown {
    double ms = 0;
    int index = -1;
};

struct Wheel {
    double arrivedMs = 0;
    double sentMs = 0;
};

struct Record {
    std::vector<Wheel> wheels;
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

// The index of the image the element shows (once watched), -1 for none.
int lastShown(QWebEngineView* view);

// The widget of the view that takes its input, the centre of the Cornerstone
// element in its coordinates.
struct WheelTarget {
    QWidget* widget = nullptr;
    QPoint point;
};
WheelTarget wheelTarget(QWebEngineView* view);

// Sends steps wheel notches (towards the next image) to the target, at the
// given rate, from a timer: how many were sent, and the longest the
// program's thread kept the timer waiting (the viewer's host and the
// browser's input handling share that thread).
struct Wheeling {
    int sent = 0;
    double longestWaitMs = 0;
};
Wheeling turnWheel(const WheelTarget& target, int steps, double perSecond);

// Figures of one scroll from image `from`.
struct ScrollFigures {
    double shownPerSecond = 0;     // from the first notch sent to the last image displayed
    std::vector<double> latencies; // wheel event to its image displayed, for images loaded before
    double deliveryMs = 0;         // wheel events' mean time from the host to the page
    int wheelsSeen = 0;
    double deltaY = 0;
    double longTaskMs = 0;
    int shownCount = 0;
    int lastIndex = -1;
    bool ordered = true; // each image displayed after the one before it in the stack
    double hostLongestWaitMs = 0;
};
// The wheel event that steps to image from + k is the k-th the page handled
// (the browser merges the notches that wait while the page is busy into one
// event, which steps one image).
ScrollFigures scrollFigures(const Record& record, int from);

// Images displayed per second from the first displayed to the last, -1 for fewer than two.
double displayRate(const Record& record);

// The value at the fraction (0..1) of the sorted values, 0 for none.
double percentile(std::vector<double> values, double fraction);

} // namespace stackprobe
