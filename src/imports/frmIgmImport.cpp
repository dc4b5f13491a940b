#include "frmIgmImport.h"

#include "IgmImport.h"
#include "MyFunc.h"

#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmIgmImport::frmIgmImport(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmIgmImport"));
    setWindowTitle(QStringLiteral("Import Igm File"));

    auto* head = MakeHeading(this, QStringLiteral("Import EGM File"));

    Text1 = MakeEdit(this, QStringLiteral("Text1"));
    Text1->setMinimumWidth(340);
    Command1 = MakeButton(this, QStringLiteral("Browse Cargo File"), QStringLiteral("Command1"));
    Command1->setMinimumWidth(Command1->sizeHint().width() + 16);
    // Shown for the clerk's reference; the import takes the vessel from the file.
    txtFields_4 = MakeEdit(this, QStringLiteral("txtFields_4"));
    txtFields_4->setFixedWidth(120);
    txtFields_5 = MakeEdit(this, QStringLiteral("txtFields_5"));
    txtFields_5->setFixedWidth(120);
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
        MakeLabel(this, QStringLiteral("Vessel Code"), QStringLiteral("lblLabels_4"), txtFields_4),
        1, 0);
    grid->addWidget(txtFields_4, 1, 1, Qt::AlignLeft);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("Voy No."), QStringLiteral("lblLabels_5"), txtFields_5), 2,
        0);
    grid->addWidget(txtFields_5, 2, 1, Qt::AlignLeft);
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
    setTabOrder(Command1, txtFields_4);
    setTabOrder(txtFields_4, txtFields_5);
    setTabOrder(txtFields_5, cmdImport);
    setTabOrder(cmdImport, cmdCancel);

    connect(Command1, &QPushButton::clicked, this, &frmIgmImport::Command1_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmIgmImport::cmdImport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { FormWindow(this)->close(); });
    InstallEnterAsTab(this);
    InstallEscCloses(this);
}

void frmIgmImport::Command1_Click()
{
    // A cancelled dialog leaves the box as it was.
    const QString chosen = prompts().openFile(QStringLiteral("Select EGM File Name"),
                                              QStringLiteral("*.egm"), QStringLiteral("*.egm"));
    if (!chosen.isEmpty())
        Text1->setText(QDir::toNativeSeparators(chosen));
}

void frmIgmImport::cmdImport_Click()
{
    const auto conn = logonState().Conn;
    if (!conn) {
        prompts().inform(QStringLiteral("No company is open: log on first."));
        return;
    }
    bool waiting = false;
    IgmImport::Request request;
    request.path = Text1->text();
    // The vessel line comes before the work: the wait cursor after it.
    request.showVesselLine = [&waiting](const QString& vesselLine) {
        prompts().inform(vesselLine);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        waiting = true;
    };
    const IgmImport::Outcome outcome = IgmImport::importFile(*conn, request);
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
    prompts().inform(outcome.message);
}
