#include "displayprobe.h"

#include <QEvent>
#include <QLabel>
#include <QWidget>

#include <algorithm>

namespace {

const char* const labelNames[] = {"lbl_btn1", "lbl_btn2", "lbl_btn3", "lbl_btn4",
                                  "lbl_btn5", "lbl_joyV", "lbl_joyH", "statusLabel"};

} // namespace

DisplayProbe::DisplayProbe(int& argc, char** argv) : QApplication(argc, argv) {}

void DisplayProbe::watch(QWidget* watched, const FrameStream* frames) {
    window = watched;
    stream = frames;
    indicator = window->findChild<JoystickWidget*>();
    labels.clear();
    for (const char* name : labelNames)
        labels << window->findChild<QLabel*>(QLatin1String(name));
    shownNs.assign(static_cast<size_t>(stream->frameCount()), 0);
    notificationNs.reserve(2 * shownNs.size() + 1000);
    repaintNs.reserve(2 * shownNs.size() + 1000);
    screenKnown = false;
}

bool DisplayProbe::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::Paint)
        ++paints;
    if (!window || receiver != window)
        return QApplication::notify(receiver, event);
    const QEvent::Type type = event->type();
    const std::int64_t begin = FrameStream::nowNs();
    const unsigned long long paintsBefore = paints;
    const bool result = QApplication::notify(receiver, event);
    const std::int64_t took = FrameStream::nowNs() - begin;
    // The vectors have room for far more than a run needs: recording allocates nothing.
    if (type == QEvent::MetaCall) {
        ++handled;
        if (notificationNs.size() < notificationNs.capacity())
            notificationNs.push_back(took);
        afterNotification();
    } else if (type == QEvent::UpdateRequest && paints != paintsBefore) {
        // A request that painted nothing (it was put off, or nothing was dirty) shows nothing.
        ++flushes;
        if (repaintNs.size() < repaintNs.capacity())
            repaintNs.push_back(took);
        afterRepaint();
    }
    return result;
}

bool DisplayProbe::VisibleState::operator==(const VisibleState& other) const {
    return h == other.h && v == other.v && pressed == other.pressed && texts == other.texts && styles == other.styles &&
           hidden == other.hidden && status == other.status;
}

DisplayProbe::VisibleState DisplayProbe::visibleState() const {
    VisibleState state;
    state.h = indicator->valueH();
    state.v = indicator->valueV();
    state.pressed = indicator->isJoystickPressed();
    for (size_t i = 0; i < state.texts.size(); ++i) {
        const QLabel* label = labels[static_cast<int>(i)];
        state.texts[i] = label->text();
        state.styles[i] = label->styleSheet();
        state.hidden[i] = label->isHidden();
    }
    state.status = labels[7]->text();
    return state;
}

void DisplayProbe::afterNotification() {
    const FrameStream::Joystick values{static_cast<float>(indicator->valueH()),
                                       static_cast<float>(indicator->valueV())};
    const int frame = stream->newestFrameWith(values, std::max(newestHandled, 0));
    if (frame > newestHandled) {
        newestHandled = frame;
        ++framesSeen;
    }
    if (newestHandled <= newestShown)
        return;
    if (screenKnown && visibleState() == screen) {
        // Nothing the frame changed is visible: the screen shows it already.
        newestShown = newestHandled;
        shownNs[static_cast<size_t>(newestShown)] = FrameStream::nowNs();
    }
}

void DisplayProbe::afterRepaint() {
    const std::int64_t now = FrameStream::nowNs();
    screen = visibleState();
    screenKnown = true;
    if (newestHandled > newestShown) {
        newestShown = newestHandled;
        shownNs[static_cast<size_t>(newestShown)] = now;
    }
}

std::vector<std::int64_t> DisplayProbe::shownOrReplacedTimes() const {
    std::vector<std::int64_t> times = shownNs;
    std::int64_t next = 0;
    for (size_t i = times.size(); i-- > 0;) {
        if (times[i] != 0)
            next = times[i];
        else
            times[i] = next;
    }
    return times;
}
