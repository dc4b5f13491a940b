#include "frmCheckEgm.h"

#include "AppPaths.h"
#include "DbError.h"
#include "EgmCheckReport.h"
#include "MyFunc.h"
#include "PrinterLand.h"
#include "ReportPrinting.h"
#include "SafeFile.h"
#include "ValueText.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column
{
    ColSeverity,
    ColSbNo,
    ColContainer,
    ColMessage,
};

QByteArray csvField(const QString& s)
{
    QByteArray b = s.toUtf8();
    if (b.contains(',') || b.contains('"') || b.contains('\n') || b.contains('\r'))
        b = '"' + b.replace("\"", "\"\"") + '"';
    return b;
}

} // namespace

frmCheckEgm::frmCheckEgm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmCheckEgm"));
    setWindowTitle(QStringLiteral("Check EGM"));
    auto* head = MakeHeading(this, QStringLiteral("Check EGM"));

    txtRotNo = MakeEdit(this, QStringLiteral("txtRotNo"));
    txtEgmDate = MakeEdit(this, QStringLiteral("txtEgmDate"));
    txtRotNo->setFixedWidth(140);
    txtEgmDate->setFixedWidth(140);
    txtEgmDate->setPlaceholderText(QStringLiteral("dd/mm/yyyy"));
    txtEgmDate->setToolTip(QStringLiteral("The EGM date the flat file will carry; empty: each "
                                          "bill's own"));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("&ROT No."), QStringLiteral("lblRotNo"), txtRotNo), 0, 0);
    grid->addWidget(txtRotNo, 0, 1, Qt::AlignLeft);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("EGM &Date"), QStringLiteral("lblEgmDate"), txtEgmDate), 1,
        0);
    grid->addWidget(txtEgmDate, 1, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);

    cmdCheck = MakeButton(this, QStringLiteral("&Check"), QStringLiteral("cmdCheck"));
    cmdPrint = MakeButton(this, QStringLiteral("&Print"), QStringLiteral("cmdPrint"));
    cmdPdf = MakeButton(this, QStringLiteral("Export P&DF"), QStringLiteral("cmdPdf"));
    cmdCsv = MakeButton(this, QStringLiteral("Export CS&V"), QStringLiteral("cmdCsv"));
    cmdExit = MakeButton(this, QStringLiteral("Close"), QStringLiteral("cmdExit"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCheck);
    buttons->addStretch(1);
    for (QPushButton* b : {cmdPrint, cmdPdf, cmdCsv, cmdExit})
        buttons->addWidget(b);

    lblResult = new QLabel(this);
    lblResult->setObjectName(QStringLiteral("lblResult"));
    lstFindings = new QTreeWidget(this);
    lstFindings->setObjectName(QStringLiteral("lstFindings"));
    lstFindings->setRootIsDecorated(false);
    lstFindings->setUniformRowHeights(true);
    lstFindings->setAllColumnsShowFocus(true);
    lstFindings->setHeaderLabels(EgmCheckReport::columnHeadings());
    lstFindings->header()->setStretchLastSection(true);
    lstFindings->setColumnWidth(ColSeverity, 80);
    lstFindings->setColumnWidth(ColSbNo, 90);
    lstFindings->setColumnWidth(ColContainer, 120);
    lstFindings->setMinimumSize(640, 260);

    auto* layout = MakeFormLayout(this, head);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addWidget(lblResult);
    layout->addWidget(lstFindings, 1);
    setTabOrder(txtRotNo, txtEgmDate);
    setTabOrder(txtEgmDate, cmdCheck);
    setTabOrder(cmdCheck, lstFindings);

    connect(cmdCheck, &QPushButton::clicked, this, &frmCheckEgm::cmdCheck_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmCheckEgm::cmdPrint_Click);
    connect(cmdPdf, &QPushButton::clicked, this, &frmCheckEgm::cmdPdf_Click);
    connect(cmdCsv, &QPushButton::clicked, this, &frmCheckEgm::cmdCsv_Click);
    connect(cmdExit, &QPushButton::clicked, this, [this] { FormWindow(this)->close(); });
    connect(lstFindings, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openFinding(item); });
    for (QWidget* w : {static_cast<QWidget*>(txtRotNo), static_cast<QWidget*>(txtEgmDate),
                       static_cast<QWidget*>(lstFindings)})
        w->installEventFilter(this);
    InstallEscCloses(this);
    setOutputsEnabled(false);
    ApplyAppearance(this);
    txtRotNo->setFocus();
}

void frmCheckEgm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    txtRotNo->setFocus(Qt::ActiveWindowFocusReason);
}

bool frmCheckEgm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return QWidget::eventFilter(watched, event);
    if (watched == lstFindings) {
        openFinding(lstFindings->currentItem());
    } else if (watched == txtRotNo) {
        txtEgmDate->setFocus(Qt::TabFocusReason);
    } else {
        cmdCheck->click();
    }
    return true;
}

void frmCheckEgm::setOutputsEnabled(bool enabled)
{
    for (QPushButton* b : {cmdPrint, cmdPdf, cmdCsv})
        b->setEnabled(enabled);
}

void frmCheckEgm::cmdCheck_Click()
{
    lstFindings->clear();
    findings_.clear();
    lblResult->clear();
    setOutputsEnabled(false);
    const QString rotNo = txtRotNo->text();
    std::optional<QDate> date;
    if (!txtEgmDate->text().trimmed().isEmpty()) {
        date = ValueText::parseDate(txtEgmDate->text());
        if (!date) {
            prompts().inform(QStringLiteral("Invalid EGM Date..."));
            txtEgmDate->setFocus();
            return;
        }
    }
    Database* db = logonState().Conn.get();
    if (!db) {
        prompts().fail(QStringLiteral("There is no open connection to the company database; log "
                                      "on first."));
        return;
    }
    EgmCheck::Egm egm;
    try {
        egm = EgmCheck::read(*db, rotNo, date);
    } catch (const DbError& e) {
        prompts().fail(QStringLiteral("The shipping bills of ROT No. %1 could not be read from "
                                      "the database:\n%2 %3")
                           .arg(rotNo.trimmed(), QString::number(e.number()), e.description()));
        return;
    }
    if (egm.bills.empty()) {
        prompts().inform(QStringLiteral("No related cargo information is available "));
        txtRotNo->setFocus();
        return;
    }
    findings_ = EgmCheck::check(egm);
    checkedRot_ = rotNo;
    checkedDate_ = date;
    lblResult->setText(EgmCheck::summary(rotNo, findings_));
    QList<QTreeWidgetItem*> items;
    items.reserve(findings_.size());
    for (int i = 0; i < findings_.size(); ++i) {
        const EgmCheck::Finding& f = findings_[i];
        auto* item = new QTreeWidgetItem({f.severityText(), f.sbNo, f.container, f.message});
        item->setData(ColSeverity, Qt::UserRole, i);
        item->setToolTip(ColMessage, f.message);
        if (f.isError())
            item->setForeground(ColSeverity, QColor(170, 0, 0));
        items << item;
    }
    lstFindings->addTopLevelItems(items);
    setOutputsEnabled(true);
    if (!items.isEmpty()) {
        lstFindings->setCurrentItem(items.first());
        lstFindings->setFocus();
    }
}

void frmCheckEgm::openFinding(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const int i = item->data(ColSeverity, Qt::UserRole).toInt();
    if (i >= 0 && i < findings_.size())
        emit billRequested(findings_[i].billId);
}

namespace {

std::unique_ptr<EgmCheckReport> reportOf(const QList<EgmCheck::Finding>& findings,
                                         const QString& rot, const std::optional<QDate>& date)
{
    return std::make_unique<EgmCheckReport>(
        findings,
        EgmCheckReport::Heading{ApplyHeadFont(logonState().CompanyName),
                                EgmCheckReport::titleFor(rot, date),
                                EgmCheck::summary(rot, findings), QDateTime::currentDateTime()},
        PrinterLand::fromIni().pageLayout());
}

} // namespace

void frmCheckEgm::cmdPrint_Click()
{
    ReportPrinting::print(*reportOf(findings_, checkedRot_, checkedDate_), PrinterLand::fromIni());
}

void frmCheckEgm::cmdPdf_Click()
{
    ReportPrinting::exportAs(*reportOf(findings_, checkedRot_, checkedDate_), ReportFormat::Pdf,
                             QStringLiteral("Check ") + checkedRot_.trimmed());
}

void frmCheckEgm::cmdCsv_Click()
{
    const QString path = prompts().saveFile(
        QStringLiteral("Export to CSV"), QStringLiteral("CSV files (*.csv)"),
        QDir(AppPaths::home())
            .filePath(QStringLiteral("Check ") + checkedRot_.trimmed() + QStringLiteral(".csv")));
    if (path.isEmpty())
        return;
    QString why;
    if (!SafeFile::save(path, csv(findings_), &why))
        prompts().fail(
            QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), why));
}

QByteArray frmCheckEgm::csv(const QList<EgmCheck::Finding>& findings)
{
    QByteArray out = "severity,sb_no,container,field,message\r\n";
    for (const EgmCheck::Finding& f : findings)
        out += csvField(f.severityText()) + ',' + csvField(f.sbNo) + ',' + csvField(f.container) +
               ',' + csvField(f.field) + ',' + csvField(f.message) + "\r\n";
    return out;
}
