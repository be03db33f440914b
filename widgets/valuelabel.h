// A label for a value that changes with every frame, such as a joystick value. It is held at
// exactly the size its text asks for, and keeps the laid-out text of every value it has shown,
// so a value seen before is neither measured nor shaped again. It also keeps the pixels each
// value left when it was painted, and paints that value again by copying them back.
#ifndef VALUELABEL_H
#define VALUELABEL_H

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QSize>
#include <QString>
#include <QTextLayout>
#include <QTransform>

#include <memory>

class ValueLabel : public QLabel {
    Q_OBJECT

public:
    explicit ValueLabel(QWidget* parent = nullptr);

    // Shows the text, and resizes the label when the text asks for another size.
    void setValueText(const QString& text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct ShapedText {
        QTextLayout layout; // one line, laid out from (0, 0)
        qreal width = 0;
        qreal height = 0;
        Qt::LayoutDirection direction = Qt::LeftToRight; // the text's own
    };

    // Everything besides the text that the pixels of a painted value depend on and that no
    // change event announces. Palette, font, style and screen changes drop the pixels.
    struct Look {
        Qt::Alignment alignment;
        bool active = false;
        bool enabled = false;
        QPalette::ColorRole background = QPalette::NoRole;
        QPalette::ColorRole foreground = QPalette::NoRole;
        qreal scale = 0; // device pixels per pixel
        QImage::Format format = QImage::Format_Invalid;
        bool operator==(const Look& other) const;
    };

    bool drawsItself() const;
    const ShapedText& shaped() const;
    QSize textSize() const;
    // The image the painter writes to and where the label lies in it; null when the painter
    // writes elsewhere or not pixel for pixel.
    static QImage* paintedImage(QPainter& painter, const QTransform& toDevice, const QRect& area,
                                QRect* pixels);

    // Stick values have two decimals: a few hundred texts per label in the usual range. Values
    // from a faulty sender could bring any number, so the memory is bounded.
    static constexpr int maxShapedTexts = 2048;
    mutable QHash<QString, std::shared_ptr<ShapedText>> shapedTexts;
    // The pixels of each value painted in full under `paintedLook`, at the size the label had
    // then; at most maxPaintedTexts (a few kilobytes each).
    static constexpr int maxPaintedTexts = 512;
    QHash<QString, QImage> paintedTexts;
    Look paintedLook;
};

#endif // VALUELABEL_H
