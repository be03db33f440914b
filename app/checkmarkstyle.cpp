#include "checkmarkstyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>

CheckMarkStyle::CheckMarkStyle() : QProxyStyle(nullptr) {}

void CheckMarkStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (element != PE_IndicatorItemViewItemCheck) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QColor ink = option->palette.color(QPalette::Text);
    const int side = qMin(option->rect.width(), option->rect.height()) - 2;
    const QRectF box(option->rect.x() + (option->rect.width() - side) / 2.0 + 0.5,
                     option->rect.y() + (option->rect.height() - side) / 2.0 + 0.5, side - 1,
                     side - 1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(ink, 1.5));
    painter->setBrush(option->palette.base());
    painter->drawRect(box);
    if (option->state & State_On) {
        QPainterPath tick;
        tick.moveTo(box.left() + box.width() * 0.2, box.top() + box.height() * 0.5);
        tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.75);
        tick.lineTo(box.left() + box.width() * 0.8, box.top() + box.height() * 0.25);
        painter->setPen(QPen(ink, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(tick);
    }
    painter->restore();
}
