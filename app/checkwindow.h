// The guided check of the selected Skywand, in a window of its own beside the main window: the
// checklist ticks off live, the verdict stands in large type, the figures below it, and the
// report can be saved as JSON for the lab log.

#ifndef CHECKWINDOW_H
#define CHECKWINDOW_H

#include "checkreport.h"
#include "ui_checkwindow.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QPalette>
#include <QSize>
#include <QTimer>
#include <QWidget>

class CheckFeed;

class CheckWindow : public QWidget {
    Q_OBJECT

public:
    // How often the window shows the check's state; the check itself sees every frame.
    static constexpr int refreshMs = 50;

    // A window of its own (not embedded), deleted when closed.
    CheckWindow(CheckFeed& feed, QWidget* parent);

    // Checks device `index` (0 = S1, named `device` in the report) on the feed's data port,
    // unless that device's check is already running here (not stopped); -1 when the selector
    // lists no device. Shows the window.
    void checkDevice(int index, const QString& device);
    // Writes the report as it stands; false with the reason in `error` when it could not.
    bool saveReportTo(const QString& path, QString* error = nullptr);
    // "skywand-check-S2-2026-12-06-2015.json"
    static QString defaultReportName(const QString& device, const QDateTime& when);

    // The verdict's colour on the palette's window background: at least 4.5 : 1 on light and
    // dark palettes alike (WCAG AA).
    static QColor verdictColour(CheckVerdict verdict, const QPalette& palette);
    // The contrast ratio of two colours, 1 to 21.
    static double contrast(const QColor& a, const QColor& b);
    // The size a new window takes in the given font.
    static QSize defaultSize(const QFont& font);

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void refresh();
    void saveReport();
    void restart();

private:
    void showReport(const CheckReport& report);

    Ui_CheckWindowClass ui;
    CheckFeed& feed;
    QTimer refreshTimer;
    int deviceIndex = -1;
    QString deviceName;
};

#endif // CHECKWINDOW_H
