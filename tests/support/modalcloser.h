// Answers the modal boxes the tester shows (at start-up the constructor waits in one) with
// their OK button and records their titles and texts; rejects any other modal dialog.
#ifndef MODALCLOSER_H
#define MODALCLOSER_H

#include <QStringList>
#include <QTimer>

class ModalCloser : public QTimer {
public:
    ModalCloser();
    QStringList titles;
    QStringList texts;
};

#endif // MODALCLOSER_H
