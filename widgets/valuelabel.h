// A label for a value that changes with every frame, such as a joystick value. It is held at
// exactly the size its text asks for, and keeps the laid-out text of every value it has shown,
// so a value seen before is neither measured nor shaped again.
#ifndef VALUELABEL_H
#define VALUELABEL_H

#include <QHash>
#include <QLabel>
#include <QSize>
#include <QString>
#include <QTextLayout>

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

    bool drawsItself() const;
    const ShapedText& shaped() const;
    QSize textSize() const;

    // Stick values have two decimals: a few hundred texts per label in the usual range. Values
    // from a faulty sender could bring any number, so the memory is bounded.
    static constexpr int maxShapedTexts = 2048;
    mutable QHash<QString, std::shared_ptr<ShapedText>> shapedTexts;
};

#endif // VALUELABEL_H
