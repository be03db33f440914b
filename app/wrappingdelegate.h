// Lets an item view's rows grow with text that wraps in its column. Qt's tree view asks its
// delegate for a row's height without telling it the column's width, so a wrapping text is
// measured as one line and then cut short; this delegate measures it at the column's width.

#ifndef WRAPPINGDELEGATE_H
#define WRAPPINGDELEGATE_H

#include <QStyledItemDelegate>

class QTreeView;

class WrappingDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // A child of the view it measures for.
    explicit WrappingDelegate(QTreeView* view);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QTreeView* view;
};

#endif // WRAPPINGDELEGATE_H
