#include "modalcloser.h"

#include <QAbstractButton>
#include <QApplication>

ModalCloser::ModalCloser() {
    connect(&timer, &QTimer::timeout, this, &ModalCloser::closeActiveBox);
    timer.start(20);
}

void ModalCloser::closeActiveBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    titles << box->windowTitle();
    texts << box->text();
    buttons << box->standardButtons();
    icons << box->icon();
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}
