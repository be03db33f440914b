#include "wrappingdelegate.h"

#include <QTreeView>

WrappingDelegate::WrappingDelegate(QTreeView* view) : QStyledItemDelegate(view), view(view) {}

QSize WrappingDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem atColumnWidth(option);
    // The style wraps only within a valid rectangle; its height does not matter.
    atColumnWidth.rect.setSize(QSize(view->columnWidth(index.column()), 1));
    return QStyledItemDelegate::sizeHint(atColumnWidth, index);
}
