#include "windowfixture.h"

#include "net.h"

#include <QDir>
#include <QFile>
#include <QTest>

QString WindowFixture::configPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/skywandtester.config");
}

void WindowFixture::writeConfig(const QByteArray& content) {
    QFile::remove(configPath());
    QFile file(configPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the test configuration");
}

QByteArray WindowFixture::readConfig() {
    QFile file(configPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString WindowFixture::statusLine(int deviceNumber, const QByteArray& portText) {
    return QStringLiteral(" Version V01 - Skywand ID: S%1 - Port: ").arg(deviceNumber) +
           QString::fromLatin1(portText) + QStringLiteral(" ");
}

void WindowFixture::init() {
    port = freeUdpPort();
    writeConfig(QByteArray::number(port));
    sender = std::make_unique<FrameSender>(port);
}

void WindowFixture::cleanup() {
    window.reset();
    sender.reset();
    QFile::remove(configPath());
    QDir().rmdir(configPath());
}

void WindowFixture::openWindow(const QByteArray& frame, bool thenStop) {
    if (!frame.isEmpty())
        sender->cycle({frame}, 10);
    window = std::make_unique<Skywandtester>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qFatal("the window never showed");
    if (thenStop)
        sender->stop();
}

QLabel* WindowFixture::label(const char* name) const {
    return window->findChild<QLabel*>(QLatin1String(name));
}
