#include "skywandtesterprobe.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
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
    QFile file(configPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the test configuration");
}

QByteArray SkywandtesterProbe::readConfig() {
    QFile file(configPath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

void SkywandtesterProbe::removeConfig() {
    QFile::remove(configPath());
}

QString statusLine(int deviceNumber, const QByteArray& portText) {
    return QStringLiteral(" Version V01 - Skywand ID: S") + QString::number(deviceNumber) +
           QStringLiteral(" - Port: ") + QString::fromLatin1(portText) + QStringLiteral(" ");
}

int runEventLoop(QObject* context, int afterMs, int guardMs, const std::function<void()>& action) {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(guardMs);
    QTimer::singleShot(afterMs, context, action);
    const int exitCode = QApplication::exec();
    guard.stop();
    return exitCode;
}
