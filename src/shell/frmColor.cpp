#include "frmColor.h"

#include "AppPaths.h"
#include "MyFunc.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmColor::frmColor(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmColor"));
    setWindowTitle(QStringLiteral("Colour Options"));
    auto* head = MakeHeading(this, QStringLiteral("Colour Setup"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMinimumWidth(360);
    Command1 = new QPushButton(QStringLiteral("Load Skin"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("Skin File"), this));
    pathRow->addWidget(Text1, 1);
    pathRow->addWidget(Command1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(head);
    layout->addLayout(pathRow);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &frmColor::Command1_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmColor::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { FormWindow(this)->close(); });
    InstallEnterAsTab(this);

    Text1->setText(ReadIni(QStringLiteral("Skin"), QStringLiteral("Skin")));
}

void frmColor::Command1_Click()
{
    QString dir = QFileInfo(Text1->text()).absolutePath();
    if (Text1->text().isEmpty())
        dir = AppPaths::file(QStringLiteral("skins"));
    const QString chosen =
        prompts().openFile(QStringLiteral("Select Skin File Name"),
                           QStringLiteral("Skin Files (*.skn)"), QStringLiteral("*.skn"), dir);
    if (!chosen.isEmpty())
        Text1->setText(QDir::toNativeSeparators(chosen));
}

void frmColor::cmdSave_Click()
{
    WriteIni(QStringLiteral("Skin"), QStringLiteral("Skin"), Text1->text());
    LoadSkin(Text1->text());
    ApplyAppearanceEverywhere();
    FormWindow(this)->close();
}
