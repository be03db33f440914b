// What the port dialog's outcome does to the tester's data port text.
//
// The main window keeps the data port as text in a fixed 200-byte NUL-terminated field. The port
// dialog only edits a line of text; this decides whether that text replaces the current port text.
// No Qt widgets are involved, so the rules can be checked without a window.

#ifndef PORTENTRY_H
#define PORTENTRY_H

#include <QByteArray>
#include <QString>

#include <optional>

// Size of the main window's port text field, terminator included.
inline constexpr int portTextFieldSize = 200;
// Longest port text that fits into that field.
inline constexpr int maxPortTextLength = portTextFieldSize - 1;

// Ports the dialog accepts. 1 and 65535 are left out on purpose: the dialog has always offered
// 2 to 65534 only, although the tester itself can listen on 1 and 65535 when they come from the
// configuration file.
inline constexpr int minDialogPort = 2;
inline constexpr int maxDialogPort = 65534;

// Decides what an entry in the port dialog does.
//
// currentPortText: the port text in use (the field's bytes up to the terminator).
// entered:         the text of the dialog's input line.
// accepted:        whether the dialog was closed with OK.
//
// Returns the new port text, exactly as typed (not re-formatted from the number, so "05000" stays
// "05000"), or nothing when the entry is to be ignored silently:
//   - the dialog was not accepted;
//   - the entry is not a base-10 number as QString::toInt reads it (empty text and letters too);
//   - the number lies outside minDialogPort..maxDialogPort;
//   - the entry holds a NUL character (it would end the stored text early);
//   - the entry is byte for byte the current port text;
//   - the entry is longer than maxPortTextLength characters. Such an entry can still be a valid
//     number (a port with hundreds of leading zeros), but it does not fit into the port text
//     field. It is rejected like any other unusable entry rather than cut or re-formatted, so the
//     stored text is always exactly what the user typed and never runs past the field.
// A returned text is never longer than maxPortTextLength bytes and is plain ASCII, since toInt
// accepts only ASCII digits, signs and white space.
std::optional<QByteArray> portTextToStore(const QByteArray& currentPortText, const QString& entered,
                                          bool accepted);

// Why the data port could not be opened, for the user: "UDP port 5000 is in use by another
// program" for EADDRINUSE, a port that may not be bound for EACCES, the system's own words
// for any other error number, and a failure after the port was opened for 0.
QString portOpenFailure(int port, int error);

#endif // PORTENTRY_H
