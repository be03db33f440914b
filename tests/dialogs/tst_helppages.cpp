// The help pages as the build delivers them beside the executables: the help window finds them,
// every page has a title, no link is broken and no page is out of reach from the start page.

#include "helpbrowser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

namespace {

const QString builtHelpFolder = QStringLiteral(HELP_PAGES_DIR);
const QString sourceHelpFolder = QStringLiteral(HELP_SOURCE_DIR);

QStringList htmlPages(const QString& folder) {
    return QDir(folder).entryList({"*.html"}, QDir::Files, QDir::Name);
}

QStringList linksIn(const QTextDocument& document) {
    QStringList links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor() && !format.anchorHref().isEmpty() &&
                !links.contains(format.anchorHref()))
                links << format.anchorHref();
        }
    }
    return links;
}

QString pageTitle(const QString& page) {
    HelpBrowser window(builtHelpFolder, page);
    return window.windowTitle();
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestHelpPages : public QObject {
    Q_OBJECT

private slots:
    void buildDeliversEveryPageUnchanged();
    void helpWindowOpensOnTheStartPage();
    void everyPageHasATitle();
    void linksLeadToPagesThatExist();
    void everyPageIsReachableFromTheStartPage();
};

void TestHelpPages::buildDeliversEveryPageUnchanged() {
    const QStringList sources =
        QDir(sourceHelpFolder).entryList({"*.html", "*.css", "*.png", "*.md"}, QDir::Files);
    QVERIFY(sources.contains("index.html"));
    for (const QString& name : sources)
        QCOMPARE(contentOf(builtHelpFolder + "/" + name), contentOf(sourceHelpFolder + "/" + name));
}

// This test runs from the executables' folder, so it finds the help where the tester does.
void TestHelpPages::helpWindowOpensOnTheStartPage() {
    HelpBrowser::showPage("index.html");
    HelpBrowser* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* help = qobject_cast<HelpBrowser*>(widget); help && help->isVisible())
            window = help;
    }
    QVERIFY(window != nullptr);
    QCOMPARE(window->windowTitle(), QStringLiteral("Skywand tester help"));
    QVERIFY(!window->findChild<QTextBrowser*>()->document()->find("Keyboard shortcuts").isNull());
    window->close();
}

void TestHelpPages::everyPageHasATitle() {
    const QStringList pages = htmlPages(builtHelpFolder);
    QVERIFY(pages.size() > 1);
    for (const QString& page : pages)
        QVERIFY2(!pageTitle(page).trimmed().isEmpty(), qPrintable(page + " has no title"));
}

void TestHelpPages::linksLeadToPagesThatExist() {
    for (const QString& page : htmlPages(builtHelpFolder)) {
        HelpBrowser window(builtHelpFolder, page);
        const QStringList links = linksIn(*window.findChild<QTextBrowser*>()->document());
        for (const QString& link : links) {
            const QUrl url(link);
            // The help window cannot open web pages, so the pages must not link to any.
            QVERIFY2(url.scheme().isEmpty(), qPrintable(page + " links outside: " + link));
            const QString target = url.path();
            QVERIFY2(target.isEmpty() || QFileInfo::exists(builtHelpFolder + "/" + target),
                     qPrintable(page + " has a broken link to " + link));
        }
    }
}

void TestHelpPages::everyPageIsReachableFromTheStartPage() {
    QSet<QString> reached{"index.html"};
    QStringList toVisit{"index.html"};
    while (!toVisit.isEmpty()) {
        const QString page = toVisit.takeFirst();
        HelpBrowser window(builtHelpFolder, page);
        for (const QString& link : linksIn(*window.findChild<QTextBrowser*>()->document())) {
            const QString target = QUrl(link).path();
            if (target.endsWith(".html") && !reached.contains(target)) {
                reached << target;
                toVisit << target;
            }
        }
    }
    for (const QString& page : htmlPages(builtHelpFolder))
        QVERIFY2(reached.contains(page), qPrintable(page + " is not linked from the help"));
}

QTEST_MAIN(TestHelpPages)
#include "tst_helppages.moc"
