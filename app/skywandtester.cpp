#include "skywandtester.h"

#include "Ombrix.h"
#include "appresources.h"
#include "buttonwidget.h"
#include "checkwindow.h"
#include "finddialog.h"
#include "helpbrowser.h"
#include "settingportdlg.h"
#include "trackreceiver.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QSysInfo>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>

namespace {

// The client's settings: no command channel, 20000-byte receive buffer, 1 s data time-out,
// 10 s command time-out (microseconds).
constexpr int dataBufferSize = 20000;
constexpr int dataTimeoutUs = 1000000;
constexpr int serverTimeoutUs = 10000000;

// Reads a signed 32-bit number from the start of the port text as a formatted stream
// extraction does: leading white space skipped, optional sign, decimal digits, anything after
// them ignored. Empty when no digit is found or the number does not fit into 32 bits.
std::optional<int> portNumberFromText(const char* text) {
    std::istringstream in(text);
    int value = 0;
    in >> value;
    if (in.fail())
        return std::nullopt;
    return value;
}

// The About box's second line: who made the program and what it was built with and runs on,
// so that a bug report can say so.
QString makerNotice() {
#if defined(__clang__)
    const QString compiler = QStringLiteral("Clang " __clang_version__).trimmed();
#elif defined(__GNUC__)
    const QString compiler = QStringLiteral("GCC " __VERSION__);
#else
    const QString compiler = QStringLiteral("an unknown compiler");
#endif
    return QStringLiteral("\u00a9 2026 Skywand tester developers \u2014 built with Qt %1 and %2, "
                          "running on Qt %3, %4")
        .arg(QLatin1String(QT_VERSION_STR), compiler, QLatin1String(qVersion()),
             QSysInfo::prettyProductName());
}

// The status line's tool tip: which file keeps the port.
QString portFileNotice(const ConfigLocation& config) {
    return QCoreApplication::translate("Skywandtester", "Port kept in %1")
        .arg(QDir::toNativeSeparators(config.path));
}

} // namespace

Skywandtester::Skywandtester(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), version(QStringLiteral("V01")) {
    qstrcpy(dataPort, "5000");
    registerAppResources();

    ui.setupUi(this);
    tracking.setObserver(&checkFeed);
    setupActions();
    readOrCreateConfig();
    setupLayOut();
    initDataReceiver();
    fillCboSkywand();
    startTrackingThread();
}

Skywandtester::~Skywandtester() {
    writeSettingsToConfig();
    // Closing the window ends the event loop without onActionExit, so the thread may still run.
    if (trackReceiver) {
        trackReceiver->stop();
        delete trackReceiver;
        trackReceiver = nullptr;
    }
    // Only now that the thread has finished may its client go.
    delete ombrix;
    ombrix = nullptr;
}

void Skywandtester::setupActions() {
    connect(ui.action_exit, &QAction::triggered, this, &Skywandtester::onActionExit);
    connect(ui.action_port, &QAction::triggered, this, &Skywandtester::openSettingsPortDlg);
    connect(ui.action_info, &QAction::triggered, this, &Skywandtester::onInfo);
    connect(ui.action_find, &QAction::triggered, this, &Skywandtester::openFindDialog);
    connect(ui.action_check, &QAction::triggered, this, &Skywandtester::openCheckWindow);
}

void Skywandtester::startTrackingThread() {
    trackReceiver = new TrackReceiver(ombrix, &tracking, this);
    connect(trackReceiver, &TrackReceiver::sendMessageDataArrived, this,
            &Skywandtester::onReceiveTrackingData);
    connect(trackReceiver, &TrackReceiver::sendMessageDataError, this,
            &Skywandtester::onReceiveTrackingDataError);
    // Without a client (the port was rejected) the thread stays idle until a restart
    // brings one.
    if (ombrix)
        trackReceiver->start(QThread::InheritPriority);
}

// The file holds only the port text, without a line end. Its content is taken whole, white
// space included; the checks come when the client is created. A missing file is created; a
// user's own file starts from the one beside the executable where there is one.
void Skywandtester::readOrCreateConfig() {
    QString source = config.path;
    if (!QFile::exists(source)) {
        if (!config.perUser() || !QFile::exists(config.seedPath)) {
            writeSettingsToConfig();
            return;
        }
        source = config.seedPath;
    }

    QByteArray content; // a file that cannot be read counts as empty
    QFile file(source);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        content = file.readAll();
        file.close();
    }
    const qsizetype nul = content.indexOf('\0');
    if (nul >= 0)
        content.truncate(nul);

    // Longer content is cut to what the port text can hold.
    const QByteArray text =
        QString::fromUtf8(content).left(maxPortTextLength).toLatin1().left(maxPortTextLength);
    std::memcpy(dataPort, text.constData(), static_cast<size_t>(text.size()));
    dataPort[text.size()] = '\0';
    if (source != config.path)
        writeSettingsToConfig();
}

// The new content goes to a file of its own that then replaces the old one, so a failed write
// leaves the previous file as it was.
void Skywandtester::writeSettingsToConfig() {
    if (config.perUser())
        QDir().mkpath(QFileInfo(config.path).path());
    QSaveFile file(config.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    file.write(QString::fromLatin1(dataPort).toUtf8());
    file.commit();
}

void Skywandtester::setupLayOut() {
    statusLabel = new QLabel;
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusBar()->addPermanentWidget(statusLabel, 0);
    // Which file keeps the port; a user's own file is named at start as well.
    const QString portFile = portFileNotice(config);
    statusLabel->setToolTip(portFile);
    if (config.perUser())
        statusBar()->showMessage(portFile, 10000);
    setStatusLine(0); // no device is known yet

    ui.frame_main->setStyleSheet(QStringLiteral("background-color: white;"));
    presentIntervalNs = refreshIntervalNs(screen()->refreshRate());
    presentTimer.setSingleShot(true);
    presentTimer.setTimerType(Qt::PreciseTimer);
    connect(&presentTimer, &QTimer::timeout, this, &Skywandtester::presentNewest);
    panelLayout = new QVBoxLayout(ui.frame_main);
    skywandWidget = new SkywandWidget;
    panelLayout->addWidget(skywandWidget, 0);
}

void Skywandtester::setStatusLine(qint64 deviceNumber) {
    // The number goes into its own piece before the port text is appended, so that a "%" in
    // a port text taken from the file cannot take the number's place.
    statusLabel->setText(tr(" Version ") + version +
                         tr(" - Skywand ID: S%1 - Port: ").arg(deviceNumber) +
                         QString::fromLatin1(dataPort) + QStringLiteral(" "));
}

void Skywandtester::reportError(const QString& text) {
    qDebug().noquote() << text;
    statusLabel->setText(text);
}

void Skywandtester::initDataReceiver() {
    statusLabel->setToolTip(portFileNotice(config)); // no reason from an earlier port
    const std::optional<int> port = portNumberFromText(dataPort);
    // Before the new client's first frame, which belongs to another stream.
    checkFeed.receiverStarted(port.value_or(0));
    if (!port) {
        QMessageBox::warning(this, tr("Skywand tester"), tr("Wrong data port"), QMessageBox::Ok,
                             QMessageBox::NoButton);
        qDebug().noquote() << tr("Wrong data port");
        return;
    }
    if (*port < 1 || *port > 65535) {
        reportError(tr("Illegal data port"));
        return;
    }

    ombrix = new Ombrix("", 0, static_cast<unsigned short>(*port), dataBufferSize, dataTimeoutUs,
                        serverTimeoutUs);
    if (!ombrix->valid()) {
        // Kept: its receive fails at once, and the status line then names the receive error.
        reportError(tr("Ombrix init error"));
        // Neither text says why; the reason stays in the tool tip while this client is kept.
        const QString reason = portOpenFailure(*port, ombrix->get_data_bind_errno());
        statusLabel->setToolTip(reason + QLatin1Char('\n') + portFileNotice(config));
        statusBar()->showMessage(reason, 10000);
        return;
    }
    // A first frame, received while the thread is stopped, lists the devices for the selector
    // (or times out after one second when nothing is sent).
    const bool received = ombrix->receive();
    tracking.publish(*ombrix, received);
}

void Skywandtester::RestartDataReceiver() {
    setStatusLine(ui.cboSkywand->currentIndex() + 1);
    trackReceiver->stop();
    delete ombrix;
    ombrix = nullptr;
    initDataReceiver();
    trackReceiver->setOmbrixObject(ombrix);
    if (ombrix)
        trackReceiver->start(QThread::InheritPriority);
}

void Skywandtester::fillCboSkywand() {
    const int count = tracking.numSkywand();
    if (count <= 0)
        return;
    // Adding the first item makes it current, which runs the selection handler for S1.
    for (int k = 1; k <= count; ++k)
        ui.cboSkywand->addItem(tr("S%1").arg(k));
    ui.cboSkywand->setCurrentIndex(currentSkywand);
    buttonCount = tracking.skywand(0).num_button;
}

void Skywandtester::on_cboSkywand_currentIndexChanged(int index) {
    currentSkywand = index;
    setStatusLine(qint64(index) + 1);
    buttonCount = tracking.skywand(index).num_button;

    // All five button labels first, so that none stays hidden from an earlier selection;
    // then the labels of the two buttons after the device's last one go. Only button labels
    // (panel indexes 0 to 4) are hidden: index 5 shows a joystick value, which every device
    // has. A negative count counts as no buttons.
    for (int i = 0; i <= 4; ++i)
        skywandWidget->show(i);
    const int first = std::max(buttonCount, 0);
    for (int i = first; i <= first + 1 && i <= 4; ++i)
        skywandWidget->hide(i);
}

// Both announcements lead to the same presentation of the newest state: a failed receive
// that a good frame has followed within the interval is not shown.
void Skywandtester::onReceiveTrackingData() {
    schedulePresentation();
}

void Skywandtester::onReceiveTrackingDataError() {
    schedulePresentation();
}

qint64 Skywandtester::refreshIntervalNs(double hertz) {
    // Screens report 0 or nonsense when they do not know; such a screen counts as 60 Hz.
    if (!(hertz >= 24.0 && hertz <= 1000.0))
        hertz = 60.0;
    return std::llround(1e9 / hertz);
}

// Presents at once when the last presentation is at least one refresh interval old; otherwise
// the timer presents the newest state when the interval is over.
void Skywandtester::schedulePresentation() {
    if (presentTimer.isActive())
        return;
    const qint64 sinceLast = lastPresentation.isValid() ? lastPresentation.nsecsElapsed()
                                                        : presentIntervalNs;
    if (sinceLast >= presentIntervalNs)
        presentNewest();
    else // rounded up to whole milliseconds, so that it never comes before its time
        presentTimer.start(int((presentIntervalNs - sinceLast + 999999) / 1000000));
}

void Skywandtester::presentNewest() {
    lastPresentation.start();
    // Taken before reading, so that a frame published after the read is announced anew.
    if (trackReceiver)
        trackReceiver->takeNotification();
    if (tracking.lastReceiveSucceeded())
        processingData(tracking);
    else
        processingDataError(tracking);
}

void Skywandtester::processingData(const TrackingSnapshot& frame) {
    if (ui.cboSkywand->count() == 0) {
        currentSkywand = 0;
        fillCboSkywand();
    }
    setStatusLine(ui.cboSkywand->currentIndex() + 1);

    const ombrix_skywand_type record = frame.skywand(currentSkywand);
    // Devices with more than six buttons have no fifth button label and no joystick press.
    if (record.num_button <= 6) {
        skywandWidget->show(4);
        skywandWidget->joystickIsPressable(true);
    } else {
        skywandWidget->hide(4);
        skywandWidget->joystickIsPressable(false);
    }

    for (int i = 0; i <= 4; ++i)
        skywandWidget->setStyleSheet(i, record.button[i] == 1 ? skywandWidget->pressedStyle()
                                                              : skywandWidget->releasedStyle());
    // The labels and the indicator each repaint what a change moves, and nothing when a value
    // stays as it was.
    skywandWidget->setJoystickPressed(record.button[5] == 1);
    skywandWidget->setFlValueH(record.joystick[0]);
    skywandWidget->setFlValueV(record.joystick[1]);
    skywandWidget->setText(SkywandWidget::horizontalValueIndex, double(record.joystick[0]));
    skywandWidget->setText(SkywandWidget::verticalValueIndex, double(record.joystick[1]));
}

void Skywandtester::processingDataError(const TrackingSnapshot& frame) {
    switch (frame.dataError()) {
    case TrackingSnapshot::DataError::timeout:
        reportError(tr("timeout while waiting for tracking data"));
        break;
    case TrackingSnapshot::DataError::neterror:
        reportError(tr("error while receiving tracking data"));
        break;
    case TrackingSnapshot::DataError::parseerror:
        reportError(tr("error while parsing tracking data"));
        break;
    case TrackingSnapshot::DataError::none:
        break; // the newest receive succeeded after all
    }
}

void Skywandtester::on_actionWhat_s_this_triggered() {
    QWhatsThis::enterWhatsThisMode();
}

void Skywandtester::onActionExit() {
    trackReceiver->stop();
    QCoreApplication::quit();
}

// A valid port that differs from the current text is stored as typed, written to the
// configuration file, and reception moves to it. Anything else is ignored without a word.
void Skywandtester::openSettingsPortDlg() {
    SettingPortDlg dialog;
    dialog.setModal(true);
    dialog.lbl_port->setText(QString::fromLatin1(dataPort));
    dialog.show();
    const int result = dialog.exec();

    const std::optional<QByteArray> newPortText =
        portTextToStore(QByteArray(dataPort), dialog.lbl_port->text(), result == QDialog::Accepted);
    if (!newPortText)
        return;
    qstrncpy(dataPort, newPortText->constData(), sizeof(dataPort));
    writeSettingsToConfig();
    RestartDataReceiver();
}

void Skywandtester::on_action_Help_triggered() {
    HelpBrowser::showPage(QStringLiteral("index.html"));
}

void Skywandtester::onInfo() {
    QMessageBox::information(this, QStringLiteral("Skywandtester"),
                             QStringLiteral("Skywand tester tool.\n") + makerNotice(),
                             QMessageBox::Ok, QMessageBox::NoButton);
}

void Skywandtester::openFindDialog() {
    FindDialog dialog(checkFeed, ui.cboSkywand, QString::fromLatin1(dataPort), this);
    dialog.exec();
}

void Skywandtester::openCheckWindow() {
    if (!checkWindow)
        checkWindow = new CheckWindow(checkFeed, this);
    checkWindow->checkDevice(ui.cboSkywand->currentIndex(), ui.cboSkywand->currentText());
}
