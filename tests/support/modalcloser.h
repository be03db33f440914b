// Answers the modal boxes the tester shows (at start-up the constructor waits in one) with
// their OK button and records what they said; rejects any other modal dialog.
#ifndef MODALCLOSER_H
#define MODALCLOSER_H

#include <QObject>
#include <QStringList>
#include <QTimer>

class ModalCloser : public QObject {
    Q_OBJECT

public:
    ModalCloser();
    QStringList titles;
    QStringList texts;
    int dialogsRejected = 0;

private slots:
    void closeActiveBox();

private:
    QTimer timer;
};

#endif // MODALCLOSER_H
