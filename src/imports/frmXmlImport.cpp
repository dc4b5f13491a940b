#include "frmXmlImport.h"

#include "MyFunc.h"
#include "XmlImport.h"

#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

frmXmlImport::frmXmlImport(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmXmlImport"));
    setWindowTitle(QStringLiteral("Import Cargo / Container"));

    auto* head = MakeHeading(this, QStringLiteral("Import XML File"));

    Text1 = MakeEdit(this, QStringLiteral("Text1"));
    Text1->setMinimumWidth(340);
    Command1 = MakeButton(this, QStringLiteral("Browse Cargo File"), QStringLiteral("Command1"));
    Text2 = MakeEdit(this, QStringLiteral("Text2"));
    Command2 =
        MakeButton(this, QStringLiteral("Browse Container File"), QStringLiteral("Command2"));
    txtFields_4 = MakeEdit(this, QStringLiteral("txtFields_4"));
    txtFields_4->setFixedWidth(120);
    // Both browse buttons as wide as the wider caption needs, with room to spare.
    const int browseWidth =
        std::max(Command1->sizeHint().width(), Command2->sizeHint().width()) + 16;
    Command1->setMinimumWidth(browseWidth);
    Command2->setMinimumWidth(browseWidth);
    cmdImport = MakeButton(this, QStringLiteral("Import"), QStringLiteral("cmdImport"));
    cmdCancel = MakeButton(this, QStringLiteral("Close"), QStringLiteral("cmdCancel"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("Cargo File"), QStringLiteral("lblCargo"), Text1), 0, 0);
    grid->addWidget(Text1, 0, 1);
    grid->addWidget(Command1, 0, 2);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("Container File"), QStringLiteral("lblContainer"), Text2), 1,
        0);
    grid->addWidget(Text2, 1, 1);
    grid->addWidget(Command2, 1, 2);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("ROT No."), QStringLiteral("lblLabels_4"), txtFields_4), 2,
        0);
    grid->addWidget(txtFields_4, 2, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);

    auto* layout = MakeFormLayout(this, head);
    layout->addLayout(grid);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->addStretch(1);

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Text2);
    setTabOrder(Text2, Command2);
    setTabOrder(Command2, txtFields_4);
    setTabOrder(txtFields_4, cmdImport);
    setTabOrder(cmdImport, cmdCancel);

    connect(Command1, &QPushButton::clicked, this, [this] { browse(Text1); });
    connect(Command2, &QPushButton::clicked, this, [this] { browse(Text2); });
    connect(cmdImport, &QPushButton::clicked, this, &frmXmlImport::cmdImport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { FormWindow(this)->close(); });
    InstallEnterAsTab(this);
    InstallEscCloses(this);
}

void frmXmlImport::browse(QLineEdit* box)
{
    // The dialog has no title of its own; a cancelled dialog leaves the box
    // as it was.
    const QString chosen =
        prompts().openFile(QString(), QStringLiteral("XML Files (*.xml)"), QStringLiteral("*.xml"));
    if (!chosen.isEmpty())
        box->setText(QDir::toNativeSeparators(chosen));
}

void frmXmlImport::cmdImport_Click()
{
    const auto conn = logonState().Conn;
    if (!conn) {
        prompts().inform(QStringLiteral("No company is open: log on first."));
        return;
    }
    XmlImport::Request request;
    request.cargoPath = Text1->text();
    request.containerPath = Text2->text();
    request.rotNo = txtFields_4->text();
    request.confirmAgain = [&request](int stored, int incoming) {
        QGuiApplication::restoreOverrideCursor();
        const bool yes =
            prompts().question(XmlImport::importAgainQuestion(request.rotNo, stored, incoming),
                               Prompts::Buttons::YesNo, Prompts::No) == Prompts::Yes;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        return yes;
    };
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const XmlImport::Outcome outcome = XmlImport::importPair(*conn, request);
    QGuiApplication::restoreOverrideCursor();
    if (outcome.imported)
        prompts().inform(outcome.message + u'\n' + XmlImport::importedCounts(outcome));
    else if (!outcome.declined)
        prompts().inform(outcome.message);
}
