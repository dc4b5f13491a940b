#include "frmCargoRep.h"

#include "EgmExport.h"
#include "MyFunc.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

frmCargoRep::frmCargoRep(QWidget* parent)
    : OutputForm(QStringLiteral("frmCargoRep"), QStringLiteral("Generate XML File"),
                 QStringLiteral("Generate XML File"), {}, {},
                 {{"cmdPreview", "Generate XML File on Floppy"}, {"cmdEmail", "Email File"}},
                 parent)
{
    connect(button("cmdPreview"), &QPushButton::clicked, this, &frmCargoRep::cmdPreview_Click);
    connect(button("cmdEmail"), &QPushButton::clicked, this, &frmCargoRep::cmdEmail_Click);
}

bool frmCargoRep::writePair()
{
    return EgmExport::SaveXmlPair(EgmExport::cargoXmlPath(), EgmExport::containXmlPath(),
                                  txtFields[4]->text());
}

void frmCargoRep::cmdPreview_Click()
{
    if (!writePair())
        return;
    prompts().message(
        QStringLiteral("Files ") + QDir::toNativeSeparators(EgmExport::cargoXmlPath()) +
            QStringLiteral(" AND ") + QDir::toNativeSeparators(EgmExport::containXmlPath()) +
            QStringLiteral(" successfully saved"),
        Prompts::Buttons::Ok, Prompts::Icon::None);
}

void frmCargoRep::cmdEmail_Click()
{
    if (!writePair())
        return;
    // Cargo file first, container file second: the order agents receive the pair in.
    mailFiles({EgmExport::cargoXmlPath(), EgmExport::containXmlPath()});
}
