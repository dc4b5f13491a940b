#pragma once

#include <QComboBox>
#include <QPair>
#include <QString>

/// A drop-down list of a look-up table bound to one column of a record
/// form: it shows one column of the look-up (a name) and stores another (a
/// code). Typing picks the first entry that begins with all that was typed
/// (blanks included; a pause starts afresh), open or closed; Enter in the
/// open list takes the pick and moves on to the next control, Shift+Tab
/// closes it and goes back, Esc closes it and stays.
class BoundList : public QComboBox
{
    Q_OBJECT

public:
    /// Stored value and shown text of one entry.
    using Entry = QPair<QString, QString>;

    BoundList(const QString& objectName, QWidget* parent = nullptr);

    void setEntries(const QList<Entry>& entries);
    /// The stored value of the entry shown, "" when none is.
    QString storedValue() const;
    /// Shows the entry with that stored value (none when no entry has it).
    void setStoredValue(const QString& value);

    /// A locked list shows its entry but cannot be changed.
    void setLocked(bool locked) { locked_ = locked; }
    bool isLocked() const { return locked_; }
    /// The list opens as soon as the focus arrives on it.
    void setOpensOnArrival(bool on) { opensOnArrival_ = on; }

    void showPopup() override;
    void hidePopup() override;

signals:
    /// The clerk picked an entry (or the shown entry changed): its stored value.
    void picked(const QString& storedValue);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Adds text to what was typed and shows the first entry that begins
    /// with it; true when the key was taken.
    bool typeAhead(const QString& text);

    QString typed_;
    qint64 typedAt_ = 0; ///< when the last character came (ms since epoch)
    bool locked_ = false;
    bool opensOnArrival_ = false;
    bool moveOnAfterPick_ = false;
};
