#include "configlocation.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

ConfigLocation ConfigLocation::find() {
    const QString fileName = QStringLiteral("/skywandtester.config");
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(programFolder).isWritable())
        return {programFolder + fileName, QString()};
    // The generic location names the folder itself, whatever the running program is called.
    const QString userFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/skywandtester");
    return {userFolder + fileName, programFolder + fileName};
}
