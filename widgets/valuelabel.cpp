#include "valuelabel.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

// The label paints its own background, so that a new value repaints the label alone and not
// every widget beneath it first.
ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
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
