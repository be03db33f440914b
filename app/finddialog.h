// Finds the Skywand in the user's hand: asks for a button press and selects the first device
// whose button goes down through the main window's selector, so that the usual selection
// rules run, then closes. Says plainly when no tracking data arrives or when the device found
// is not in the selector.

#ifndef FINDDIALOG_H
#define FINDDIALOG_H

#include "ui_finddialog.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class CheckFeed;
class QComboBox;

class FindDialog : public QDialog {
    Q_OBJECT

public:
    // How long without any frame before the dialog says that no tracking data arrives.
    static constexpr int noDataAfterMs = 1500;

    FindDialog(CheckFeed& feed, QComboBox* selector, const QString& portText,
               QWidget* parent = nullptr);
    ~FindDialog() override;

private slots:
    void poll();

private:
    Ui_FindDialogClass ui;
    CheckFeed& feed;
    QComboBox* selector;
    QString portText;
    QTimer pollTimer;
    QElapsedTimer sinceStart;
};

#endif // FINDDIALOG_H
