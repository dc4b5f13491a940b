#include "BoundList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QTimer>

namespace {

/// A pause longer than this between two keys starts a new search.
constexpr qint64 TypeAheadPauseMs = 1500;

} // namespace

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
    typed_.clear();
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
    // Arriving on the list starts a new search, not more of the last one.
    if (event->reason() != Qt::PopupFocusReason)
        typed_.clear();
    if (opensOnArrival_ && !locked_ && event->reason() != Qt::PopupFocusReason &&
        event->reason() != Qt::ActiveWindowFocusReason)
        QTimer::singleShot(0, this, [this] {
            if (hasFocus() && !view()->isVisible())
                showPopup();
        });
}

bool BoundList::typeAhead(const QString& text)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - typedAt_ > TypeAheadPauseMs)
        typed_.clear();
    // A blank that begins nothing opens the list, as the platform's list does.
    if (text.size() != 1 || !text[0].isPrint() || (typed_.isEmpty() && text[0].isSpace()))
        return false;
    typedAt_ = now;
    typed_ += text;
    for (int i = 0; i < count(); ++i) {
        if (!itemText(i).startsWith(typed_, Qt::CaseInsensitive))
            continue;
        if (view()->isVisible())
            view()->setCurrentIndex(model()->index(i, modelColumn(), rootModelIndex()));
        else
            setCurrentIndex(i);
        return true;
    }
    return true; // nothing begins so: the entry shown stays
}

void BoundList::keyPressEvent(QKeyEvent* event)
{
    if (locked_) {
        // Moving on and the form's own keys still pass; nothing changes the entry.
        event->ignore();
        return;
    }
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (plain && typeAhead(event->text()))
        return;
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
        auto* press = static_cast<QKeyEvent*>(event);
        const int key = press->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            moveOnAfterPick_ = true;
        if (event->type() == QEvent::KeyPress) {
            if (key == Qt::Key_Backtab ||
                (key == Qt::Key_Tab && press->modifiers() & Qt::ShiftModifier)) {
                // Back to the field before, the list closed and its entry as it was.
                // Closed once its key is handled, so that the focus comes back
                // to the list first.
                QTimer::singleShot(0, this, [this] {
                    hidePopup();
                    if (!hasFocus())
                        return;
                    QKeyEvent back(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
                    QApplication::sendEvent(this, &back);
                });
                return true;
            }
            const bool plain = !(press->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
            if (plain && typeAhead(press->text()))
                return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}
