// What the port dialog's entry does to the port text, the port dialog itself, and the help
// window on the help pages as the build delivers them beside the executables.
#include "checkwindow.h"
#include "helpbrowser.h"
#include "portentry.h"
#include "settingportdlg.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFormat>
#include <QTextTable>

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
    void pagesReadOnADarkDesktop();
    void helpAndPortDialogAsAScreenReaderReadsThem();
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

// The pages set their own white background, so every colour on them must be their own too:
// text, links and list bullets at 4.5 : 1 or more whatever the desktop's palette says.
void TestDialogs::pagesReadOnADarkDesktop() {
    const QPalette original = QApplication::palette();
    QPalette dark(QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Link, QColor(0x8a, 0xb4, 0xf8));
    QApplication::setPalette(dark);
    for (const QString& page : QDir(pages).entryList({QStringLiteral("*.html")}, QDir::Files)) {
        HelpBrowser window(pages, page);
        const QTextDocument& document = *window.findChild<QTextBrowser*>()->document();
        const QColor background = document.rootFrame()->frameFormat().background().color();
        QCOMPARE(background, QColor(Qt::white));
        const auto check = [&](const QTextCharFormat& format, const QString& what) {
            const QColor ink = format.foreground().style() == Qt::NoBrush
                                   ? dark.color(QPalette::Text)
                                   : format.foreground().color();
            QVERIFY2(CheckWindow::contrast(ink, background) >= 4.5, qPrintable(page + ": " + what));
        };
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            // Cells with a background of their own show the panel's specified button colours.
            const QTextCursor at(block);
            if (at.currentTable() &&
                at.currentTable()->cellAt(at).format().background().style() != Qt::NoBrush)
                continue;
            if (block.textList())
                check(block.charFormat(), "bullet of " + block.text());
            for (auto it = block.begin(); !it.atEnd(); ++it)
                if (!it.fragment().text().trimmed().isEmpty())
                    check(it.fragment().charFormat(), it.fragment().text());
        }
    }
    QApplication::setPalette(original);
}

// Help text without table markers, the help window a window, the port field named.
void TestDialogs::helpAndPortDialogAsAScreenReaderReadsThem() {
    HelpBrowser window(pages, QStringLiteral("index.html")); // has a table
    QCOMPARE(QAccessible::queryAccessibleInterface(&window)->role(), QAccessible::Window);
    QAccessibleTextInterface* text =
        QAccessible::queryAccessibleInterface(window.findChild<QTextBrowser*>())->textInterface();
    const QString all = text->text(0, text->characterCount());
    QVERIFY(all.contains(QLatin1String("Status line and error messages")));
    for (QChar marker : {QChar(0xfdd0), QChar(0xfdd1), QChar(QChar::ParagraphSeparator)})
        QVERIFY(!all.contains(marker));

    SettingPortDlg dialog;
    QCOMPARE(QAccessible::queryAccessibleInterface(dialog.lbl_port)->text(QAccessible::Name),
             QStringLiteral("Data port"));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
