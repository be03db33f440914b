// A label for a value that changes with every frame, such as a joystick value. It is held at
// exactly the size its text asks for, and remembers that size for every text it has shown.
#ifndef VALUELABEL_H
#define VALUELABEL_H

#include <QHash>
#include <QLabel>
#include <QSize>
#include <QString>

class ValueLabel : public QLabel {
    Q_OBJECT

public:
    explicit ValueLabel(QWidget* parent = nullptr);

    // Shows the text, and resizes the label when the text asks for another size.
    void setValueText(const QString& text);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Stick values have two decimals: a few hundred texts per label in the usual range. Values
    // from a faulty sender could bring any number, so the memory is bounded.
    static constexpr int maxRememberedTexts = 4096;
    mutable QHash<QString, QSize> sizeHints;
};

#endif // VALUELABEL_H
