#pragma once

#include <QHash>
#include <QMainWindow>
#include <functional>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class RowSet;

/// The main window: menus, toolbar and status bar over a multiple-document
/// area that holds every other screen. Menu entries follow the logged-on
/// user's menu rights each time the window becomes active.
class frmMenu : public QMainWindow
{
    Q_OBJECT

public:
    using Factory = std::function<QWidget*()>;

    explicit frmMenu(QWidget* parent = nullptr);
    ~frmMenu() override;

    /// Screens are made by factories that the program registers by form name
    /// (frmCompany, frmCargo, frmColor, frmUser, frmSyspara, frmXmlImport,
    /// frmCheckList, frmVslRep, frmCargoRep, frmIgmImport). A menu entry
    /// without one opens a placeholder window titled with its caption.
    void registerForm(const QString& formName, Factory factory);
    /// Opens a screen as a child window, or brings it to the front when it
    /// is open already. Returns the screen.
    QWidget* openForm(const QString& formName);
    /// The open screen of that name, or null.
    QWidget* openedForm(const QString& formName) const;
    QMdiArea* mdiArea() const { return mdi_; }

    /// Opens Cargo Information on the shipping bill of that id (its slot
    /// "bool showBill(qint64)"); false when the screen has no such slot or
    /// does not find the bill. Screens that list bills ask for one this way.
    Q_SLOT bool showBill(qint64 id);

    /// Menu rights on the entries and the company and user in the status bar.
    void applyMenuRights();
    /// Closes every open screen as its own Close would (each screen's rule
    /// for a change not yet saved applies; a screen may stay open).
    void closeForms();
    /// A line in the first panel of the status bar.
    void showStatus(const QString& text);

    /// Screens never get smaller than their minimum size: tiling and
    /// cascading leave the rest to the workspace's scroll bars.
    void cascade();
    void tileHorizontal();
    void tileVertical();

signals:
    void exitRequested();
    void logoutRequested();
    /// House Keeping > Backup Now and Restore.
    void backupRequested();
    void restoreRequested();
    /// The main window closed: the program ends.
    void closed();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    /// The active screen's mnemonics before the menu bar's; Esc in a menu
    /// gives the focus back to the active screen.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry
    {
        QAction* action = nullptr;
        int code = -1; ///< menu right code, -1 when no right applies
    };
    QAction* addEntry(QMenu* menu, const QString& name, const QString& caption, int code,
                      const QString& formName);
    /// The Window menu's list of the open screens, the active one checked.
    void updateWindowList();
    /// The control of the active screen whose mnemonic is Alt + key, or null.
    QWidget* screenMnemonic(int key) const;
    void focusActiveScreen();

    QMdiArea* mdi_;
    QList<Entry> entries_;
    QHash<QString, Factory> factories_;
    QHash<QString, QString> captions_;
    QHash<QString, QAction*> formEntries_; ///< the menu entry that opens each screen
    QList<QLabel*> panels_;
    QMenu* windowMenu_;
    QList<QAction*> windowList_;
    RowSet* reportRs_;
};
