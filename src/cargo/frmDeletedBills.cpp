#include "frmDeletedBills.h"

#include "DbError.h"
#include "LogonState.h"
#include "MyFunc.h"
#include "Prompts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

frmDeletedBills::frmDeletedBills(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmDeletedBills"));
    setWindowTitle(QStringLiteral("Deleted Shipping Bills"));
    auto* head = MakeHeading(this, QStringLiteral("Deleted Shipping Bills"));

    txtRotNo = MakeEdit(this, QStringLiteral("txtRotNo"));
    txtRotNo->setFixedWidth(140);
    txtRotNo->setToolTip(QStringLiteral("Empty: the deleted bills of every EGM"));
    cmdShow = MakeButton(this, QStringLiteral("&Show"), QStringLiteral("cmdShow"));
    cmdRestore = MakeButton(this, QStringLiteral("&Restore"), QStringLiteral("cmdRestore"));
    cmdExit = MakeButton(this, QStringLiteral("Close"), QStringLiteral("cmdExit"));
    auto* top = new QHBoxLayout;
    top->addWidget(
        MakeLabel(this, QStringLiteral("R&OT No."), QStringLiteral("lblRotNo"), txtRotNo));
    top->addWidget(txtRotNo);
    top->addWidget(cmdShow);
    top->addStretch(1);
    top->addWidget(cmdRestore);
    top->addWidget(cmdExit);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lstDeleted = new QTreeWidget(this);
    lstDeleted->setObjectName(QStringLiteral("lstDeleted"));
    lstDeleted->setRootIsDecorated(false);
    lstDeleted->setUniformRowHeights(true);
    lstDeleted->setAllColumnsShowFocus(true);
    lstDeleted->setHeaderLabels({QStringLiteral("ROT No."), QStringLiteral("SB No."),
                                 QStringLiteral("SB Date"), QStringLiteral("Containers"),
                                 QStringLiteral("Deleted by"), QStringLiteral("Deleted at")});
    lstDeleted->header()->setStretchLastSection(true);
    lstDeleted->setMinimumSize(620, 260);

    auto* layout = MakeFormLayout(this, head);
    layout->addLayout(top);
    layout->addWidget(lblCount);
    layout->addWidget(lstDeleted, 1);
    setTabOrder(txtRotNo, cmdShow);
    setTabOrder(cmdShow, lstDeleted);
    setTabOrder(lstDeleted, cmdRestore);
    setTabOrder(cmdRestore, cmdExit);

    connect(cmdShow, &QPushButton::clicked, this, &frmDeletedBills::refresh);
    connect(cmdRestore, &QPushButton::clicked, this, &frmDeletedBills::cmdRestore_Click);
    connect(cmdExit, &QPushButton::clicked, this, [this] { FormWindow(this)->close(); });
    connect(lstDeleted, &QTreeWidget::itemDoubleClicked, this, &frmDeletedBills::cmdRestore_Click);
    txtRotNo->installEventFilter(this);
    lstDeleted->installEventFilter(this);
    InstallEscCloses(this);
    ApplyAppearance(this);
    refresh();
    lstDeleted->setFocus();
}

bool frmDeletedBills::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == txtRotNo)
                refresh();
            else
                cmdRestore_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmDeletedBills::refresh()
{
    const QString rotNo = txtRotNo->text().trimmed();
    lstDeleted->clear();
    entries_.clear();
    try {
        entries_ = DeletedBills::list(
            *logonState().Conn, rotNo.isEmpty() ? std::nullopt : std::optional<QString>(rotNo));
    } catch (const DbError& e) {
        lblCount->setText(QString());
        prompts().warn(QStringLiteral("The deleted shipping bills could not be read: ") +
                       e.description());
        return;
    }
    QList<QTreeWidgetItem*> items;
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const DeletedBills::Entry& e = entries_[i];
        auto* item =
            new QTreeWidgetItem({e.rotNo, e.sbNo, e.sbDate.toString(QStringLiteral("dd/MM/yyyy")),
                                 QString::number(e.containers), e.deletedBy,
                                 e.deletedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm"))});
        item->setData(0, Qt::UserRole, qlonglong(i));
        items << item;
    }
    lstDeleted->addTopLevelItems(items);
    for (int c = 0; c < lstDeleted->columnCount() - 1; ++c)
        lstDeleted->resizeColumnToContents(c);
    if (!items.isEmpty())
        lstDeleted->setCurrentItem(items.first());
    cmdRestore->setEnabled(!items.isEmpty());
    lblCount->setText(entries_.isEmpty()
                          ? QStringLiteral("No deleted shipping bills")
                          : QStringLiteral("%1 deleted shipping bill%2, newest first")
                                .arg(entries_.size())
                                .arg(entries_.size() == 1 ? QString() : QStringLiteral("s")));
}

void frmDeletedBills::cmdRestore_Click()
{
    QTreeWidgetItem* item = lstDeleted->currentItem();
    if (!item)
        return;
    const DeletedBills::Entry e = entries_.value(item->data(0, Qt::UserRole).toLongLong());
    if (prompts().question(QStringLiteral("Restore shipping bill %1 of ROT No. %2 with %3 "
                                          "container(s)?")
                               .arg(e.sbNo, e.rotNo)
                               .arg(e.containers),
                           Prompts::Buttons::YesNo, Prompts::Yes, Prompts::Icon::Question,
                           QStringLiteral("Restore")) != Prompts::Yes)
        return;
    try {
        const qint64 id = DeletedBills::restore(*logonState().Conn, e.number, logonState().UserId);
        prompts().status(id == e.oldId
                             ? QStringLiteral("Restored shipping bill %1 of ROT No. %2 under its "
                                              "id %3")
                                   .arg(e.sbNo, e.rotNo)
                                   .arg(id)
                             : QStringLiteral("Restored shipping bill %1 of ROT No. %2 under the "
                                              "new id %3 (its id %4 is taken)")
                                   .arg(e.sbNo, e.rotNo)
                                   .arg(id)
                                   .arg(e.oldId));
    } catch (const DbError& e) {
        prompts().warn(QStringLiteral("The shipping bill was not restored: ") + e.description());
    }
    const int row = lstDeleted->indexOfTopLevelItem(item);
    refresh();
    if (QTreeWidgetItem* next =
            lstDeleted->topLevelItem(std::min(row, lstDeleted->topLevelItemCount() - 1)))
        lstDeleted->setCurrentItem(next);
}
