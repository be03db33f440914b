// The rules that decide whether an entry in the port dialog replaces the data port text.

#include "portentry.h"

#include <QTest>

class TestPortEntry : public QObject {
    Q_OBJECT

private slots:
    void decision_data();
    void decision();
    void storedTextAlwaysFitsTheField_data();
    void storedTextAlwaysFitsTheField();
};

void TestPortEntry::decision_data() {
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QByteArray>("newText");

    const QByteArray none;
    QTest::newRow("new valid port")
        << QByteArray("5000") << "5001" << true << true << QByteArray("5001");
    QTest::newRow("unchanged text") << QByteArray("5000") << "5000" << true << false << none;
    QTest::newRow("cancelled with a valid new port")
        << QByteArray("5000") << "5001" << false << false << none;

    // The dialog offers 2..65534; both ends are valid, one step beyond is not.
    QTest::newRow("lowest port 2") << QByteArray("5000") << "2" << true << true << QByteArray("2");
    QTest::newRow("highest port 65534")
        << QByteArray("5000") << "65534" << true << true << QByteArray("65534");
    QTest::newRow("1 is below the range") << QByteArray("5000") << "1" << true << false << none;
    QTest::newRow("65535 is above the range")
        << QByteArray("5000") << "65535" << true << false << none;
    QTest::newRow("0") << QByteArray("5000") << "0" << true << false << none;
    QTest::newRow("70000") << QByteArray("5000") << "70000" << true << false << none;
    QTest::newRow("negative") << QByteArray("5000") << "-5000" << true << false << none;
    QTest::newRow("beyond 32 bits") << QByteArray("5000") << "99999999999" << true << false << none;

    QTest::newRow("empty") << QByteArray("5000") << "" << true << false << none;
    QTest::newRow("letters") << QByteArray("5000") << "abc" << true << false << none;
    QTest::newRow("digits then letters")
        << QByteArray("5000") << "6000xyz" << true << false << none;
    QTest::newRow("hexadecimal") << QByteArray("5000") << "0x1388" << true << false << none;
    QTest::newRow("non-ASCII digits")
        << QByteArray("5000") << QString::fromUtf16(u"\u0665\u0660\u0660\u0661") << true << false
        << none;

    // Odd entries: only ASCII white space around the digits is allowed, and the number must fit
    // 32 bits without wrapping into the range.
    QTest::newRow("trailing white space kept as typed")
        << QByteArray("5000") << "6000 " << true << true << QByteArray("6000 ");
    QTest::newRow("tab and line feed kept as typed") << QByteArray("5000") << "\t6000\n"
                                                     << true << true << QByteArray("\t6000\n");
    QTest::newRow("no-break space")
        << QByteArray("5000") << QString::fromUtf16(u"\u00a06000") << true << false << none;
    QTest::newRow("ideographic space")
        << QByteArray("5000") << QString::fromUtf16(u"\u30006000") << true << false << none;
    QTest::newRow("zero-width space")
        << QByteArray("5000") << QString::fromUtf16(u"6000\u200b") << true << false << none;
    QTest::newRow("fullwidth digits")
        << QByteArray("5000") << QString::fromUtf16(u"\uff16\uff10\uff10\uff10") << true << false
        << none;
    QTest::newRow("superscript digit")
        << QByteArray("5000") << QString::fromUtf16(u"6\u00b2") << true << false << none;
    QTest::newRow("sign alone") << QByteArray("5000") << "+" << true << false << none;
    QTest::newRow("minus zero") << QByteArray("5000") << "-0" << true << false << none;
    QTest::newRow("wraps to 5000 in 32 bits")
        << QByteArray("5000") << "4294972296" << true << false << none;
    QTest::newRow("just beyond 31 bits")
        << QByteArray("5000") << "2147483648" << true << false << none;
    QTest::newRow("decimal point") << QByteArray("5000") << "6000.0" << true << false << none;
    QTest::newRow("exponent") << QByteArray("5000") << "6e3" << true << false << none;
    QTest::newRow("blank inside") << QByteArray("5000") << "6 000" << true << false << none;
    // Regression: toInt reads the digits before a NUL, so this passed as port 60 and was stored
    // as "60", not as typed.
    QTest::newRow("NUL inside") << QByteArray("5000") << QString::fromUtf16(u"60\u00000000", 7)
                                << true << false << none;
    QTest::newRow("NUL after a valid port")
        << QByteArray("5000") << QString::fromUtf16(u"6000\u0000", 5) << true << false << none;

    // Stored as typed, not re-formatted from the number: the texts differ, so reception restarts.
    QTest::newRow("leading zero against plain number")
        << QByteArray("5000") << "05000" << true << true << QByteArray("05000");
    QTest::newRow("white space kept as typed")
        << QByteArray("5000") << " 6000" << true << true << QByteArray(" 6000");
    QTest::newRow("sign kept as typed")
        << QByteArray("5000") << "+6000" << true << true << QByteArray("+6000");

    // A current text that is not a port (a hand-edited configuration) can be replaced.
    QTest::newRow("replacing an unusable current text")
        << QByteArray("abc") << "5000" << true << true << QByteArray("5000");
    QTest::newRow("replacing an empty current text")
        << QByteArray() << "5000" << true << true << QByteArray("5000");
}

void TestPortEntry::decision() {
    QFETCH(QByteArray, current);
    QFETCH(QString, entered);
    QFETCH(bool, accepted);
    QFETCH(bool, stored);
    QFETCH(QByteArray, newText);

    const std::optional<QByteArray> result = portTextToStore(current, entered, accepted);
    QCOMPARE(result.has_value(), stored);
    if (stored)
        QCOMPARE(*result, newText);
}

// The port text lives in a 200-byte field with its terminator. A valid number padded with zeros
// passes the numeric check, yet must never reach the field when it is too long for it.
void TestPortEntry::storedTextAlwaysFitsTheField_data() {
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("stored");

    const QString port = QStringLiteral("5000");
    QTest::newRow("199 characters fit")
        << QString(maxPortTextLength - port.size(), QLatin1Char('0')) + port << true;
    QTest::newRow("200 characters do not fit")
        << QString(maxPortTextLength + 1 - port.size(), QLatin1Char('0')) + port << false;
    QTest::newRow("250 leading zeros") << QString(250, QLatin1Char('0')) + port << false;
    QTest::newRow("10000 leading zeros") << QString(10000, QLatin1Char('0')) + port << false;
}

void TestPortEntry::storedTextAlwaysFitsTheField() {
    QFETCH(QString, entered);
    QFETCH(bool, stored);

    QCOMPARE(entered.toInt(), 5000); // the entry itself is a valid port
    const std::optional<QByteArray> result = portTextToStore("5000", entered, true);
    QCOMPARE(result.has_value(), stored);
    if (stored) {
        QCOMPARE(result->size(), maxPortTextLength);
        QCOMPARE(*result, entered.toLatin1());
    }
}

QTEST_APPLESS_MAIN(TestPortEntry)
#include "tst_portentry.moc"
