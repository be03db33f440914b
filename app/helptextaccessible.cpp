#include "helptextaccessible.h"

#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

HelpTextAccessible::HelpTextAccessible(QTextBrowser* browser)
    : QAccessibleWidget(browser, QAccessible::EditableText) {}

QString HelpTextAccessible::readableText(QString text) {
    for (QChar& c : text) {
        switch (c.unicode()) {
        case 0xfdd0: // a table, cell or frame begins
        case 0xfdd1: // one ends
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
            c = QLatin1Char('\n');
            break;
        case QChar::Nbsp:
            c = QLatin1Char(' ');
            break;
        default:
            break;
        }
    }
    return text;
}

void* HelpTextAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State HelpTextAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

QString HelpTextAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value)
        return browser()->document()->toPlainText();
    return QAccessibleWidget::text(t);
}

QTextBrowser* HelpTextAccessible::browser() const {
    return static_cast<QTextBrowser*>(widget());
}

QTextCursor HelpTextAccessible::cursorAt(int offset, std::optional<int> selectedTo) const {
    QTextCursor cursor(browser()->document());
    cursor.setPosition(qBound(0, offset, characterCount()));
    if (selectedTo)
        cursor.setPosition(qBound(0, *selectedTo, characterCount()), QTextCursor::KeepAnchor);
    return cursor;
}

void HelpTextAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    const QTextCursor cursor = browser()->textCursor();
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0 && cursor.hasSelection()) {
        *startOffset = cursor.selectionStart();
        *endOffset = cursor.selectionEnd();
    }
}

int HelpTextAccessible::selectionCount() const {
    return browser()->textCursor().hasSelection() ? 1 : 0;
}

void HelpTextAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void HelpTextAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex != 0)
        return;
    QTextCursor cursor = browser()->textCursor();
    cursor.clearSelection();
    browser()->setTextCursor(cursor);
}

void HelpTextAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0)
        return;
    browser()->setTextCursor(cursorAt(startOffset, endOffset));
}

int HelpTextAccessible::cursorPosition() const {
    return browser()->textCursor().position();
}

void HelpTextAccessible::setCursorPosition(int position) {
    browser()->setTextCursor(cursorAt(position));
}

QString HelpTextAccessible::text(int startOffset, int endOffset) const {
    return readableText(cursorAt(startOffset, endOffset).selectedText());
}

int HelpTextAccessible::characterCount() const {
    // The document counts the paragraph separator after its last block, which no cursor passes.
    return browser()->document()->characterCount() - 1;
}

QRect HelpTextAccessible::characterRect(int offset) const {
    const QTextCursor cursor = cursorAt(offset);
    QRect rect = browser()->cursorRect(cursor);
    const QChar c = browser()->document()->characterAt(cursor.position());
    rect.setWidth(qMax(1, browser()->fontMetrics().horizontalAdvance(c)));
    rect.moveTopLeft(browser()->viewport()->mapToGlobal(rect.topLeft()));
    return rect;
}

int HelpTextAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint inViewport = browser()->viewport()->mapFromGlobal(point);
    if (!browser()->viewport()->rect().contains(inViewport))
        return -1;
    return browser()->cursorForPosition(inViewport).position();
}

void HelpTextAccessible::scrollToSubstring(int startIndex, int endIndex) {
    QTextCursor cursor = cursorAt(endIndex);
    browser()->setTextCursor(cursor);
    browser()->ensureCursorVisible();
    cursor.setPosition(qBound(0, startIndex, characterCount()));
    browser()->setTextCursor(cursor);
    browser()->ensureCursorVisible();
}

// No text attributes are reported: the whole text counts as one run.
QString HelpTextAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    (void)offset;
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}
