#include "checkwindow.h"

#include "appaccessibility.h"
#include "checkfeed.h"
#include "checkitems.h"

#include "checkmarkstyle.h"
#include "wrappingdelegate.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSaveFile>
#include <QShortcut>
#include <QTreeWidgetItem>

#include <algorithm>
#include <cmath>

namespace {

// The start as the user's clock and locale show it; the report keeps ISO 8601.
QString humanTime(const std::string& iso) {
    const QDateTime when = QDateTime::fromString(QString::fromStdString(iso), Qt::ISODate);
    if (!when.isValid())
        return QString::fromStdString(iso);
    return QLocale().toString(when.toLocalTime(), QLocale::ShortFormat);
}

double luminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

// A number stays on one line with the word or unit after it ("2 presses", "12.5 Hz"): the
// shared item texts use plain spaces, as the monitor prints them, so the joins are made here.
QString numbersKeptWithUnits(QString text) {
    static const QRegularExpression spaceAfterNumber(QStringLiteral("(?<=\\d) (?=[\\p{L}%])"));
    return text.replace(spaceAfterNumber, QStringLiteral("\u00a0"));
}

} // namespace

double CheckWindow::contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Green and red each come as a dark and a light shade, and the one that stands out more on
// the window's background is taken: both hold 4.5 : 1 on light greys and white, and on dark
// greys and black. "checking…" takes the palette's own text colour.
QColor CheckWindow::verdictColour(CheckVerdict verdict, const QPalette& palette) {
    const QColor background = palette.color(QPalette::Window);
    const auto clearer = [&background](const char* dark, const char* light) {
        const QColor d(QString::fromLatin1(dark)), l(QString::fromLatin1(light));
        return contrast(d, background) >= contrast(l, background) ? d : l;
    };
    switch (verdict) {
    case CheckVerdict::pass:
        return clearer("#1a6b1f", "#7fdc86");
    case CheckVerdict::fail:
        return clearer("#b00010", "#ff8a80");
    case CheckVerdict::running:
    case CheckVerdict::stopped:
        break;
    }
    return palette.color(QPalette::WindowText);
}

QSize CheckWindow::defaultSize(const QFont& font) {
    // Room for the longest results on one line and every item of a six-button device, in
    // the window's own font, so that a larger desktop font gives a larger window.
    const QFontMetrics metrics(font);
    return QSize(76 * metrics.averageCharWidth(), 34 * metrics.lineSpacing());
}

CheckWindow::CheckWindow(CheckFeed& feed, QWidget* parent)
    : QWidget(parent, Qt::Window), feed(feed) {
    installAppAccessibility();
    ui.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(defaultSize(font()));
    auto* checkMarks = new CheckMarkStyle;
    checkMarks->setParent(ui.tree_items);
    ui.tree_items->setStyle(checkMarks);
    // Long results wrap in their cell rather than being cut short.
    ui.tree_items->setWordWrap(true);
    // Only the results: the item names keep the width they need.
    ui.tree_items->setItemDelegateForColumn(1, new WrappingDelegate(ui.tree_items));
    ui.tree_items->setTextElideMode(Qt::ElideNone);
    ui.tree_items->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // The view measures its rows once; a result column of another width wraps differently.
    connect(ui.tree_items->header(), &QHeaderView::sectionResized, ui.tree_items,
            &QTreeWidget::doItemsLayout);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
    connect(ui.btn_save, &QPushButton::clicked, this, &CheckWindow::saveReport);
    connect(ui.btn_restart, &QPushButton::clicked, this, &CheckWindow::restart);
    connect(ui.btn_close, &QPushButton::clicked, this, &QWidget::close);
    connect(&refreshTimer, &QTimer::timeout, this, &CheckWindow::refresh);
    refreshTimer.start(refreshMs);
}

void CheckWindow::checkDevice(int index, const QString& device) {
    // A check that a port change stopped starts afresh.
    const std::optional<CheckReport> running = feed.checkReport();
    const bool sameCheck = index >= 0 && index == deviceIndex && feed.checkedDevice() == index &&
                           running && running->verdict != CheckVerdict::stopped;
    deviceIndex = index;
    deviceName = device;
    if (!sameCheck)
        restart();
    show();
    raise();
    activateWindow();
}

void CheckWindow::restart() {
    ui.tree_items->clear();
    ui.btn_save->setEnabled(deviceIndex >= 0);
    ui.btn_restart->setEnabled(deviceIndex >= 0);
    if (deviceIndex < 0) {
        feed.stopCheck();
        ui.lbl_device->setText(tr("No Skywand to check: no tracking data has listed a device "
                                  "yet. Start the controller, then choose Check Skywand again."));
        ui.lbl_verdict->setText(QString());
        ui.lbl_figures->setText(QString());
        return;
    }
    SkywandCheck::Settings settings;
    settings.device = deviceName.toStdString();
    settings.port = feed.dataPort(); // after a port change, the port listened on now
    feed.startCheck(deviceIndex, settings);
    ui.lbl_device->setText(
        tr("Checking %1: press and release every button, push the joystick to its edge in all "
           "eight directions, then let it go.")
            .arg(deviceName));
    refresh();
}

void CheckWindow::refresh() {
    if (const std::optional<CheckReport> report = feed.checkReport())
        showReport(*report);
}

void CheckWindow::showReport(const CheckReport& report) {
    const std::vector<CheckItem> items = checkItems(report);
    QTreeWidget* tree = ui.tree_items;
    const int rows = int(items.size());
    if (tree->topLevelItemCount() != rows) {
        tree->clear();
        for (int i = 0; i < rows; ++i) {
            auto* item = new QTreeWidgetItem(tree);
            item->setFlags(Qt::ItemIsEnabled); // ticked by the check, not by the user
        }
    }
    for (int i = 0; i < rows; ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(i);
        item->setText(0, QString::fromStdString(items[i].name));
        item->setText(1, numbersKeptWithUnits(QString::fromStdString(items[i].text)));
        item->setCheckState(0, items[i].ok ? Qt::Checked : Qt::Unchecked);
    }

    switch (report.verdict) {
    case CheckVerdict::pass:
        ui.lbl_verdict->setText(tr("PASS"));
        break;
    case CheckVerdict::fail:
        ui.lbl_verdict->setText(tr("FAIL"));
        break;
    case CheckVerdict::stopped:
        ui.lbl_verdict->setText(tr("stopped: %1").arg(QString::fromStdString(report.stopReason)));
        break;
    case CheckVerdict::running:
        ui.lbl_verdict->setText(tr("checking…"));
        break;
    }
    QPalette verdictPalette = ui.lbl_verdict->palette();
    verdictPalette.setColor(QPalette::WindowText, verdictColour(report.verdict, palette()));
    ui.lbl_verdict->setPalette(verdictPalette);

    QString figures = tr("%1 on port %2, started %3, %4 s, %5 frames a second")
                          .arg(QString::fromStdString(report.device))
                          .arg(report.port)
                          .arg(humanTime(report.started))
                          .arg(report.durationS, 0, 'f', 1)
                          .arg(report.tracking.rateHz, 0, 'f', 1);
    if (report.verdict == CheckVerdict::fail)
        figures += tr("\nOpen: %1").arg(QString::fromStdString(joinedNames(report.openItems)));
    else if (report.verdict == CheckVerdict::stopped)
        figures += tr("\nRestart checks the device again on the new port.");
    ui.lbl_figures->setText(numbersKeptWithUnits(figures));
}

QString CheckWindow::defaultReportName(const QString& device, const QDateTime& when) {
    return QStringLiteral("skywand-check-%1-%2.json")
        .arg(device, when.toString(QStringLiteral("yyyy-MM-dd-HHmm")));
}

// A report goes into a lab log with its verdict, so a check still running is ended first,
// once the user has chosen where to save it.
void CheckWindow::saveReport() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save report"),
        QDir::home().filePath(defaultReportName(deviceName, QDateTime::currentDateTime())),
        tr("Check reports (*.json)"));
    if (path.isEmpty())
        return;
    feed.finishCheck();
    refresh();
    QString error;
    if (!saveReportTo(path, &error))
        QMessageBox::warning(this, tr("Save report"),
                             tr("The report could not be saved to %1: %2").arg(path, error));
}

bool CheckWindow::saveReportTo(const QString& path, QString* error) {
    const std::optional<CheckReport> report = feed.checkReport();
    if (!report) {
        if (error)
            *error = tr("no check has run");
        return false;
    }
    const std::string json = reportJson(*report);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) ||
        file.write(json.data(), qint64(json.size())) != qint64(json.size()) || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

// The check ends with the window: nothing is left feeding a checklist nobody sees.
void CheckWindow::closeEvent(QCloseEvent* event) {
    refreshTimer.stop();
    feed.stopCheck();
    QWidget::closeEvent(event);
}
