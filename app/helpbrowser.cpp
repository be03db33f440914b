#include "helpbrowser.h"

#include "appaccessibility.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

HelpBrowser::HelpBrowser(const QString& path, const QString& page, QWidget* parent)
    : QWidget(parent) {
    installAppAccessibility();
    setAttribute(Qt::WA_DeleteOnClose);

    // Created without a parent: installing the layout below makes them children of this window.
    browser = new QTextBrowser;
    btn_home = new QPushButton(tr("&Home"));
    btn_back = new QPushButton(tr("&Back"));
    btn_close = new QPushButton(tr("Close"));
    btn_close->setShortcut(QKeySequence(tr("Esc")));

    auto* buttonLayout = new QHBoxLayout;
    buttonLayout->addWidget(btn_home);
    buttonLayout->addWidget(btn_back);
    buttonLayout->addStretch();
    buttonLayout->addWidget(btn_close);

    auto* mainLayout = new QVBoxLayout;
    mainLayout->addLayout(buttonLayout);
    mainLayout->addWidget(browser);
    setLayout(mainLayout);

    connect(btn_home, &QPushButton::clicked, browser, &QTextBrowser::home);
    connect(btn_back, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(btn_close, &QPushButton::clicked, this, &QWidget::close);
    connect(browser, &QTextBrowser::sourceChanged, this, &HelpBrowser::updateWindowTitle);

    // The page name is relative, so the browser finds it through the search path; links between
    // the pages are relative as well. Connected first, so the title follows the first page too.
    browser->setSearchPaths(QStringList(path));
    browser->setSource(QUrl(page));
}

// The buttons, the browser and the layouts are children of the window and go with it.
HelpBrowser::~HelpBrowser() = default;

void HelpBrowser::showPage(const QString& page) {
    const QString helpFolder = QCoreApplication::applicationDirPath() + QLatin1String("/doc");
    auto* window = new HelpBrowser(helpFolder, page, nullptr);
    window->resize(500, 400);
    window->show();
}

void HelpBrowser::updateWindowTitle() {
    setWindowTitle(
        tr("%1").arg(browser->document()->metaInformation(QTextDocument::DocumentTitle)));
}
