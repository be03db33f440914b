#include "portentry.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

std::optional<QByteArray> portTextToStore(const QByteArray& currentPortText, const QString& entered,
                                          bool accepted) {
    if (!accepted)
        return std::nullopt;

    // toInt stops reading at a NUL character and takes the digits before it, but the port text
    // field ends at the first NUL too: "50<NUL>00" would pass as port 50 and be stored as "50",
    // not as typed. A pasted NUL makes the entry unusable instead.
    if (entered.contains(QChar(u'\0')))
        return std::nullopt;

    // toInt yields 0 for text that is not a number, which the range check below rejects as well.
    const int port = entered.toInt(nullptr, 10);
    if (port < minDialogPort || port > maxDialogPort)
        return std::nullopt;

    const QByteArray typed = entered.toLatin1();
    if (typed.size() > maxPortTextLength)
        return std::nullopt;
    if (typed == currentPortText)
        return std::nullopt;
    return typed;
}

QString portOpenFailure(int port, int error) {
    const auto tr = [](const char* text) { return QCoreApplication::translate("PortEntry", text); };
    switch (error) {
    case 0:
        return tr("UDP port %1 was opened, but reception could not be set up").arg(port);
    case EADDRINUSE:
        return tr("UDP port %1 is in use by another program").arg(port);
    case EACCES:
    case EPERM:
        return port < 1024 ? tr("UDP port %1 may not be used by this program: ports below 1024 "
                                "need administrator rights")
                                 .arg(port)
                           : tr("UDP port %1 may not be used by this program").arg(port);
    default:
        return tr("UDP port %1 could not be opened: %2")
            .arg(port)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}
