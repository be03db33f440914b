#include "settingportdlg.h"

#include "appresources.h"

SettingPortDlg::SettingPortDlg(QWidget* parent) : QDialog(parent) {
    registerAppResources(); // the form's window icon
    setupUi(this);
}

// The form's widgets are Qt children of the dialog and go with it.
SettingPortDlg::~SettingPortDlg() = default;
