#include "frames.h"

namespace {

const QByteArray restPose = "[0.1 0.2 0.3][1 0 0 0 1 0 0 0 1]";

QByteArray header(unsigned frameNumber) {
    return "fr " + QByteArray::number(frameNumber) + "\nts 3.25\n";
}

} // namespace

QByteArray newerFrame(const QList<TestDevice>& devices, unsigned frameNumber) {
    QByteArray line =
        "6df2 " + QByteArray::number(devices.size()) + ' ' + QByteArray::number(devices.size());
    for (int i = 0; i < devices.size(); ++i) {
        const TestDevice& d = devices.at(i);
        line += " [" + QByteArray::number(i) + " 1.000 " + QByteArray::number(d.buttonCount) + ' ' +
                QByteArray::number(d.joystick.size()) + ']' + restPose + '[';
        QList<QByteArray> values;
        if (d.buttonCount > 0)
            values << QByteArray::number(d.buttons);
        for (double v : d.joystick)
            values << QByteArray::number(v, 'g', 9);
        line += values.join(' ') + ']';
    }
    return header(frameNumber) + line + '\n';
}

QByteArray olderFrame(const QList<quint32>& buttonBits, unsigned frameNumber) {
    QByteArray line = "6df " + QByteArray::number(buttonBits.size());
    for (int i = 0; i < buttonBits.size(); ++i)
        line += " [" + QByteArray::number(i) + " 1.0 " + QByteArray::number(buttonBits.at(i)) +
                ']' + restPose;
    return header(frameNumber) + line + '\n';
}
