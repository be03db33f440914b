#include "modalcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

ModalCloser::ModalCloser() {
    connect(&timer, &QTimer::timeout, this, &ModalCloser::closeActiveBox);
    timer.start(20);
}

void ModalCloser::closeActiveBox() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            ++dialogsRejected;
            dialog->reject();
        }
        return;
    }
    titles << box->windowTitle();
    texts << box->text();
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}
