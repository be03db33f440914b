// The text of a help page as a screen reader reads it. Qt's own interface for a text browser
// hands out the document's raw characters, in which tables bring their cell and frame
// markers (U+FDD0, U+FDD1) and paragraphs U+2029; a reader spells those out or stumbles over
// them. This interface gives the same text with each marker as a line break, so offsets stay
// those of the document.

#ifndef HELPTEXTACCESSIBLE_H
#define HELPTEXTACCESSIBLE_H

#include <QAccessibleWidget>

#include <optional>

class QTextBrowser;

class HelpTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit HelpTextAccessible(QTextBrowser* browser);

    // The text with every marker as a line break and no-break spaces as spaces.
    static QString readableText(QString text);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    QTextBrowser* browser() const;
    // A cursor over the document at `offset`, selecting to `selectedTo` if given; both
    // clamped to the document.
    QTextCursor cursorAt(int offset, std::optional<int> selectedTo = std::nullopt) const;
};

#endif // HELPTEXTACCESSIBLE_H
