#include "windowfixture.h"

#include "net.h"
#include "skywandtesterprobe.h"

#include <QDir>
#include <QFile>
#include <QTest>

void WindowFixture::init() {
    port = freeUdpPort();
    SkywandtesterProbe::writeConfig(QByteArray::number(port));
    sender = std::make_unique<FrameSender>(port);
}

void WindowFixture::cleanup() {
    window.reset();
    sender.reset();
    QFile::remove(SkywandtesterProbe::configPath());
    QDir().rmdir(SkywandtesterProbe::configPath());
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
