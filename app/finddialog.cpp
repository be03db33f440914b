#include "finddialog.h"

#include "checkfeed.h"

#include <QComboBox>

FindDialog::FindDialog(CheckFeed& feed, QComboBox* selector, const QString& portText,
                       QWidget* parent)
    : QDialog(parent), feed(feed), selector(selector), portText(portText) {
    ui.setupUi(this);
    connect(ui.btn_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(&pollTimer, &QTimer::timeout, this, &FindDialog::poll);
    feed.startFind();
    sinceStart.start();
    // A press lasts a tenth of a second or more; the search itself sees every frame.
    pollTimer.start(20);
}

FindDialog::~FindDialog() {
    feed.stopFind();
}

void FindDialog::poll() {
    if (const std::optional<int> found = feed.found()) {
        if (*found < selector->count()) {
            selector->setCurrentIndex(*found);
            pollTimer.stop();
            accept();
            return;
        }
        if (selector->count() == 0)
            return; // the first frame with devices fills the selector in a moment
        ui.lbl_prompt->setText(
            tr("S%1 had a button pressed, but it is not in the device list: the list is filled "
               "once, from the first frame that listed Skywands (S1 to S%2). Restart the tester "
               "to list every device.")
                .arg(*found + 1)
                .arg(selector->count()));
        return;
    }
    if (feed.framesSinceFindStarted() == 0 && sinceStart.elapsed() >= noDataAfterMs)
        ui.lbl_prompt->setText(tr("No tracking data arrives on port %1. Make sure the controller "
                                  "sends to this computer and port, then press a button on the "
                                  "Skywand in your hand.")
                                   .arg(portText));
    else if (feed.framesSinceFindStarted() > 0)
        ui.lbl_prompt->setText(tr("Press a button on the Skywand in your hand."));
}
