#include "buttonwidget.h"

#include "joystickwidget.h"
#include "panelaccessibility.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

SkywandWidget::SkywandWidget(QWidget* parent) : QWidget(parent) {
    ui.setupUi(this);

    // The layouts supersede the form's fixed geometries. From top to bottom: the value
    // labels at the top left, the indicator, buttons 5-4-3-2 in a row, button 1 below.
    auto* mainColumn = new QVBoxLayout(this);
    auto* valueColumn = new QVBoxLayout;
    auto* indicatorRow = new QHBoxLayout;
    auto* buttonRow = new QHBoxLayout;
    auto* bottomRow = new QHBoxLayout;

    mainColumn->addLayout(valueColumn);
    mainColumn->addStretch(0);
    mainColumn->addLayout(indicatorRow);
    mainColumn->addStretch(0);
    mainColumn->addLayout(buttonRow);
    mainColumn->addLayout(bottomRow);

    valueColumn->addWidget(ui.lbl_joyH);
    valueColumn->addWidget(ui.lbl_joyV);

    joystickWidget = new JoystickWidget;
    indicatorRow->addWidget(joystickWidget);

    buttonRow->addWidget(ui.lbl_btn5);
    buttonRow->addWidget(ui.lbl_btn4);
    buttonRow->addWidget(ui.lbl_btn3);
    buttonRow->addWidget(ui.lbl_btn2);
    bottomRow->addWidget(ui.lbl_btn1);

    InitButtonArray();
    joystickPressable = true;
    new PanelAccessibility(this, ui.lbl_joyH, ui.lbl_joyV, joystickWidget);
}

SkywandWidget::~SkywandWidget() = default;

void SkywandWidget::InitButtonArray() {
    styleNormal = QStringLiteral("background-color: lightgray; color: black;");
    stylePressed = QStringLiteral("background-color: red; color: white;");
    styleValue = QStringLiteral("background-color: white; color: black;;");

    QLabel* const byIndex[panelSize] = {ui.lbl_btn1, ui.lbl_btn2, ui.lbl_btn3, ui.lbl_btn4,
                                        ui.lbl_btn5, ui.lbl_joyV, ui.lbl_joyH};
    for (int i = 0; i < panelSize; ++i)
        buttonArray[i] = byIndex[i];

    for (int i = 0; i < 5; ++i) {
        setStyleSheet(i, styleNormal);
        setText(i, tr("Button %1").arg(i + 1));
    }
    for (int i = verticalValueIndex; i <= horizontalValueIndex; ++i) {
        setStyleSheet(i, styleValue);
        setText(i, QStringLiteral("0.00"));
    }
}

QLabel* SkywandWidget::label(int index) const {
    return index >= 0 && index < panelSize ? buttonArray[index] : nullptr;
}

void SkywandWidget::show(int index) {
    if (QLabel* l = label(index))
        l->setVisible(true);
}

void SkywandWidget::hide(int index) {
    if (QLabel* l = label(index))
        l->setVisible(false);
}

// A label of fixed size does not ask its layout to recompute when its text changes; a text of
// another width (a stick crossing zero gains a sign) resizes it and lays the panel out again.
// The size is the text's own, not QLabel::sizeHint(), which never falls below the fixed size
// given before and would keep the label as wide as its widest value.
void SkywandWidget::setText(int index, const QString& text) {
    QLabel* l = label(index);
    // Most frames repeat most values; measuring an unchanged text again costs more than the
    // rest of setting it.
    if (!l || l->text() == text)
        return;
    l->setText(text);
    if (index == verticalValueIndex || index == horizontalValueIndex) {
        // The style sheet paints the label's whole background, but Qt counts a label opaque only
        // when it fills its background itself, which the style sheet turns off whenever it
        // polishes the label. Opaque, a new value repaints the label alone instead of the
        // window, the frame and the panel beneath it as well.
        l->setAutoFillBackground(true);
        const QMargins margins = l->contentsMargins();
        l->setFixedSize(l->fontMetrics().size(Qt::TextSingleLine, text) +
                        QSize(margins.left() + margins.right(), margins.top() + margins.bottom()));
    }
}

void SkywandWidget::setText(int index, double value) {
    // QString::number formats in the C locale, so the separator is always a full stop.
    QString text = QString::number(value, 'f', 2);
    if (index == verticalValueIndex)
        text.prepend(QStringLiteral("Y = "));
    else if (index == horizontalValueIndex)
        text.prepend(QStringLiteral("X = "));
    setText(index, text);
}

void SkywandWidget::setStyleSheet(int index, const QString& styleSheet) {
    QLabel* l = label(index);
    // Qt re-polishes a widget on every style sheet it is given, even the one it has; a frame
    // sets every button's style, and almost always to what it was. A button's style changes
    // exactly when it is pressed or released, and so does what a screen reader is told.
    if (!l || l->styleSheet() == styleSheet)
        return;
    l->setStyleSheet(styleSheet);
    if (index < 5)
        PanelAccessibility::setButtonPressed(l, styleSheet == stylePressed);
}

void SkywandWidget::joystickIsPressable(bool pressable) {
    joystickPressable = pressable;
}

void SkywandWidget::setJoystickPressed(bool pressed) {
    if (joystickPressable)
        joystickWidget->setJoystickPressed(pressed);
}

void SkywandWidget::setFlValueH(double value) {
    joystickWidget->setFlValueH(value);
}

void SkywandWidget::setFlValueV(double value) {
    joystickWidget->setFlValueV(value);
}
