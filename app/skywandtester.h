// The tester's main window: owns the tracking client and the receiver thread, shows the
// selected Skywand's buttons and joystick on the device panel, and keeps the data port in
// the configuration file beside the executable.

#ifndef SKYWANDTESTER_H
#define SKYWANDTESTER_H

#include "checkfeed.h"
#include "configlocation.h"
#include "portentry.h"
#include "trackingsnapshot.h"
#include "ui_skywandtester.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

class CheckWindow;
class Ombrix;
class QLabel;
class QVBoxLayout;
class SkywandWidget;
class TrackReceiver;

class Skywandtester : public QMainWindow {
    Q_OBJECT

public:
    explicit Skywandtester(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~Skywandtester() override;

private slots:
    void on_action_Help_triggered();
    void on_actionWhat_s_this_triggered();
    void openSettingsPortDlg();
    void RestartDataReceiver();
    void onInfo();
    void on_cboSkywand_currentIndexChanged(int index);
    void onReceiveTrackingData();
    void onReceiveTrackingDataError();
    void onActionExit();
    void openFindDialog();
    void openCheckWindow();

private:
    // Lets the tests reach the client, the thread and the port text.
    friend class SkywandtesterProbe;

    void setupActions();
    void startTrackingThread();
    void readOrCreateConfig();
    void writeSettingsToConfig();
    void setupLayOut();
    void initDataReceiver();
    void fillCboSkywand();
    // Frames may come far faster than the screen refreshes, and a picture nobody sees costs
    // as much as one that is seen: the newest published state is presented at most once per
    // refresh interval.
    void schedulePresentation();
    void presentNewest();
    static qint64 refreshIntervalNs(double hertz);
    void processingData(const TrackingSnapshot& frame);
    void processingDataError(const TrackingSnapshot& frame);

    // The status line for the one-based device number.
    void setStatusLine(qint64 deviceNumber);
    void reportError(const QString& text);

    Ui_SkywandtesterClass ui;
    const ConfigLocation config = ConfigLocation::find();
    char dataPort[portTextFieldSize]; // the port text, NUL-terminated ASCII
    QString version;
    int currentSkywand = 0;
    int buttonCount = 0;
    Ombrix* ombrix = nullptr;               // owned
    TrackReceiver* trackReceiver = nullptr; // owned, deleted before the client
    QLabel* statusLabel = nullptr;          // owned by the status bar
    SkywandWidget* skywandWidget = nullptr; // owned by frame_main
    QVBoxLayout* panelLayout = nullptr;     // owned by frame_main
    // Sees every frame for the device check; outlives `tracking`, which calls it.
    CheckFeed checkFeed;
    QPointer<CheckWindow> checkWindow; // a child window, deleted when closed
    // What the slots read of the client; see TrackingSnapshot.
    TrackingSnapshot tracking;
    qint64 presentIntervalNs = 0;
    QElapsedTimer lastPresentation; // invalid before the first
    QTimer presentTimer;            // runs while a presentation waits for its time
};

#endif // SKYWANDTESTER_H
