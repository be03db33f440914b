#include "settingportdlg.h"

SettingPortDlg::SettingPortDlg(QWidget* parent) : QDialog(parent) {
    setupUi(this);
}

// The form's widgets are Qt children of the dialog and go with it.
SettingPortDlg::~SettingPortDlg() = default;
