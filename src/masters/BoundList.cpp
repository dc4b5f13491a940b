#include "BoundList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

BoundList::BoundList(const QString& objectName, QWidget* parent) : QComboBox(parent)
{
    setObjectName(objectName);
    setEditable(false);
    setMaxVisibleItems(12);
    // The open list's keys pass here first, to learn of the Enter that picks.
    view()->installEventFilter(this);
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int) { emit picked(storedValue()); });
}

void BoundList::setEntries(const QList<Entry>& entries)
{
    const QSignalBlocker quiet(this);
    clear();
    for (const Entry& e : entries)
        addItem(e.second, e.first);
    setCurrentIndex(-1);
}

QString BoundList::storedValue() const
{
    return currentIndex() < 0 ? QString() : currentData().toString();
}

void BoundList::setStoredValue(const QString& value)
{
    // Codes compare exactly, as the look-up stores them.
    int at = -1;
    for (int i = 0; i < count() && at < 0; ++i)
        if (itemData(i).toString() == value)
            at = i;
    setCurrentIndex(value.isEmpty() ? -1 : at);
}

void BoundList::showPopup()
{
    if (locked_)
        return;
    QComboBox::showPopup();
}

void BoundList::hidePopup()
{
    QComboBox::hidePopup();
    if (!moveOnAfterPick_)
        return;
    moveOnAfterPick_ = false;
    // One Enter takes the pick and goes on, as Enter does on the other fields.
    QTimer::singleShot(0, this, [this] {
        if (!hasFocus())
            return;
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        QApplication::sendEvent(this, &tab);
    });
}

void BoundList::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    if (opensOnArrival_ && !locked_ && event->reason() != Qt::PopupFocusReason &&
        event->reason() != Qt::ActiveWindowFocusReason)
        QTimer::singleShot(0, this, [this] {
            if (hasFocus() && !view()->isVisible())
                showPopup();
        });
}

void BoundList::keyPressEvent(QKeyEvent* event)
{
    if (locked_) {
        // Moving on and the form's own keys still pass; nothing changes the entry.
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void BoundList::mousePressEvent(QMouseEvent* event)
{
    if (locked_) {
        setFocus(Qt::MouseFocusReason);
        return;
    }
    QComboBox::mousePressEvent(event);
}

void BoundList::wheelEvent(QWheelEvent* event)
{
    if (locked_)
        return;
    QComboBox::wheelEvent(event);
}

bool BoundList::eventFilter(QObject* watched, QEvent* event)
{
    // The open list takes Enter already at its shortcut check.
    if (watched == view() &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            moveOnAfterPick_ = true;
    }
    return QComboBox::eventFilter(watched, event);
}
