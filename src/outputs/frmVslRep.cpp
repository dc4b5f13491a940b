#include "frmVslRep.h"

#include "EgmCheck.h"
#include "EgmExport.h"
#include "MyFunc.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

frmVslRep::frmVslRep(QWidget* parent)
    : OutputForm(QStringLiteral("frmVslRep"), QStringLiteral("Generate Flat-File"),
                 QStringLiteral("Generate File"), {{5, "Date"}}, {},
                 {{"cmdPreview", "Generate on Floppy"}, {"cmdEmail", "Email File"}}, parent)
{
    connect(button("cmdPreview"), &QPushButton::clicked, this, &frmVslRep::cmdPreview_Click);
    connect(button("cmdEmail"), &QPushButton::clicked, this, &frmVslRep::cmdEmail_Click);
    // The date is read as the company master's dates are.
    txtFields[5]->setPlaceholderText(QStringLiteral("dd/mm/yyyy"));
}

QString frmVslRep::writeFile()
{
    const QString rotNo = txtFields[4]->text();
    QString error;
    const QString path = EgmExport::egmFilePath(rotNo, &error);
    if (path.isEmpty()) {
        prompts().warn(error);
        focusRotNo();
        return QString();
    }
    // What Customs would reject is shown before the file leaves the office.
    if (!EgmCheck::confirmFiling(rotNo, txtFields[5]->text()))
        return QString();
    if (!EgmExport::WriteEgmFile(path, rotNo, txtFields[5]->text()))
        return QString();
    return path;
}

void frmVslRep::cmdPreview_Click()
{
    const QString path = writeFile();
    if (path.isEmpty())
        return;
    const Prompts::Answer answer = prompts().message(
        QStringLiteral("File ") + QDir::toNativeSeparators(path) +
            QStringLiteral(" successfully is saved in Program Folder, Copy File to Floppy ? "),
        Prompts::Buttons::YesNo, Prompts::Icon::None);
    if (answer == Prompts::Yes)
        EgmExport::copyToRemovableMedia(path);
}

void frmVslRep::cmdEmail_Click()
{
    const QString path = writeFile();
    if (path.isEmpty())
        return;
    mailFiles({path});
}
