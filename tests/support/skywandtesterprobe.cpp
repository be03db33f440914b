#include "skywandtesterprobe.h"

#include <QApplication>
#include <QBackingStore>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

void SkywandtesterProbe::changePort(Skywandtester& w, const QByteArray& text) {
    qstrncpy(w.dataPort, text.constData(), sizeof(w.dataPort));
    w.writeSettingsToConfig();
    w.RestartDataReceiver();
}

QString SkywandtesterProbe::configPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/skywandtester.config");
}

void SkywandtesterProbe::writeConfig(const QByteArray& content) {
    QFile::remove(configPath());
    QFile file(configPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the test configuration");
}

QByteArray SkywandtesterProbe::readConfig() {
    QFile file(configPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString statusLine(int deviceNumber, const QByteArray& portText) {
    return QStringLiteral(" Version V01 - Skywand ID: S%1 - Port: ").arg(deviceNumber) +
           QString::fromLatin1(portText) + QStringLiteral(" ");
}

QString statusText(const Skywandtester& w) {
    return w.statusBar()->findChild<QLabel*>(QStringLiteral("statusLabel"))->text();
}

int runEventLoop(QObject* context, int afterMs, int guardMs, const std::function<void()>& action) {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(guardMs);
    QTimer::singleShot(afterMs, context, action);
    return QApplication::exec();
}

QImage onScreen(QWidget& window) {
    const auto* store = static_cast<const QImage*>(window.backingStore()->paintDevice());
    return store->copy(window.rect()).convertToFormat(QImage::Format_RGB32);
}

QImage fullRepaint(QWidget& window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool settleUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
