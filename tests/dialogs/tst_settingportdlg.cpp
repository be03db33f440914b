// The port settings dialog: its form as users and what's-this see it, and how it closes when
// driven like a user would, through the real modal dialog.

#include "portentry.h"
#include "settingportdlg.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

enum class Closing { OkButton, CancelButton, ReturnKey, EscapeKey, WindowClose };

} // namespace

Q_DECLARE_METATYPE(Closing)

namespace {

// Runs the dialog modally like the main window does, with the current port text in the input;
// once it is up, replaces the input by `typed` with key clicks and closes the dialog the given way.
// Returns exec()'s result; -1 when the dialog did not close by itself, -2 when it did not come up
// as the active modal window.
int runDialog(SettingPortDlg& dialog, const QString& current, const QString& typed,
              Closing closing) {
    dialog.setModal(true);
    dialog.lbl_port->setText(current);

    bool shownModally = false;
    QTimer::singleShot(0, &dialog, [&] {
        shownModally = QApplication::activeModalWidget() == &dialog && dialog.isVisible();
        dialog.lbl_port->selectAll();
        QTest::keyClick(dialog.lbl_port, Qt::Key_Backspace);
        QTest::keyClicks(dialog.lbl_port, typed);
        switch (closing) {
        case Closing::OkButton:
            QTest::mouseClick(dialog.btn_ok, Qt::LeftButton);
            break;
        case Closing::CancelButton:
            QTest::mouseClick(dialog.btn_cancel, Qt::LeftButton);
            break;
        case Closing::ReturnKey:
            QTest::keyClick(dialog.lbl_port, Qt::Key_Return);
            break;
        case Closing::EscapeKey:
            QTest::keyClick(dialog.lbl_port, Qt::Key_Escape);
            break;
        case Closing::WindowClose:
            dialog.close();
            break;
        }
    });
    // A dialog that ignores its closing action must not hang the test run.
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });

    const int result = dialog.exec();
    if (!shownModally)
        qWarning("the dialog was not the active modal window while it ran");
    return shownModally ? result : -2;
}

} // namespace

class TestSettingPortDlg : public QObject {
    Q_OBJECT

private slots:
    void formHasNamedWidgets();
    void formTexts_data();
    void formTexts();
    void entryThroughTheDialog_data();
    void entryThroughTheDialog();
};

// What's-this and the code that runs the dialog rely on these object names; OK comes before
// Cancel, at the right of the button row.
void TestSettingPortDlg::formHasNamedWidgets() {
    SettingPortDlg dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("SettingPortDlgClass"));
    QCOMPARE(dialog.size(), QSize(329, 101));
    QCOMPARE(dialog.findChild<QLabel*>("label"), dialog.label);
    QCOMPARE(dialog.findChild<QLineEdit*>("lbl_port"), dialog.lbl_port);
    QCOMPARE(dialog.findChild<QFrame*>("line"), dialog.line);
    QCOMPARE(dialog.findChild<QPushButton*>("btn_ok"), dialog.btn_ok);
    QCOMPARE(dialog.findChild<QPushButton*>("btn_cancel"), dialog.btn_cancel);
    QCOMPARE(dialog.horizontalLayout->indexOf(dialog.lbl_port), 2);
    QCOMPARE(dialog.horizontalLayout_2->indexOf(dialog.btn_ok), 1);
    QCOMPARE(dialog.horizontalLayout_2->indexOf(dialog.btn_cancel), 2);
    QVERIFY(!dialog.windowIcon().isNull());
    QVERIFY(!dialog.windowIcon().pixmap(16, 16).isNull());
}

void TestSettingPortDlg::formTexts_data() {
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("whatsThis");

    QTest::newRow("dialog") << "SettingPortDlgClass"
                            << "Port Settings"
                            << ""
                            << "Settings dialog";
    QTest::newRow("caption") << "label"
                             << "Port:"
                             << ""
                             << "";
    QTest::newRow("input") << "lbl_port"
                           << ""
                           << "Input port"
                           << "Input port";
    QTest::newRow("OK") << "btn_ok"
                        << "OK"
                        << "Accept changes and close dialog"
                        << "Accept changes and close dialog";
    QTest::newRow("Cancel") << "btn_cancel"
                            << "Cancel"
                            << "Discard changes and close dialog"
                            << "Discard changes and close dialog";
}

void TestSettingPortDlg::formTexts() {
    QFETCH(QString, objectName);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, whatsThis);

    SettingPortDlg dialog;
    QWidget* widget =
        objectName == dialog.objectName() ? &dialog : dialog.findChild<QWidget*>(objectName);
    QVERIFY(widget != nullptr);
    QString shownText;
    if (widget == &dialog)
        shownText = dialog.windowTitle();
    else if (auto* label = qobject_cast<QLabel*>(widget))
        shownText = label->text();
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        shownText = button->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        shownText = edit->text();
    QCOMPARE(shownText, text);
    QCOMPARE(widget->toolTip(), toolTip);
    QCOMPARE(widget->whatsThis(), whatsThis);
}

// The whole path of a port change up to the decision: current text in the input, the user edits
// it and closes the dialog, and only an accepted, valid and different entry becomes the new text.
void TestSettingPortDlg::entryThroughTheDialog_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Closing>("closing");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("stored");

    const QByteArray nothing;
    QTest::newRow("new port with OK") << "5001" << Closing::OkButton << true << QByteArray("5001");
    QTest::newRow("new port with Return in the input")
        << "5001" << Closing::ReturnKey << true << QByteArray("5001");
    QTest::newRow("leading zero") << "05000" << Closing::OkButton << true << QByteArray("05000");
    QTest::newRow("edited, then Cancel") << "5001" << Closing::CancelButton << false << nothing;
    QTest::newRow("edited, then Esc") << "5001" << Closing::EscapeKey << false << nothing;
    QTest::newRow("edited, then window closed")
        << "5001" << Closing::WindowClose << false << nothing;
    QTest::newRow("unchanged") << "5000" << Closing::OkButton << true << nothing;
    QTest::newRow("out of range") << "65535" << Closing::OkButton << true << nothing;
    QTest::newRow("letters") << "port" << Closing::OkButton << true << nothing;
    QTest::newRow("emptied") << "" << Closing::OkButton << true << nothing;
    QTest::newRow("too long for the port text")
        << QString(250, QLatin1Char('0')) + QStringLiteral("5000") << Closing::OkButton << true
        << nothing;
}

void TestSettingPortDlg::entryThroughTheDialog() {
    QFETCH(QString, typed);
    QFETCH(Closing, closing);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, stored);

    const QByteArray current("5000");
    SettingPortDlg dialog;
    const int result = runDialog(dialog, QString::fromLatin1(current), typed, closing);
    QCOMPARE(result, int(accepted ? QDialog::Accepted : QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.lbl_port->text(), typed); // the input holds the whole entry, unfiltered

    const std::optional<QByteArray> newText =
        portTextToStore(current, dialog.lbl_port->text(), result == QDialog::Accepted);
    QCOMPARE(newText.value_or(QByteArray()), stored);
}

QTEST_MAIN(TestSettingPortDlg)
#include "tst_settingportdlg.moc"
