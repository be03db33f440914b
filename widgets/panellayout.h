// The device panel's main column: a QVBoxLayout that can tell a label's new text apart from a
// change that needs a new layout.
//
// A label whose text changes asks its parent's layout to lay out again, and the layout then
// asks its own parent, up to the main window. At a high frame rate the joystick value labels
// change their text many times a second while needing exactly the same room, and laying out
// the whole window each time costs more than everything else the panel does. While a label's
// text is set through setLabelText, that request is dropped when the label's size hints come
// out as they were; any other change, and a text that needs other room, lays out as before.

#ifndef PANELLAYOUT_H
#define PANELLAYOUT_H

#include <QSize>
#include <QVBoxLayout>

class QLabel;
class QString;

class PanelLayout : public QVBoxLayout {
public:
    explicit PanelLayout(QWidget* parent);

    // QLabel::setText, without a new layout when the label needs the same room as before.
    void setLabelText(QLabel* label, const QString& text);

    void invalidate() override;

private:
    QLabel* changingLabel = nullptr; // the label whose text is being set
    QSize hintBefore;                // its size hint and minimum size hint before
    QSize minimumHintBefore;
};

#endif // PANELLAYOUT_H
