// The small modal dialog in which the user edits the tester's UDP data port.
//
// The dialog only edits a line of text. Whoever runs it fills lbl_port with the current port text
// and, once the dialog was accepted, decides with portTextToStore (portentry.h) whether the entry
// replaces that text.

#ifndef SETTINGPORTDLG_H
#define SETTINGPORTDLG_H

#include "ui_settingportdlg.h"

#include <QDialog>

class SettingPortDlg : public QDialog, public Ui::SettingPortDlgClass {
    Q_OBJECT

public:
    explicit SettingPortDlg(QWidget* parent = nullptr);
    ~SettingPortDlg() override;
};

#endif // SETTINGPORTDLG_H
