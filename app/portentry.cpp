#include "portentry.h"

std::optional<QByteArray> portTextToStore(const QByteArray& currentPortText, const QString& entered,
                                          bool accepted) {
    if (!accepted)
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
