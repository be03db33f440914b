#include "valuelabel.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

// The label paints its own background, so that a new value repaints the label alone and not
// every widget beneath it first.
ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// A label whose text changes asks its layout to recompute, and the recomputation climbs
// through every layout up to the window's. A label of fixed size does not, and a new value
// mostly keeps the size of the one before: then only the label repaints. A text of another
// size resizes it and lays its parent out as before. The size is the label's size hint, which
// measures the text; measuring is as dear as drawing, so each text's hint is kept.
void ValueLabel::setValueText(const QString& text) {
    setText(text);
    setFixedSize(sizeHint());
}

QSize ValueLabel::sizeHint() const {
    const auto known = sizeHints.constFind(text());
    if (known != sizeHints.cend())
        return *known;
    if (sizeHints.size() >= maxRememberedTexts)
        sizeHints.clear();
    const QSize hint = QLabel::sizeHint();
    sizeHints.insert(text(), hint);
    return hint;
}

// What else a hint depends on: the font, the style (a style sheet may set margins, borders
// and the font) and the contents margins. The label's other properties are set up once.
void ValueLabel::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::ContentsRectChange:
        sizeHints.clear();
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

// The background is what Qt would paint beneath a label that leaves it to its parents: the
// palette's background, then the style sheet's, if any.
void ValueLabel::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.setClipRegion(event->region());
        painter.fillRect(rect(), palette().brush(backgroundRole()));
        if (testAttribute(Qt::WA_StyledBackground)) {
            QStyleOption option;
            option.initFrom(this);
            style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
        }
    }
    QLabel::paintEvent(event);
}
