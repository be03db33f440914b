#include "valuelabel.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTextLine>

// The label paints its own background, so that a new value repaints the label alone and not
// every widget beneath it first.
ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setTextFormat(Qt::PlainText);
}

// A label whose text changes asks its layout to recompute, and the recomputation climbs
// through every layout up to the window's. A label of fixed size does not, and a new value
// mostly keeps the size of the one before: then only the label repaints. A text of another
// size resizes the label and lays its parent out, so the label follows its text's size as a
// label in a layout does.
void ValueLabel::setValueText(const QString& text) {
    setText(text);
    setFixedSize(drawsItself() ? textSize() : QLabel::sizeHint());
}

// What the label draws from its kept layouts: one line of plain text, without a frame, margin
// or indent of its own, that fits. Everything else, an empty text too, is left to QLabel.
bool ValueLabel::drawsItself() const {
    if (text().isEmpty() || wordWrap() || textFormat() != Qt::PlainText || frameWidth() != 0 ||
        margin() != 0 || indent() > 0 || buddy() ||
        (textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard)))
        return false;
    for (const QChar c : text()) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator || c == QChar(0x9c))
            return false;
    }
    return true;
}

// The text laid out as QPainter::drawText lays out one line: without a width limit, aligned
// left, trailing blanks counted.
const ValueLabel::ShapedText& ValueLabel::shaped() const {
    const QString text = this->text();
    const auto known = shapedTexts.constFind(text);
    if (known != shapedTexts.cend())
        return **known;
    if (shapedTexts.size() >= maxShapedTexts)
        shapedTexts.clear();
    auto entry = std::make_shared<ShapedText>();
    entry->layout.setText(text);
    entry->layout.setFont(font());
    entry->direction = text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    QTextOption option;
    option.setTextDirection(entry->direction);
    option.setAlignment(Qt::AlignLeft);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    entry->layout.setTextOption(option);
    entry->layout.setCacheEnabled(true);
    entry->layout.beginLayout();
    QTextLine line = entry->layout.createLine();
    line.setLineWidth(0x01000000);
    line.setPosition(QPointF(0, 0));
    entry->layout.endLayout();
    entry->width = line.naturalTextWidth();
    entry->height = line.ascent() + line.descent();
    return **shapedTexts.insert(text, entry);
}

QSize ValueLabel::textSize() const {
    const ShapedText& text = shaped();
    const QMargins margins = contentsMargins();
    return QRectF(0, 0, text.width, text.height).toAlignedRect().size() +
           QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

// As QLabel's, never less than the label's minimum size.
QSize ValueLabel::sizeHint() const {
    return drawsItself() ? textSize().expandedTo(minimumSize()) : QLabel::sizeHint();
}

QSize ValueLabel::minimumSizeHint() const {
    return drawsItself() ? sizeHint() : QLabel::minimumSizeHint();
}

// The layouts depend on the font, the style (a style sheet may set the font) and the screen's
// resolution; the painted pixels also on the palette, the layout direction and the margins.
bool ValueLabel::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ScreenChangeInternal:
        shapedTexts.clear();
        paintedTexts.clear();
        break;
    case QEvent::ContentsRectChange:
        paintedTexts.clear();
        break;
    default:
        break;
    }
    return QLabel::event(event);
}

void ValueLabel::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        shapedTexts.clear();
        paintedTexts.clear();
        break;
    case QEvent::PaletteChange:
    case QEvent::LayoutDirectionChange:
        paintedTexts.clear();
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

bool ValueLabel::Look::operator==(const Look& other) const {
    return alignment == other.alignment && active == other.active &&
           enabled == other.enabled && background == other.background &&
           foreground == other.foreground && scale == other.scale && format == other.format;
}

QImage* ValueLabel::paintedImage(QPainter& painter, const QTransform& toDevice, const QRect& area,
                                 QRect* pixels) {
    QPaintDevice* device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    if (toDevice.type() > QTransform::TxScale || toDevice.m11() != toDevice.m22())
        return nullptr;
    const QRectF mapped = toDevice.mapRect(QRectF(area));
    *pixels = mapped.toRect();
    auto* image = static_cast<QImage*>(device);
    if (QRectF(*pixels) != mapped || !image->rect().contains(*pixels))
        return nullptr;
    return image;
}

// The background is what Qt would paint beneath a label that leaves it to its parents: the
// palette's background, then the style sheet's, if any. The text goes where QLabel's
// QPainter::drawText puts it, in the colour it uses.
//
// A value painted in full into an image, pixel for pixel, leaves there exactly the pixels it
// will leave the next time, as long as the label looks the same: those pixels are kept and
// copied back instead.
void ValueLabel::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const bool itself = drawsItself() && rect().contains(QRect(QPoint(0, 0), textSize()));
    QRect pixels;
    const QTransform toDevice = painter.deviceTransform();
    QImage* const target = itself ? paintedImage(painter, toDevice, rect(), &pixels) : nullptr;
    if (target) {
        const Look look{alignment(),
                        isActiveWindow(),
                        isEnabled(),
                        backgroundRole(),
                        foregroundRole(),
                        toDevice.m11(),
                        target->format()};
        if (!(look == paintedLook)) {
            paintedTexts.clear();
            paintedLook = look;
        }
        // A label follows its text's size, so a text mostly comes back at the size it had.
        const auto known = paintedTexts.constFind(text());
        if (known != paintedTexts.cend() && known->size() == pixels.size()) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(QRectF(rect()), *known);
            return;
        }
    }

    painter.fillRect(rect(), palette().brush(backgroundRole()));
    if (testAttribute(Qt::WA_StyledBackground)) {
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    }
    if (!itself) {
        painter.end();
        QLabel::paintEvent(event);
        return;
    }
    const ShapedText& text = shaped();
    const QTextLine line = text.layout.lineAt(0);
    const QRect box = contentsRect();
    const int align = QStyle::visualAlignment(text.direction, alignment());
    qreal x = 0, y = 0;
    if (align & Qt::AlignRight)
        x = box.width() - line.horizontalAdvance();
    else if (align & Qt::AlignHCenter)
        x = (box.width() - line.horizontalAdvance()) / 2;
    if (align & Qt::AlignBottom)
        y = box.height() - text.height;
    else if (align & Qt::AlignVCenter)
        y = (box.height() - text.height) / 2;
    painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
    line.draw(&painter, QPointF(box.x() + x, box.y() + y));

    // Only a paint of the whole label leaves all of its pixels.
    if (target && (QRegion(rect()) - event->region()).isEmpty()) {
        if (paintedTexts.size() >= maxPaintedTexts)
            paintedTexts.clear();
        paintedTexts.insert(this->text(), target->copy(pixels));
    }
}
