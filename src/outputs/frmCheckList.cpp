#include "frmCheckList.h"

#include "AppPaths.h"
#include "CheckList.h"
#include "CheckListReport.h"
#include "MyFunc.h"
#include "ReportPrinting.h"
#include "RowSet.h"
#include "ValueText.h"
#include "frmPrint.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

frmCheckList::frmCheckList(QWidget* parent)
    : OutputForm(QStringLiteral("frmCheckList"), QStringLiteral("Check-List Printing"),
                 QStringLiteral("Check-List Printing"), {}, {{"Check1", "Print Previewd Report"}},
                 {{"cmdPrint", "Print Preview"},
                  {"cmdDprint", "Print Report"},
                  {"cmdPsetup", "Printer Setup"},
                  {"cmdEmail", "Email Report"}},
                 parent),
      printerDialog_(&ReportPrinting::setUp)
{
    connect(button("cmdPrint"), &QPushButton::clicked, this, &frmCheckList::cmdPrint_Click);
    connect(button("cmdDprint"), &QPushButton::clicked, this, &frmCheckList::cmdDprint_Click);
    connect(button("cmdPsetup"), &QPushButton::clicked, this, &frmCheckList::cmdPsetup_Click);
    connect(button("cmdEmail"), &QPushButton::clicked, this, &frmCheckList::cmdEmail_Click);
    // The rest of the load: the printer, paper and orientation remembered.
    printer_ = PrinterLand::fromIni();
}

frmCheckList::~frmCheckList() = default;

void frmCheckList::showEvent(QShowEvent* event)
{
    OutputForm::showEvent(event);
    // At the top of the main window, across its middle.
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!placed_ && sub && sub->mdiArea()) {
        placed_ = true;
        const int room = sub->mdiArea()->viewport()->width();
        sub->move(std::max(0, (room - sub->width()) / 2), 0);
    }
}

RowSet& frmCheckList::rows()
{
    if (RowSet* shared = ReportRS())
        return *shared;
    if (!ownRows_)
        ownRows_ = std::make_unique<RowSet>();
    return *ownRows_;
}

std::unique_ptr<CheckListReport> frmCheckList::prepareReport()
{
    RowSet& set = rows();
    // Ticked before anything was loaded, there is nothing to use again.
    if (!checkBox("Check1")->isChecked() || !set.isOpen()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool read = CheckList::LoadCheckListRows(set, txtFields[4]->text());
        QApplication::restoreOverrideCursor();
        // The failure has been shown: an EGM that could not be read is not an empty one.
        if (!read)
            return nullptr;
    }
    return CheckListReport::forRows(set, txtFields[4]->text(), printer_.pageLayout());
}

void frmCheckList::cmdPrint_Click()
{
    std::shared_ptr<const PagedReport> report = prepareReport();
    if (report)
        frmPrint::showReport(this, std::move(report), QStringLiteral("Check-List"));
}

void frmCheckList::cmdDprint_Click()
{
    if (const auto report = prepareReport())
        ReportPrinting::print(*report, printer_);
}

void frmCheckList::cmdPsetup_Click()
{
    const std::optional<PrinterLand> chosen = printerDialog_(this, printer_);
    if (!chosen)
        return;
    printer_ = *chosen;
    printer_.toIni();
}

void frmCheckList::cmdEmail_Click()
{
    const auto report = prepareReport();
    if (!report)
        return;
    const QString eformat = ReadIni(QStringLiteral("Database"), QStringLiteral("Eformat"));
    ReportFormat format = ReportFormat::Rtf;
    if (!ValueText::isNumber(eformat)) {
        prompts().message(
            (eformat.isEmpty()
                 ? QStringLiteral("The e-mail format is not set")
                 : QStringLiteral("The e-mail format \"%1\" is not a number").arg(eformat)) +
                QStringLiteral(" (Tarvex.ini, section [Database], key Eformat: 0 for RTF, 1 for "
                               "PDF). The check-list is sent as RTF."),
            Prompts::Buttons::Ok, Prompts::Icon::Warning);
    } else if (ValueText::leadingNumber(eformat) != 0) {
        format = ReportFormat::Pdf;
    }
    // One name whatever the format: what the other end has always received.
    const QString path = AppPaths::file(QStringLiteral("Ledger.rtf"));
    QString error;
    if (!saveReport(*report, format, path, &error)) {
        prompts().fail(error);
        return;
    }
    MailMessage mail = typedMail({path});
    mail.cc = txtFields[1]->text();
    MailDispatch(mail);
}
