#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class Criteria;
class DbError;
class BoundList;
class QGridLayout;
class QHBoxLayout;
class QVBoxLayout;
struct ColumnInfo;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class RowSet;

/// A record maintenance screen: the current row of a table shown in a column
/// of boxes (txtFields, each bound to one column), the record buttons, the
/// keys, the browse/add/edit modes and the status line. The user master, the
/// company master and the shipping-bill screen are built on it; each one
/// opens its own rows, lays out its own boxes and changes only what is its
/// own through Options and the virtual hooks.
///
/// A subclass builds its boxes in its constructor (createField, addRow) and
/// calls load() as the constructor's last step, so that the hooks reach it.
///
/// Add, Save, Cancel and Delete run as named steps (keep the position, start
/// the new row; check, write, re-read; return after a cancel; remove the
/// row) that a form extends or replaces where its order differs.
class RecordForm : public QWidget
{
    Q_OBJECT

public:
    /// How the text of an error message is put together.
    enum class ErrorText
    {
        Description,     ///< the description alone
        NumberOneBlank,  ///< number, one blank, description
        NumberTwoBlanks, ///< number, two blanks, description
        NumberNoBlank,   ///< number immediately followed by the description
    };

    /// Where a form departs from the common behaviour.
    struct Options
    {
        QString updateCaption = QStringLiteral("&Save");
        /// lblStatus shows "Record: " and the position after every move.
        bool showPosition = true;
        /// The form opens on the last row (else on the first).
        bool moveLastOnLoad = true;
        /// The boxes take at most as many characters as their columns hold.
        bool limitLengths = true;
        /// Ctrl+E starts an edit.
        bool ctrlEEdits = true;
        /// Cancel puts the focus on cmdAdd.
        bool cancelFocusesAdd = true;
        ErrorText saveError = ErrorText::NumberTwoBlanks;
        /// Deleting the last row re-reads the rows before moving to the last.
        bool requeryAfterDeleteAtEnd = true;
        /// A failing step of Delete is reported and the next step still runs.
        bool deleteGoesOnAfterError = false;
    };

    ~RecordForm() override;

    RowSet* rows() const { return primaryRS_; }

protected:
    RecordForm(const QString& formName, const QString& heading, const Options& options,
               QWidget* parent = nullptr);

    // --- building the screen (in the subclass constructor, before load())

    /// Makes box index of txtFields (objectName txtFields_<index>), bound to
    /// column. Boxes may be made in any order; the tab order follows addRow.
    QLineEdit* createField(int index, const QString& column);
    /// How box index shows its column's value: "0" (a whole number),
    /// "0.000" (three decimals) or a date pattern such as "dd/MM/yyyy".
    void setFieldFormat(int index, const QString& format);
    /// The most characters the clerk may type into box index (0: no limit).
    /// The limit holds typing only: a longer stored value is still shown
    /// whole, and can be changed but not lengthened.
    void setTypingLimit(int index, int limit);
    /// Puts text into box index whole, whatever its typing limit.
    void setFieldText(int index, const QString& text);
    /// Makes a drop-down list bound to column: it shows the entry whose
    /// stored value the current row holds and writes the picked one.
    BoundList* createList(const QString& name, const QString& column);
    /// A labelled line of the form holding widgets side by side; an empty
    /// caption continues the box column under the line above. The widgets
    /// join the tab order in the order the lines are added.
    void addRow(const QString& caption, const QList<QWidget*>& widgets);
    QGridLayout* fieldsLayout() const { return fields_; }
    /// Puts a control that is not on a labelled line into the tab order,
    /// after what was added so far.
    void addToTabOrder(QWidget* w) { tabChain_ << w; }
    /// For a form that has no door button.
    void removeExitButton();
    /// The navigation line: cmdFirst, cmdPrevious, lblStatus, cmdNext, cmdLast.
    QHBoxLayout* navigationBar();
    /// A line of record buttons; the buttons of one place share it (the one
    /// shown in the mode stands there).
    QGridLayout* buttonBar(const QList<QList<QPushButton*>>& places);

    /// Rights, opening the rows, binding the boxes, the first row shown,
    /// appearance; an error is reported as "number description" and the form
    /// stays open with what was done.
    void load();

    // --- the hooks

    /// Lays out the form under its heading (load's first step): the boxes,
    /// then the navigation line, then the record buttons.
    virtual void layOut(QVBoxLayout* layout);
    /// The buttons in their tab order, after the fields.
    virtual QList<QWidget*> buttonTabOrder() const;
    /// The maximum input length of a box bound to column: its defined size,
    /// two more for a date.
    virtual int maxLengthFor(const ColumnInfo& column) const;

    /// Opens the rows of the form (on its table or query). Throws DbError.
    virtual void openRows(RowSet& rs) = 0;
    /// Right after the rows are open, before the boxes are bound.
    virtual void rowsOpened() {}
    /// Add, first step: keep the current position for Cancel and move to the
    /// last row (when the set is not at its end).
    virtual void addKeepPosition();
    /// Add: after the move to the last row, before the new row starts.
    virtual void beforeAddNew() {}
    /// Add: the new row stands and its empty boxes are shown.
    virtual void afterAddNew() {}
    /// Save, first step: false stops the save with nothing written (the
    /// check has told the user why).
    virtual bool checkRecord() { return true; }
    /// Save: writes the row (and whatever belongs with it). Throws DbError;
    /// the form then stays in its mode with the typed values.
    virtual void writeRecord();
    /// Save, after the write: shows the stored row (an added row: the last).
    virtual void rereadRecord(bool added);
    /// Cancel, after the pending change is abandoned: back to the position
    /// kept by Add or Edit, else to the first row.
    virtual void returnAfterCancel();
    /// Delete, after the question: removes the current row (and what hangs
    /// on it). Throws DbError.
    virtual void removeRecord();
    /// After every completed move, once the row is shown.
    virtual void positionChanged() {}
    /// A field about to lose the focus to another control of the form: false
    /// keeps the focus there, without a message. Tab, Enter, clicks and
    /// mnemonics all ask.
    virtual bool fieldMayLeave(QWidget* field)
    {
        Q_UNUSED(field);
        return true;
    }
    /// SetBrowseMode's last step: what the form adds to the mode switch.
    virtual void browseModeChanged(bool browse) { Q_UNUSED(browse); }
    /// Search button (and nothing by default).
    virtual void search() {}
    /// Closing: writes a pending add or edit (retrying a lost connection as
    /// ConnectionRetry says), then closes the rows. Never stops the close.
    virtual void unload();

    /// The current row into the boxes ("" for every box without a current row).
    virtual void showCurrentRow();
    /// The boxes the user changed into the current row; throws DbError on a
    /// value that does not fit its column.
    virtual void copyFieldsToRow();
    /// A key the form sees before the focused control; true when used.
    virtual bool formKeyDown(QKeyEvent* event);

    /// Looks for rows whose column begins with a typed text: "Item Name to
    /// search ?", then "Search Next ?" after each match, "Could not find Item"
    /// when no further row matches (back on the last match, or where the
    /// search began).
    void searchByPrefix(const QString& column);
    /// The same walk for any question: wanted makes the criteria of the
    /// typed text; notFound is the message when no further row matches.
    void searchRows(const QString& question, const std::function<Criteria(const QString&)>& wanted,
                    const QString& notFound);

    void SetBrowseMode(bool browse);
    void showPosition();

    // --- the operations, as the buttons and keys run them
    void addRecord();
    void saveRecord();
    void cancelRecord();
    /// Add's bookkeeping: "Add record", add mode and the new-row flag, the
    /// controls unlocked.
    void enterAddMode();
    /// Starts the new (empty) row and shows it.
    void startNewRow();
    /// Adding: by Add (or a form's own start of a new row) until Save or Cancel.
    bool isAdding() const { return mbAddMode || mbNewRow; }
    bool isBrowsing() const { return !isAdding() && !mbEditMode; }

    /// Off while a child (a grid, its cell editor) takes the keys itself:
    /// then Enter, the arrows, Esc and the Ctrl keys reach that child.
    void setKeyPreview(bool on) { keyPreview_ = on; }
    bool keyPreview() const { return keyPreview_; }
    /// An error in a message box with an OK button, worded as style says.
    static void report(const DbError& error, ErrorText style);

    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The controls, named as the forms name them.
    QLabel* lblHead;
    QLabel* lblStatus;
    QPushButton* cmdFirst;
    QPushButton* cmdPrevious;
    QPushButton* cmdNext;
    QPushButton* cmdLast;
    QPushButton* cmdAdd;
    QPushButton* cmdEdit;
    QPushButton* cmdUpdate;
    QPushButton* cmdCancel;
    QPushButton* cmdDelete;
    QPushButton* cmdRefresh;
    QPushButton* cmdSearch;
    QPushButton* cmdClose;
    QPushButton* cmdExit;
    QList<QLineEdit*> txtFields; ///< by index; null where a form has no box

    bool mbEditMode = false;
    bool mbAddMode = false;
    bool mbLoading = false;
    /// Set with mbAddMode by Add; cleared by Save and Cancel. Starting the
    /// new row moves nowhere, so the form keeps this flag itself.
    bool mbNewRow = false;
    int mvSavedBookmark = 0; ///< 0 = none saved; never cleared once set

private:
    void cmdFirst_Click();
    void cmdPrevious_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdRefresh_Click();
    void cmdClose_Click();
    void adoPrimaryRS_MoveComplete();

    /// Presses a button the way a key does: only when it can be pressed.
    static bool press(QPushButton* button);
    bool isField(QWidget* w) const;

    Options options_;
    RowSet* primaryRS_;
    QGridLayout* fields_;
    QHash<int, QString> formats_; ///< display format by box index
    struct BoundColumn
    {
        BoundList* list;
        QString column;
        QString shown; ///< stored value shown for the current row
    };
    QList<BoundColumn> lists_;
    QStringList dataFields_; ///< column of each box, by index
    QStringList shownText_;  ///< what each box showed for the current row
    QList<int> typingLimit_; ///< by index; 0 = none
    QList<QWidget*> tabChain_;
    int fieldRows_ = 0;
    bool unloaded_ = false;
    bool keyPreview_ = true;
    bool swallowClick_ = false; ///< the press of a refused click was eaten; so is its release
};
