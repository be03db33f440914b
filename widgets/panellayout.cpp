#include "panellayout.h"

#include <QLabel>
#include <QString>

PanelLayout::PanelLayout(QWidget* parent) : QVBoxLayout(parent) {}

void PanelLayout::setLabelText(QLabel* label, const QString& text) {
    // The hints before the change are cached in the label; afterwards the label works them
    // out anew, which the layout would have done just the same.
    changingLabel = label;
    hintBefore = label->sizeHint();
    minimumHintBefore = label->minimumSizeHint();
    label->setText(text); // asks for a new layout through invalidate() when the text differs
    changingLabel = nullptr;
}

// The label's size policy and its minimum and maximum sizes do not change with its text, so
// equal hints mean every item keeps its place and size.
void PanelLayout::invalidate() {
    if (changingLabel && changingLabel->sizeHint() == hintBefore &&
        changingLabel->minimumSizeHint() == minimumHintBefore)
        return;
    QVBoxLayout::invalidate();
}
