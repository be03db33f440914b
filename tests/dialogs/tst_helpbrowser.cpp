// The help window: titles, links, Home and Back, closing, and opening windows on the help folder
// beside the executable. Navigation runs on small pages written into a temporary folder.

#include "helpbrowser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

namespace {

bool writePage(const QString& folder, const QString& name, const QString& title,
               const QString& body) {
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QString html =
        QStringLiteral("<html><head><title>%1</title></head><body>%2</body></html>")
            .arg(title, body);
    return file.write(html.toUtf8()) > 0;
}

// The three linked pages used by the navigation tests.
bool writeTestPages(const QString& folder) {
    return writePage(folder, "index.html", "Start page",
                     "<p>Welcome. Read <a href=\"second.html\">the second page</a>.</p>") &&
           writePage(folder, "second.html", "Second page",
                     "<p>Go on to <a href=\"third.html\">the third page</a>.</p>") &&
           writePage(folder, "third.html", "Third page", "<p>The end.</p>");
}

QList<HelpBrowser*> openHelpWindows() {
    QList<HelpBrowser*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* help = qobject_cast<HelpBrowser*>(widget); help && help->isVisible())
            windows << help;
    }
    return windows;
}

QPushButton* buttonLabelled(HelpBrowser& window, const QString& text) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// Clicks the link whose text is `linkText`, as a user would with the mouse.
bool clickLink(HelpBrowser& window, const QString& linkText) {
    auto* browser = window.findChild<QTextBrowser*>();
    if (!browser)
        return false;
    QTextCursor cursor = browser->document()->find(linkText);
    if (cursor.isNull() || !cursor.charFormat().isAnchor())
        return false;
    cursor.setPosition(cursor.selectionStart() + 1);
    const QPoint linkPoint = browser->cursorRect(cursor).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, linkPoint);
    return true;
}

// showPage opens windows on the folder "doc" beside this test's own executable.
QString helpFolderOfThisProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/doc");
}

void closeAllHelpWindows() {
    for (HelpBrowser* window : openHelpWindows())
        window->close();
    QTest::qWait(0); // lets the closed windows delete themselves
}

} // namespace

class TestHelpBrowser : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void titleFollowsPageAndFollowedLinks();
    void backAndHome();
    void closingDestroysTheWindow_data();
    void closingDestroysTheWindow();
    void showPageOpensIndependentWindows();
    void showPageWithoutHelpFolderStillOpensAWindow();

private:
    QTemporaryDir pages;
};

void TestHelpBrowser::init() {
    QVERIFY(pages.isValid());
    QVERIFY(writeTestPages(pages.path()));
}

void TestHelpBrowser::cleanup() {
    closeAllHelpWindows();
    QDir(helpFolderOfThisProgram()).removeRecursively();
}

void TestHelpBrowser::titleFollowsPageAndFollowedLinks() {
    auto* window = new HelpBrowser(pages.path(), "index.html");
    window->resize(500, 400);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->windowTitle(), QStringLiteral("Start page"));

    QVERIFY(clickLink(*window, "the second page"));
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("Second page"));
    QVERIFY(clickLink(*window, "the third page"));
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("Third page"));
}

void TestHelpBrowser::backAndHome() {
    auto* window = new HelpBrowser(pages.path(), "index.html");
    window->resize(500, 400);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QPushButton* home = buttonLabelled(*window, "&Home");
    QPushButton* back = buttonLabelled(*window, "&Back");
    QVERIFY(home && back);

    QVERIFY(clickLink(*window, "the second page"));
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("Second page"));
    QVERIFY(clickLink(*window, "the third page"));
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("Third page"));

    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(window->windowTitle(), QStringLiteral("Second page"));
    QVERIFY(!window->findChild<QTextBrowser*>()->document()->find("the third page").isNull());

    QTest::mouseClick(home, Qt::LeftButton);
    QCOMPARE(window->windowTitle(), QStringLiteral("Start page"));
    QVERIFY(!window->findChild<QTextBrowser*>()->document()->find("Welcome").isNull());
}

void TestHelpBrowser::closingDestroysTheWindow_data() {
    QTest::addColumn<bool>("withEsc");
    QTest::newRow("Esc") << true;
    QTest::newRow("Close button") << false;
}

void TestHelpBrowser::closingDestroysTheWindow() {
    QFETCH(bool, withEsc);

    QPointer<HelpBrowser> window = new HelpBrowser(pages.path(), "index.html");
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    if (withEsc) {
        QTest::keyClick(window, Qt::Key_Escape);
    } else {
        QPushButton* close = buttonLabelled(*window, "Close");
        QVERIFY(close);
        QTest::mouseClick(close, Qt::LeftButton);
    }
    // A button's shortcut clicks it with a short visible press, so the window goes a moment later.
    QTRY_VERIFY(window.isNull());
}

void TestHelpBrowser::showPageOpensIndependentWindows() {
    QVERIFY(QDir().mkpath(helpFolderOfThisProgram()));
    QVERIFY(writeTestPages(helpFolderOfThisProgram()));

    HelpBrowser::showPage("index.html");
    HelpBrowser::showPage("second.html");

    const QList<HelpBrowser*> windows = openHelpWindows();
    QCOMPARE(windows.size(), 2);
    QStringList titles;
    for (HelpBrowser* window : windows) {
        QVERIFY(window->isWindow());
        QVERIFY(window->parentWidget() == nullptr);
        QVERIFY(!window->isModal());
        QCOMPARE(window->size(), QSize(500, 400));
        titles << window->windowTitle();
    }
    titles.sort();
    QCOMPARE(titles, QStringList({"Second page", "Start page"}));

    // Navigating or closing one window leaves the other as it was.
    HelpBrowser* first = windows.at(0);
    QPointer<HelpBrowser> second = windows.at(1);
    const QString secondTitle = second->windowTitle();
    QTest::mouseClick(buttonLabelled(*first, "&Home"), Qt::LeftButton);
    first->close();
    QTest::qWait(0);
    QVERIFY(!second.isNull());
    QVERIFY(second->isVisible());
    QCOMPARE(second->windowTitle(), secondTitle);
    QCOMPARE(openHelpWindows().size(), 1);
}

void TestHelpBrowser::showPageWithoutHelpFolderStillOpensAWindow() {
    QVERIFY(QDir(helpFolderOfThisProgram()).removeRecursively());
    QVERIFY(!QFileInfo::exists(helpFolderOfThisProgram()));

    HelpBrowser::showPage("index.html");

    const QList<HelpBrowser*> windows = openHelpWindows();
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows.at(0)->size(), QSize(500, 400));
    QVERIFY(windows.at(0)->windowTitle().isEmpty());
    QVERIFY(buttonLabelled(*windows.at(0), "Close") != nullptr);
}

QTEST_MAIN(TestHelpBrowser)
#include "tst_helpbrowser.moc"
