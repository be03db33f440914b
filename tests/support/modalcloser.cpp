#include "modalcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

ModalCloser::ModalCloser() {
    connect(this, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box && box->isVisible()) {
            titles << box->windowTitle();
            texts << box->text();
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    });
    start(20);
}
