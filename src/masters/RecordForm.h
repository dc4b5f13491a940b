#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class DbError;
class QGridLayout;
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
    /// A labelled line of the form holding widgets side by side; an empty
    /// caption continues the box column under the line above. The widgets
    /// join the tab order in the order the lines are added.
    void addRow(const QString& caption, const QList<QWidget*>& widgets);
    QGridLayout* fieldsLayout() const { return fields_; }

    /// Rights, opening the rows, binding the boxes, the first row shown,
    /// appearance; an error is reported as "number description" and the form
    /// stays open with what was done.
    void load();

    // --- the hooks

    /// Opens the rows of the form (on its table or query). Throws DbError.
    virtual void openRows(RowSet& rs) = 0;
    /// Right after the rows are open, before the boxes are bound.
    virtual void rowsOpened() {}
    /// Add: after the move to the last row, before the new row starts.
    virtual void beforeAddNew() {}
    /// Add: the new row stands and its empty boxes are shown.
    virtual void afterAddNew() {}
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

    void SetBrowseMode(bool browse);
    void showPosition();
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
    int mvSavedBookmark = 0; ///< 0 = none saved; never cleared once set

private:
    void cmdFirst_Click();
    void cmdPrevious_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdUpdate_Click();
    void cmdCancel_Click();
    void cmdDelete_Click();
    void cmdRefresh_Click();
    void cmdClose_Click();
    void adoPrimaryRS_MoveComplete();

    /// Presses a button the way a key does: only when it can be pressed.
    static bool press(QPushButton* button);

    Options options_;
    RowSet* primaryRS_;
    QGridLayout* fields_;
    QStringList dataFields_; ///< column of each box, by index
    QStringList shownText_;  ///< what each box showed for the current row
    QList<QWidget*> tabChain_;
    int fieldRows_ = 0;
    bool unloaded_ = false;
};
