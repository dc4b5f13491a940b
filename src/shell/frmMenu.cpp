#include "frmMenu.h"

#include "MyFunc.h"
#include "Resources.h"
#include "Rights.h"
#include "RowSet.h"

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
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

    QMenu* reports = menuBar()->addMenu(QStringLiteral("&Reports"));
    reports->setObjectName(QStringLiteral("menReports"));
    addEntry(reports, QStringLiteral("menReports_0"), QStringLiteral("&Check-List Printing"), 11,
             QStringLiteral("frmCheckList"));
    addEntry(reports, QStringLiteral("menReports_1"), QStringLiteral("Generate Flat-File"), 12,
             QStringLiteral("frmVslRep"));
    addEntry(reports, QStringLiteral("menReports_2"), QStringLiteral("Generate XML File for Agent"),
             13, QStringLiteral("frmCargoRep"));

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("menWindow"));
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
        // Toolbar buttons are not subject to rights.
        connect(a, &QAction::triggered, this, [this, form] { openForm(form); });
    }

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
    sub->move(0, 0);
    sub->show();
    mdi_->setActiveSubWindow(sub);
    return form;
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

/// Rows (one above the other, full width) or columns (side by side).
void tile(QMdiArea* mdi, bool rows)
{
    QList<QMdiSubWindow*> subs;
    for (QMdiSubWindow* s : mdi->subWindowList())
        if (!s->isMinimized() && s->isVisible())
            subs << s;
    if (subs.isEmpty())
        return;
    const QRect area = mdi->viewport()->rect();
    const int n = int(subs.size());
    for (int i = 0; i < n; ++i) {
        subs[i]->showNormal();
        if (rows)
            subs[i]->setGeometry(0, i * (area.height() / n), area.width(), area.height() / n);
        else
            subs[i]->setGeometry(i * (area.width() / n), 0, area.width() / n, area.height());
    }
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
