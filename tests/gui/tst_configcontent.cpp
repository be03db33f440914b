// Configuration files that no tester wrote: binary content, 10 kB of text, non-ASCII bytes,
// other encodings, a folder in the file's place. The window comes up with the right message
// and port, and what it writes back at exit is the port text it used.

#include "Ombrix.h"
#include "frames.h"
#include "framesender.h"
#include "modalcloser.h"
#include "skywandtesterprobe.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTest>

#include <memory>

using Probe = SkywandtesterProbe;

namespace {

enum Reaction { clientOnPort, wrongPortBox, illegalPortStatus };

// "PORT" in a table entry stands for the free port of the test run.
QByteArray withPort(QByteArray text, quint16 port) {
    return text.replace("PORT", QByteArray::number(port));
}

} // namespace

Q_DECLARE_METATYPE(Reaction)

class TestConfigContent : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void oddContent_data();
    void oddContent();
    void folderInPlaceOfTheFile();
};

void TestConfigContent::cleanup() {
    Probe::removeConfig();
    QDir().rmdir(Probe::configPath());
}

void TestConfigContent::oddContent_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("portText"); // what the tester holds and writes back
    QTest::addColumn<Reaction>("reaction");

    // Bytes that are not UTF-8 become "?"; control characters stay.
    QTest::newRow("binary") << QByteArray("\x01\xff\xfe\x80\x7f", 5) << QByteArray("\x01???\x7f")
                            << wrongPortBox;
    QTest::newRow("binary after the port")
        << QByteArray("PORT\x02\xff\xc3") << QByteArray("PORT\x02??") << clientOnPort;
    // A text of 10 kB is cut to the 199 characters the port text holds.
    QTest::newRow("10 kB of blanks after the port")
        << "PORT" + QByteArray(10240, ' ') << "PORT" + QByteArray(199 - 5, ' ') << clientOnPort;
    QTest::newRow("10 kB of digits")
        << QByteArray(10240, '4') << QByteArray(199, '4') << wrongPortBox;
    QByteArray randomBinary(10240, '\0');
    for (int i = 0; i < randomBinary.size(); ++i)
        randomBinary[i] = char(0x80 | ((i * 37) & 0x3f)); // continuation bytes alone: never UTF-8
    QTest::newRow("10 kB of binary") << randomBinary << QByteArray(199, '?') << wrongPortBox;
    // The port text holds Latin-1: characters of Latin-1 survive the round trip, others become
    // "?".
    QTest::newRow("Latin-1 letter after the port")
        << QByteArray("PORT\xc3\xa9") << QByteArray("PORT\xe9") << clientOnPort;
    QTest::newRow("euro sign after the port")
        << QByteArray("PORT\xe2\x82\xac") << QByteArray("PORT?") << clientOnPort;
    QTest::newRow("300 two-byte letters")
        << QByteArray(300, 'x').replace("x", "\xc3\xa9") << QByteArray(199, '\xe9') << wrongPortBox;
    // Other editors' habits.
    QTest::newRow("byte order mark")
        << QByteArray("\xef\xbb\xbfPORT") << QByteArray("PORT") << clientOnPort;
    // Read in text mode, which drops the CR of a CR LF line end.
    QTest::newRow("CR LF line end")
        << QByteArray("PORT\r\n") << QByteArray("PORT\n") << clientOnPort;
    QTest::newRow("UTF-16 with byte order mark") << QByteArray("\xff\xfe"
                                                               "5\0"
                                                               "0\0"
                                                               "0\0"
                                                               "0\0",
                                                               10)
                                                 << QByteArray("??5") << wrongPortBox;
    QTest::newRow("NUL first") << QByteArray("\0PORT", 5) << QByteArray() << wrongPortBox;
    QTest::newRow("number out of range in binary")
        << QByteArray("99999\xff", 6) << QByteArray("99999?") << illegalPortStatus;
}

void TestConfigContent::oddContent() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, portText);
    QFETCH(Reaction, reaction);

    const quint16 port = freeUdpPort();
    content = withPort(content, port);
    portText = withPort(portText, port);
    Probe::writeConfig(content);
    FrameSender sender(port);
    sender.repeat(newerFrame({TestDevice{}}));

    ModalCloser closer;
    auto window = std::make_unique<Skywandtester>();
    QCOMPARE(Probe::portText(*window), portText);
    const QString status = childOf<QLabel>(*window, "statusLabel")->text();
    switch (reaction) {
    case clientOnPort:
        QVERIFY(closer.texts.isEmpty());
        QVERIFY(Probe::client(*window));
        QCOMPARE(Probe::client(*window)->get_data_port(), port);
        QVERIFY(Probe::receiver(*window)->isRunning());
        // The status line shows the text as it is (as Latin-1).
        QCOMPARE(status, statusLine(1, portText));
        break;
    case wrongPortBox:
        QCOMPARE(closer.texts, QStringList{QStringLiteral("Wrong data port")});
        QVERIFY(!Probe::client(*window));
        QCOMPARE(status, statusLine(0, portText));
        break;
    case illegalPortStatus:
        QVERIFY(closer.texts.isEmpty());
        QVERIFY(!Probe::client(*window));
        QCOMPARE(status, QStringLiteral("Illegal data port"));
        break;
    }
    QTest::qWait(50); // the event loop runs with the window up
    window.reset();

    // Written back as UTF-8: exactly the port text in use, no more than it holds.
    QCOMPARE(Probe::readConfig(), QString::fromLatin1(portText).toUtf8());
}

// A folder where the file should be cannot be read (the port text is empty: "Wrong data
// port") nor replaced at exit; the tester says so once and leaves the folder alone.
void TestConfigContent::folderInPlaceOfTheFile() {
    QVERIFY(QDir().mkdir(Probe::configPath()));
    ModalCloser closer;
    auto window = std::make_unique<Skywandtester>();
    QCOMPARE(closer.texts, QStringList{QStringLiteral("Wrong data port")});
    QCOMPARE(Probe::portText(*window), QByteArray());
    QVERIFY(!Probe::client(*window));
    window.reset();
    QVERIFY(QFileInfo(Probe::configPath()).isDir());
}

QTEST_MAIN(TestConfigContent)
#include "tst_configcontent.moc"
