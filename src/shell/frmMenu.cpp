#include "frmMenu.h"

#include "MyFunc.h"
#include "Resources.h"
#include "Rights.h"
#include "RowSet.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString plainCaption(QString caption)
{
    return caption.remove(u'&');
}

/// Stands in for a screen that this build does not have yet.
QWidget* placeholder(const QString& formName, const QString& caption)
{
    auto* w = new QWidget;
    w->setObjectName(formName);
    w->setWindowTitle(caption);
    auto* layout = new QVBoxLayout(w);
    auto* label =
        new QLabel(QStringLiteral("%1 is not available in this version.").arg(caption), w);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    w->resize(420, 160);
    return w;
}

} // namespace

frmMenu::frmMenu(QWidget* parent) : QMainWindow(parent)
{
    InitResources();
    setObjectName(QStringLiteral("frmMenu"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarvex.png")));
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("MDIArea"));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menFile"));
    addEntry(file, QStringLiteral("menFile_0"), QStringLiteral("&Company Master"), 0,
             QStringLiteral("frmCompany"));
    addEntry(file, QStringLiteral("menFile_1"), QStringLiteral("&Port Code Setup"), 1, QString())
        ->setVisible(false);
    addEntry(file, QStringLiteral("menFile_2"), QStringLiteral("-"), -1, QString());
    addEntry(file, QStringLiteral("menFile_3"), QStringLiteral("Cargo Information"), 3,
             QStringLiteral("frmCargo"));
    addEntry(file, QStringLiteral("menFile_4"), QStringLiteral("-"), -1, QString());
    connect(addEntry(file, QStringLiteral("menFile_5"), QStringLiteral("E&xit"), -1, QString()),
            &QAction::triggered, this, &frmMenu::exitRequested);
    connect(addEntry(file, QStringLiteral("menFile_6"), QStringLiteral("&Logout"), -1, QString()),
            &QAction::triggered, this, &frmMenu::logoutRequested);

    QMenu* house = menuBar()->addMenu(QStringLiteral("&House Keeping"));
    house->setObjectName(QStringLiteral("menHouse"));
    addEntry(house, QStringLiteral("menHouse_0"), QStringLiteral("&Change Colour"), 7,
             QStringLiteral("frmColor"));
    addEntry(house, QStringLiteral("menHouse_1"), QStringLiteral("&User Master"), 8,
             QStringLiteral("frmUser"));
    addEntry(house, QStringLiteral("menHouse_2"), QStringLiteral("&System Parameter"), 9,
             QStringLiteral("frmSyspara"));
    addEntry(house, QStringLiteral("menHouse_3"), QStringLiteral("Import XML Files"), 10,
             QStringLiteral("frmXmlImport"));
    addEntry(house, QStringLiteral("menHouse_4"), QStringLiteral("-"), -1, QString());
    connect(
        addEntry(house, QStringLiteral("menHouse_5"), QStringLiteral("&Backup Now"), 15, QString()),
        &QAction::triggered, this, &frmMenu::backupRequested);
    connect(
        addEntry(house, QStringLiteral("menHouse_6"), QStringLiteral("&Restore"), 16, QString()),
        &QAction::triggered, this, &frmMenu::restoreRequested);
    addEntry(house, QStringLiteral("menHouse_7"), QStringLiteral("&Deleted Shipping Bills"), 17,
             QStringLiteral("frmDeletedBills"));

    QMenu* reports = menuBar()->addMenu(QStringLiteral("&Reports"));
    reports->setObjectName(QStringLiteral("menReports"));
    addEntry(reports, QStringLiteral("menReports_0"), QStringLiteral("&Check-List Printing"), 11,
             QStringLiteral("frmCheckList"));
    addEntry(reports, QStringLiteral("menReports_1"), QStringLiteral("Generate Flat-File"), 12,
             QStringLiteral("frmVslRep"));
    addEntry(reports, QStringLiteral("menReports_2"), QStringLiteral("Generate XML File for Agent"),
             13, QStringLiteral("frmCargoRep"));
    QAction* checkEgm = addEntry(reports, QStringLiteral("menReports_3"),
                                 QStringLiteral("Check &EGM"), 14, QStringLiteral("frmCheckEgm"));

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("menWindow"));
    windowMenu_ = window;
    connect(
        addEntry(window, QStringLiteral("menWindow_0"), QStringLiteral("&Casacade"), -1, QString()),
        &QAction::triggered, this, &frmMenu::cascade);
    connect(addEntry(window, QStringLiteral("menWindow_1"), QStringLiteral("&Tile Horizontal"), -1,
                     QString()),
            &QAction::triggered, this, &frmMenu::tileHorizontal);
    connect(addEntry(window, QStringLiteral("menWindow_2"), QStringLiteral("&Tile Vertical"), -1,
                     QString()),
            &QAction::triggered, this, &frmMenu::tileVertical);
    addEntry(window, QStringLiteral("menWindow_3"), QStringLiteral("&Information Window"), -1,
             QString());
    addEntry(window, QStringLiteral("menWindow_4"), QStringLiteral("Import IGM File"), -1,
             QStringLiteral("frmIgmImport"));
    // Alt+H stays House Keeping's.
    QMenu* help = menuBar()->addMenu(QStringLiteral("Hel&p"));
    help->setObjectName(QStringLiteral("menHelp"));
    addEntry(help, QStringLiteral("menHelp_0"), QStringLiteral("&About Tarvex"), -1,
             QStringLiteral("frmAbout"));
    connect(window, &QMenu::aboutToShow, this, &frmMenu::updateWindowList);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &frmMenu::updateWindowList);
    qApp->installEventFilter(this);

    // Load, in order: caption, skin, the check-list's row set, toolbar, colours.
    setWindowTitle(QStringLiteral("Tarvex (Ver %1)").arg(QStringLiteral(TARVEX_VERSION)));
    LoadSkin(ReadIni(QStringLiteral("Skin"), QStringLiteral("Skin")));
    ApplySkin(this);
    reportRs_ = new RowSet(this);
    reportRs_->setObjectName(QStringLiteral("ReportRS"));
    SetReportRS(reportRs_);

    QToolBar* bar = addToolBar(QStringLiteral("Toolbar"));
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setIconSize(QSize(32, 32));
    bar->setMovable(false);
    const struct
    {
        const char* icon;
        const char* tip;
        const char* form;
    } buttons[] = {
        {"cargo", "Cargo Information", "frmCargo"},
        {"checklist", "Check-List Printing", "frmCheckList"},
        {"xmlfile", "Generate XML File", "frmCargoRep"},
        {"flatfile", "Generate Flat File", "frmVslRep"},
    };
    int n = 1;
    for (const auto& b : buttons) {
        QAction* a =
            bar->addAction(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(b.icon))),
                           QString::fromLatin1(b.tip));
        a->setObjectName(QStringLiteral("Toolbar1_%1").arg(n++));
        a->setToolTip(QString::fromLatin1(b.tip));
        const QString form = QString::fromLatin1(b.form);
        connect(a, &QAction::triggered, this, [this, form] { openForm(form); });
        // A button opens no more than its menu entry does: it follows that
        // entry's rights, wherever and whenever they are applied.
        if (QAction* entry = formEntries_.value(form)) {
            a->setEnabled(entry->isEnabled());
            connect(entry, &QAction::enabledChanged, a, &QAction::setEnabled);
        }
    }

    // Check EGM: a button of its own that follows the rights of its menu entry.
    QAction* checkButton =
        bar->addAction(QIcon(QStringLiteral(":/icons/checkegm.png")), QStringLiteral("Check EGM"));
    checkButton->setObjectName(QStringLiteral("Toolbar1_%1").arg(n++));
    checkButton->setToolTip(QStringLiteral("Check EGM"));
    checkButton->setEnabled(checkEgm->isEnabled());
    connect(checkButton, &QAction::triggered, this,
            [this] { openForm(QStringLiteral("frmCheckEgm")); });
    connect(checkEgm, &QAction::enabledChanged, checkButton, &QAction::setEnabled);

    QStatusBar* status = statusBar();
    status->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 1; i <= 6; ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatusBar1_Panel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
        status->addPermanentWidget(panel, i == 5 ? 2 : 1);
        panels_ << panel;
    }
    panels_[0]->setText(QStringLiteral("Ready"));
    panels_[1]->setText(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    panels_[3]->setText(QStringLiteral("Ver %1").arg(QStringLiteral(TARVEX_VERSION)));

    ApplyAppearance(this);
    resize(1024, 720);
}

frmMenu::~frmMenu()
{
    // The screens close after the menus are gone: no list to update then.
    disconnect(mdi_, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    if (ReportRS() == reportRs_)
        SetReportRS(nullptr);
}

QAction* frmMenu::addEntry(QMenu* menu, const QString& name, const QString& caption, int code,
                           const QString& formName)
{
    QAction* a = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
    a->setObjectName(name);
    entries_ << Entry{a, code};
    if (!formName.isEmpty()) {
        captions_.insert(formName, plainCaption(caption));
        formEntries_.insert(formName, a);
        connect(a, &QAction::triggered, this, [this, formName] { openForm(formName); });
    }
    return a;
}

void frmMenu::registerForm(const QString& formName, Factory factory)
{
    factories_.insert(formName, std::move(factory));
}

QWidget* frmMenu::openedForm(const QString& formName) const
{
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (sub->widget() && sub->widget()->objectName() == formName)
            return sub->widget();
    return nullptr;
}

QWidget* frmMenu::openForm(const QString& formName)
{
    if (QWidget* open = openedForm(formName)) {
        auto* sub = qobject_cast<QMdiSubWindow*>(open->parentWidget());
        if (sub->isMinimized())
            sub->showNormal();
        mdi_->setActiveSubWindow(sub);
        sub->raise();
        return open;
    }
    const auto factory = factories_.value(formName);
    QWidget* form = factory ? factory() : nullptr;
    if (!form)
        form = placeholder(formName, captions_.value(formName, formName));
    if (form->objectName().isEmpty())
        form->setObjectName(formName);
    QMdiSubWindow* sub = mdi_->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setObjectName(formName + QStringLiteral("Window"));
    sub->setWindowIcon(form->windowIcon().isNull() ? windowIcon() : form->windowIcon());
    ApplySkin(sub);
    sub->adjustSize();
    // Below its layout's minimum a screen cuts its captions and crushes its
    // boxes; the window never gets smaller than that.
    sub->setMinimumSize(sub->minimumSizeHint());
    sub->move(0, 0);
    sub->show();
    mdi_->setActiveSubWindow(sub);
    return form;
}

bool frmMenu::showBill(qint64 id)
{
    // Cargo Information finds the bill itself; its slot is looked up by
    // name so that the two screens know nothing of each other.
    QWidget* cargo = openForm(QStringLiteral("frmCargo"));
    bool shown = false;
    if (!cargo || !QMetaObject::invokeMethod(cargo, "showBill", Qt::DirectConnection,
                                             Q_RETURN_ARG(bool, shown), Q_ARG(qint64, id)))
        return false;
    return shown;
}

void frmMenu::closeForms()
{
    mdi_->closeAllSubWindows();
}

void frmMenu::showStatus(const QString& text)
{
    panels_[0]->setText(text);
}

void frmMenu::updateWindowList()
{
    // An entry of the list may be the one being triggered: it goes later.
    for (QAction* a : std::as_const(windowList_)) {
        windowMenu_->removeAction(a);
        a->deleteLater();
    }
    windowList_.clear();
    QList<QMdiSubWindow*> open;
    const auto subs = mdi_->subWindowList();
    for (QMdiSubWindow* sub : subs)
        if (!sub->isHidden())
            open << sub;
    if (open.isEmpty())
        return;
    QAction* rule = windowMenu_->addSeparator();
    rule->setObjectName(QStringLiteral("menWindowList_0"));
    windowList_ << rule;
    for (int i = 0; i < open.size(); ++i) {
        QMdiSubWindow* sub = open[i];
        const QString number = QString::number(i + 1);
        QAction* a = windowMenu_->addAction((i < 9 ? QStringLiteral("&") : QString()) + number +
                                            u' ' + sub->windowTitle());
        a->setObjectName(QStringLiteral("menWindowList_") + number);
        a->setCheckable(true);
        a->setChecked(sub == mdi_->currentSubWindow());
        connect(a, &QAction::triggered, this, [this, sub] {
            if (sub->isMinimized())
                sub->showNormal();
            mdi_->setActiveSubWindow(sub);
        });
        windowList_ << a;
    }
}

QWidget* frmMenu::screenMnemonic(int key) const
{
    QMdiSubWindow* sub = mdi_->currentSubWindow();
    if (!sub || !sub->widget())
        return nullptr;
    const QKeyCombination wanted(Qt::AltModifier, Qt::Key(key));
    const auto matches = [&](const QString& text) {
        const QKeySequence m = QKeySequence::mnemonic(text);
        return !m.isEmpty() && m[0] == wanted;
    };
    QWidget* found = nullptr;
    const auto controls = sub->widget()->findChildren<QWidget*>();
    for (QWidget* w : controls) {
        if (!w->isVisible())
            continue;
        QWidget* target = nullptr;
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && matches(button->text()))
            target = button;
        else if (auto* label = qobject_cast<QLabel*>(w);
                 label && label->buddy() && matches(label->text()))
            target = label;
        if (!target)
            continue;
        // A visible control owns its letter even while disabled: the key
        // then does nothing rather than open a menu the clerk did not mean.
        if (target->isEnabled())
            return target;
        found = found ? found : target;
    }
    return found;
}

void frmMenu::focusActiveScreen()
{
    // (The current screen: while a menu was open, none counted as active.)
    QMdiSubWindow* sub = mdi_->currentSubWindow();
    if (!sub || !sub->widget() || QApplication::activePopupWidget())
        return;
    if (QWidget* f = QApplication::focusWidget(); f && sub->isAncestorOf(f))
        return;
    QWidget* target = sub->widget()->focusWidget();
    if (!target)
        target = sub->widget();
    target->setFocus(Qt::OtherFocusReason);
}

bool frmMenu::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !watched->isWidgetType())
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    auto* w = static_cast<QWidget*>(watched);

    if (type == QEvent::KeyPress && key->key() == Qt::Key_Escape) {
        auto* menu = qobject_cast<QMenu*>(w);
        if (menu && menuBar()->actions().contains(menu->menuAction())) {
            // The menu closes and leaves the menu bar in keyboard mode; the
            // next Esc belongs to the screen, as it did before the menu opened.
            QTimer::singleShot(0, this, [this] {
                if (QApplication::activePopupWidget())
                    return;
                if (menuBar()->hasFocus()) {
                    QKeyEvent leave(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(menuBar(), &leave);
                }
                focusActiveScreen();
            });
        }
        return QMainWindow::eventFilter(watched, event);
    }

    if (key->modifiers() != Qt::AltModifier || w->window() != this || menuBar()->isAncestorOf(w) ||
        w == menuBar())
        return QMainWindow::eventFilter(watched, event);
    QWidget* target = screenMnemonic(key->key());
    if (!target)
        return QMainWindow::eventFilter(watched, event);
    // Taken from the menu bar's shortcuts; the key press then comes here.
    event->accept();
    if (type == QEvent::KeyPress && target->isEnabled()) {
        if (auto* button = qobject_cast<QAbstractButton*>(target)) {
            button->setFocus(Qt::ShortcutFocusReason);
            button->click();
        } else if (auto* label = qobject_cast<QLabel*>(target)) {
            label->buddy()->setFocus(Qt::ShortcutFocusReason);
        }
    }
    return true;
}

void frmMenu::applyMenuRights()
{
    const LogonState& st = logonState();
    for (const Entry& e : entries_)
        if (e.code >= 0 && !e.action->isSeparator())
            e.action->setEnabled(Rights::menuAllowed(st.MRights, e.code));
    panels_[2]->setText(st.DataSource);
    panels_[4]->setText(st.CompanyName);
    panels_[5]->setText(QStringLiteral("User : ") + st.UserId);
}

void frmMenu::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        applyMenuRights();
}

void frmMenu::closeEvent(QCloseEvent* event)
{
    mdi_->closeAllSubWindows();
    reportRs_->close();
    logonState().Conn.reset();
    event->accept();
    emit closed();
}

void frmMenu::cascade()
{
    mdi_->cascadeSubWindows();
}

namespace {

/// Rows (one above the other, full width) or columns (side by side), each
/// an equal share of the workspace or its minimum size, whichever is larger;
/// what does not fit is reached by scrolling.
void tile(QMdiArea* mdi, bool rows)
{
    QList<QMdiSubWindow*> subs;
    const auto all = mdi->subWindowList();
    for (QMdiSubWindow* s : all)
        if (!s->isMinimized() && s->isVisible())
            subs << s;
    if (subs.isEmpty())
        return;
    QMdiSubWindow* active = mdi->currentSubWindow();
    const QRect area = mdi->viewport()->rect();
    const int n = int(subs.size());
    int at = 0;
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* s = subs[i];
        s->showNormal();
        const QSize least = s->minimumSize().expandedTo(s->minimumSizeHint());
        QRect r;
        if (rows) {
            const int share = area.height() / n + (i < area.height() % n ? 1 : 0);
            r = QRect(0, at, std::max(area.width(), least.width()),
                      std::max(share, least.height()));
            at += r.height();
        } else {
            const int share = area.width() / n + (i < area.width() % n ? 1 : 0);
            r = QRect(at, 0, std::max(share, least.width()),
                      std::max(area.height(), least.height()));
            at += r.width();
        }
        s->setGeometry(r);
    }
    // Restoring a window activates it: the screen in use stays the active one.
    if (active)
        mdi->setActiveSubWindow(active);
}

} // namespace

void frmMenu::tileHorizontal()
{
    tile(mdi_, true);
}

void frmMenu::tileVertical()
{
    tile(mdi_, false);
}
