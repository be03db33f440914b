// A label for a value that changes with every frame, such as a joystick value.
#ifndef VALUELABEL_H
#define VALUELABEL_H

#include <QLabel>

class ValueLabel : public QLabel {
    Q_OBJECT

public:
    explicit ValueLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

#endif // VALUELABEL_H
