#include "portentry.h"

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
