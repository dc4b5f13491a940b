#include "frmHistory.h"

#include "MyFunc.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

frmHistory::frmHistory(const QString& title, const QList<BillHistory::Entry>& entries,
                       QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));
    lblBill =
        new QLabel(entries.isEmpty() ? title + QStringLiteral(": no changes kept") : title, this);
    lblBill->setObjectName(QStringLiteral("lblBill"));

    grdHistory = new QTableWidget(int(entries.size()), 4, this);
    grdHistory->setObjectName(QStringLiteral("grdHistory"));
    grdHistory->setHorizontalHeaderLabels({QStringLiteral("When"), QStringLiteral("Who"),
                                           QStringLiteral("What"), QStringLiteral("Changes")});
    grdHistory->verticalHeader()->hide();
    grdHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdHistory->setWordWrap(true);
    for (int r = 0; r < entries.size(); ++r) {
        const BillHistory::Entry& e = entries[r];
        const QStringList cells{e.at.toString(QStringLiteral("dd/MM/yyyy HH:mm")), e.user,
                                BillHistory::kindText(e.kind), e.changes};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
            grdHistory->setItem(r, c, item);
        }
    }
    grdHistory->horizontalHeader()->setStretchLastSection(true);
    grdHistory->resizeColumnsToContents();
    grdHistory->resizeRowsToContents();

    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblBill);
    layout->addWidget(grdHistory, 1);
    layout->addLayout(buttons);
    resize(640, 360);
    ApplyAppearance(this);
}
