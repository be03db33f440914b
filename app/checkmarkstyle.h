// Check boxes of the Check window's list drawn in the palette's text colour on its base
// colour, so that an unticked box stands out on dark palettes as on light ones (Fusion draws
// its outline a shade darker than the window, which all but vanishes on a dark one).
// Everything else is left to the style beneath.

#ifndef CHECKMARKSTYLE_H
#define CHECKMARKSTYLE_H

#include <QProxyStyle>

class CheckMarkStyle : public QProxyStyle {
    Q_OBJECT

public:
    CheckMarkStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

#endif // CHECKMARKSTYLE_H
