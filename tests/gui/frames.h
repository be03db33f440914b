// Tracking frame texts for the tests.

#ifndef FRAMES_H
#define FRAMES_H

#include <QByteArray>
#include <QList>

struct TestDevice {
    int buttonCount = 6;
    quint32 buttons = 0; // bit k = button k pressed
    QList<double> joystick{0.0, 0.0};
};

// A frame with one "6df2 " line listing the devices.
QByteArray newerFrame(const QList<TestDevice>& devices, unsigned frameNumber = 1);
// A frame with one "6df " line: eight button bits per device, joystick from bits 4 to 7.
QByteArray olderFrame(const QList<quint32>& buttonBits, unsigned frameNumber = 1);

#endif // FRAMES_H
