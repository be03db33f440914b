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

#include <functional>

namespace {

enum class Closing { OkButton, CancelButton, ReturnKey, EscapeKey, WindowClose };

} // namespace

Q_DECLARE_METATYPE(Closing)

namespace {

// Runs the dialog modally like the main window does, with the current port text in the input;
// once it is up, replaces the input by `typed` with key clicks and closes the dialog the given way.
// Returns exec()'s result, or -1 when the dialog did not close by itself.
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
    void formHasNamedWidgetsInItsRows();
    void formTexts_data();
    void formTexts();
    void inputIsPlainText();
    void closing_data();
    void closing();
    void entryThroughTheDialog_data();
    void entryThroughTheDialog();
};

// The main window and what's-this rely on these object names; the rows keep OK before Cancel.
void TestSettingPortDlg::formHasNamedWidgetsInItsRows() {
    SettingPortDlg dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("SettingPortDlgClass"));
    QCOMPARE(dialog.size(), QSize(329, 101));
    QVERIFY(dialog.parentWidget() == nullptr);

    QCOMPARE(dialog.findChild<QLabel*>("label"), dialog.label);
    QCOMPARE(dialog.findChild<QLineEdit*>("lbl_port"), dialog.lbl_port);
    QCOMPARE(dialog.findChild<QFrame*>("line"), dialog.line);
    QCOMPARE(dialog.findChild<QPushButton*>("btn_ok"), dialog.btn_ok);
    QCOMPARE(dialog.findChild<QPushButton*>("btn_cancel"), dialog.btn_cancel);
    QCOMPARE(dialog.line->frameShape(), QFrame::HLine);
#ifdef WINDOW_ICON_COMPILED_IN
    QVERIFY(!dialog.windowIcon().isNull());
    QVERIFY(!dialog.windowIcon().pixmap(16, 16).isNull());
#endif

    QCOMPARE(dialog.layout(), dialog.verticalLayout);
    QCOMPARE(dialog.verticalLayout->spacing(), 6);
    QCOMPARE(dialog.verticalLayout->contentsMargins(), QMargins(11, 11, 11, 11));

    QHBoxLayout* inputRow = dialog.horizontalLayout;
    QCOMPARE(inputRow->count(), 3);
    QCOMPARE(inputRow->itemAt(0)->widget(), dialog.label);
    QVERIFY(inputRow->itemAt(1)->spacerItem() != nullptr);
    QCOMPARE(inputRow->itemAt(2)->widget(), dialog.lbl_port);

    QHBoxLayout* buttonRow = dialog.horizontalLayout_2;
    QCOMPARE(buttonRow->count(), 3);
    QVERIFY(buttonRow->itemAt(0)->spacerItem() != nullptr);
    QCOMPARE(buttonRow->itemAt(1)->widget(), dialog.btn_ok);
    QCOMPARE(buttonRow->itemAt(2)->widget(), dialog.btn_cancel);

    // Top to bottom: input row, spacer, separator line, button row.
    QCOMPARE(dialog.verticalLayout->count(), 4);
    QCOMPARE(dialog.verticalLayout->itemAt(0)->layout(), inputRow);
    QVERIFY(dialog.verticalLayout->itemAt(1)->spacerItem() != nullptr);
    QCOMPARE(dialog.verticalLayout->itemAt(2)->widget(), dialog.line);
    QCOMPARE(dialog.verticalLayout->itemAt(3)->layout(), buttonRow);
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

// Whatever the user types reaches the caller unfiltered: the decision belongs to the caller.
void TestSettingPortDlg::inputIsPlainText() {
    SettingPortDlg dialog;
    QVERIFY(dialog.lbl_port->validator() == nullptr);
    QVERIFY(dialog.lbl_port->inputMask().isEmpty());
    const QString longEntry = QString(1000, QLatin1Char('0')) + QStringLiteral("5000");
    dialog.lbl_port->setText(longEntry);
    QCOMPARE(dialog.lbl_port->text(), longEntry);
}

void TestSettingPortDlg::closing_data() {
    QTest::addColumn<Closing>("closing");
    QTest::addColumn<int>("result");

    QTest::newRow("OK accepts") << Closing::OkButton << int(QDialog::Accepted);
    QTest::newRow("Return in the input accepts") << Closing::ReturnKey << int(QDialog::Accepted);
    QTest::newRow("Cancel rejects") << Closing::CancelButton << int(QDialog::Rejected);
    QTest::newRow("Esc rejects") << Closing::EscapeKey << int(QDialog::Rejected);
    QTest::newRow("closing the window rejects") << Closing::WindowClose << int(QDialog::Rejected);
}

void TestSettingPortDlg::closing() {
    QFETCH(Closing, closing);
    QFETCH(int, result);

    SettingPortDlg dialog;
    QCOMPARE(runDialog(dialog, "5000", "6001", closing), result);
    QCOMPARE(dialog.lbl_port->text(), QStringLiteral("6001"));
    QVERIFY(!dialog.isVisible());
}

// The whole path of a port change up to the decision: current text in the input, the user edits
// it and closes the dialog, and only an accepted, valid and different entry becomes the new text.
void TestSettingPortDlg::entryThroughTheDialog_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Closing>("closing");
    QTest::addColumn<QByteArray>("stored");

    const QByteArray nothing;
    QTest::newRow("new port with OK") << "5001" << Closing::OkButton << QByteArray("5001");
    QTest::newRow("new port with Return") << "5001" << Closing::ReturnKey << QByteArray("5001");
    QTest::newRow("leading zero") << "05000" << Closing::OkButton << QByteArray("05000");
    QTest::newRow("edited, then Cancel") << "5001" << Closing::CancelButton << nothing;
    QTest::newRow("edited, then Esc") << "5001" << Closing::EscapeKey << nothing;
    QTest::newRow("unchanged") << "5000" << Closing::OkButton << nothing;
    QTest::newRow("out of range") << "65535" << Closing::OkButton << nothing;
    QTest::newRow("letters") << "port" << Closing::OkButton << nothing;
    QTest::newRow("emptied") << "" << Closing::OkButton << nothing;
    QTest::newRow("too long for the port text")
        << QString(250, QLatin1Char('0')) + QStringLiteral("5000") << Closing::OkButton << nothing;
}

void TestSettingPortDlg::entryThroughTheDialog() {
    QFETCH(QString, typed);
    QFETCH(Closing, closing);
    QFETCH(QByteArray, stored);

    const QByteArray current("5000");
    SettingPortDlg dialog;
    const int result = runDialog(dialog, QString::fromLatin1(current), typed, closing);
    QVERIFY(result == QDialog::Accepted || result == QDialog::Rejected);

    const std::optional<QByteArray> newText =
        portTextToStore(current, dialog.lbl_port->text(), result == QDialog::Accepted);
    QCOMPARE(newText.value_or(QByteArray()), stored);
}

QTEST_MAIN(TestSettingPortDlg)
#include "tst_settingportdlg.moc"
