// A small window that shows the tester's HTML help pages, with Home, Back and Close buttons.
//
// Help windows are top-level windows that delete themselves when closed; showPage opens a new one
// each time it is called, on the help folder "doc" beside the executable.

#ifndef HELPBROWSER_H
#define HELPBROWSER_H

#include <QString>
#include <QWidget>

class QPushButton;
class QTextBrowser;

class HelpBrowser : public QWidget {
    Q_OBJECT

public:
    // path: the folder that page names are resolved against; page: the first page, relative to
    // path. The window is built and the page loaded, but the window is not shown.
    HelpBrowser(const QString& path, const QString& page, QWidget* parent = nullptr);
    ~HelpBrowser() override;

    // Opens a new 500 x 400 help window on page (relative to the help folder) and returns at once.
    // Nothing keeps a pointer to the window; it frees itself when the user closes it.
    static void showPage(const QString& page);

private slots:
    void updateWindowTitle();

private:
    QTextBrowser* browser;
    QPushButton* btn_home;
    QPushButton* btn_back;
    QPushButton* btn_close;
};

#endif // HELPBROWSER_H
