// What the port dialog's entry does to the port text, the port dialog itself, and the help
// window on the help pages as the build delivers them beside the executables.
#include "helpbrowser.h"
#include "portentry.h"

#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFormat>

namespace {

const QString pages = QStringLiteral(HELP_PAGES_DIR);

QStringList linksIn(const QTextDocument& document) {
    QStringList links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor())
                links << it.fragment().charFormat().anchorHref();
    return links;
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void portEntry_data();
    void portEntry();
    void everyPageHasATitleAndIsReachable();
    void homeAndClose();
};

void TestDialogs::portEntry_data() {
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("stored"); // "-": ignored
    QTest::newRow("new port") << "6000" << true << QByteArray("6000");
    QTest::newRow("cancelled") << "6000" << false << QByteArray("-");
    QTest::newRow("same text") << "5000" << true << QByteArray("-");
    QTest::newRow("leading zero is a new text") << "05000" << true << QByteArray("05000");
    QTest::newRow("below the range") << "1" << true << QByteArray("-");
    QTest::newRow("above the range") << "65535" << true << QByteArray("-");
    QTest::newRow("letters") << "50a0" << true << QByteArray("-");
    QTest::newRow("NUL inside") << QString::fromLatin1("6000\0", 5) << true << QByteArray("-");
    QTest::newRow("199 characters")
        << QString(195, '0') + "6000" << true << QByteArray(195, '0') + "6000";
    QTest::newRow("200 characters") << QString(196, '0') + "6000" << true << QByteArray("-");
}

void TestDialogs::portEntry() {
    QFETCH(QString, entered);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, stored);
    QCOMPARE(portTextToStore("5000", entered, accepted).value_or("-"), stored);
}

// Every page has a title, links only to pages that exist, and can be reached from the start.
void TestDialogs::everyPageHasATitleAndIsReachable() {
    QSet<QString> reached{QStringLiteral("index.html")};
    QStringList toVisit{QStringLiteral("index.html")};
    while (!toVisit.isEmpty()) {
        const QString page = toVisit.takeFirst();
        HelpBrowser window(pages, page);
        QVERIFY2(!window.windowTitle().trimmed().isEmpty(), qPrintable(page));
        for (const QString& link : linksIn(*window.findChild<QTextBrowser*>()->document())) {
            const QString target = QUrl(link).path();
            QVERIFY2(QUrl(link).scheme().isEmpty() && QFile::exists(pages + '/' + target),
                     qPrintable(page + " links to " + link));
            if (target.endsWith(QLatin1String(".html")) && !reached.contains(target)) {
                reached << target;
                toVisit << target;
            }
        }
    }
    const QStringList all = QDir(pages).entryList({QStringLiteral("*.html")}, QDir::Files);
    QCOMPARE(QSet<QString>(all.begin(), all.end()), reached);
}

// Home goes back to the start page, and Esc closes the window, which deletes itself.
void TestDialogs::homeAndClose() {
    QPointer<HelpBrowser> window = new HelpBrowser(pages, QStringLiteral("index.html"));
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    window->findChild<QTextBrowser*>()->setSource(QUrl(QStringLiteral("port.html")));
    QVERIFY(window->windowTitle() != QStringLiteral("Skywand tester help"));
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->text() == QLatin1String("&Home"))
            QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(window->windowTitle(), QStringLiteral("Skywand tester help"));
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!window);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
