#include "ContainerGridView.h"

#include "ContainerGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

ContainerGridView::ContainerGridView(ContainerGrid* grid, QWidget* parent)
    : QTableView(parent), grid_(grid)
{
    setObjectName(QStringLiteral("dataGrid2"));
    setModel(grid);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab belongs to the form: it leaves the grid.
    setTabKeyNavigation(false);
    setColumnHidden(ContainerGrid::Ref - 1, true);
    setColumnHidden(ContainerGrid::Autoid - 1, true);
    setColumnWidth(ContainerGrid::ContainerNo - 1, 250);
    setColumnWidth(ContainerGrid::Status - 1, 80);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

    txtGtext = new QLineEdit(viewport());
    txtGtext->setObjectName(QStringLiteral("txtGtext"));
    txtGtext->setFrame(false);
    txtGtext->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    txtGtext->hide();
    txtGtext->installEventFilter(this);
}

int ContainerGridView::selectedRow() const
{
    return currentIndex().isValid() ? currentIndex().row() + 1 : 0;
}

int ContainerGridView::selectedColumn() const
{
    return currentIndex().isValid() ? currentIndex().column() + 1 : 0;
}

void ContainerGridView::selectCell(int row, int column)
{
    setCurrentIndex(grid_->index(row - 1, column - 1));
}

bool ContainerGridView::isEditing() const
{
    return txtGtext->isVisible();
}

namespace {

bool isCtrlS(const QKeyEvent* event)
{
    return event->key() == Qt::Key_S &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

} // namespace

void ContainerGridView::keyPressEvent(QKeyEvent* event)
{
    if (isCtrlS(event)) {
        event->accept();
        emit saveRequested();
        return;
    }
    const QModelIndex at = currentIndex();
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (editable_ && at.isValid() && !isColumnHidden(at.column()) && plain) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            startEdit(QString());
            return;
        }
        const QString typed = event->text();
        if (typed.size() == 1 && typed[0].isPrint()) {
            startEdit(typed);
            return;
        }
    }
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept(); // the grid's own: they never reach the form
        return;
    }
    QTableView::keyPressEvent(event);
}

void ContainerGridView::startEdit(const QString& typed)
{
    const QModelIndex at = currentIndex();
    const QRect cell = visualRect(at);
    txtGtext->setGeometry(cell);
    txtGtext->setPalette(palette());
    QString text = grid_->text(at.row() + 1, at.column() + 1);
    if (!typed.isEmpty())
        text = typed;
    txtGtext->setText(text);
    txtGtext->show();
    txtGtext->setFocus();
    // The caret after the last character that is not a blank.
    int end = int(text.size());
    while (end > 0 && text[end - 1] == u' ')
        --end;
    txtGtext->deselect();
    txtGtext->setCursorPosition(end);
}

void ContainerGridView::endEdit(bool store, bool backToGrid)
{
    if (ending_ || !txtGtext->isVisible())
        return;
    ending_ = true;
    const int row = selectedRow();
    const int column = selectedColumn();
    if (store)
        grid_->setText(row, column, txtGtext->text());
    txtGtext->hide();
    if (backToGrid) {
        backFromEditor_ = true;
        setFocus();
        backFromEditor_ = false;
    }
    const bool accepted = endOfEdit_ ? endOfEdit_(row, column) : true;
    if (store && accepted) {
        // Right; past Status (Autoid is hidden) to the next row's Container No.
        if (column == ContainerGrid::ContainerNo)
            selectCell(row, ContainerGrid::Status);
        else if (row < grid_->rows())
            selectCell(row + 1, ContainerGrid::ContainerNo);
    }
    ending_ = false;
}

void ContainerGridView::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    emit keysTaken();
    if (!backFromEditor_ && !txtGtext->isVisible())
        emit entered();
}

void ContainerGridView::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    if (QApplication::focusWidget() != txtGtext)
        emit keysReturned();
}

bool ContainerGridView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtGtext) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* press = static_cast<QKeyEvent*>(event);
            const int key = press->key();
            if (isCtrlS(press)) {
                endEdit(true, true);
                emit saveRequested();
                return true;
            }
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                endEdit(true, true);
                return true;
            }
            if (key == Qt::Key_Escape) {
                endEdit(false, true);
                return true;
            }
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
                return true; // only Enter or Esc end the edit from the keyboard
            break;
        }
        case QEvent::FocusIn:
            emit keysTaken();
            break;
        case QEvent::FocusOut:
            // A click elsewhere keeps what was typed, as Enter would.
            endEdit(true, false);
            if (QApplication::focusWidget() != this)
                emit keysReturned();
            break;
        default:
            break;
        }
    }
    return QTableView::eventFilter(watched, event);
}
