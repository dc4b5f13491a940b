#include "frmSyspara.h"
#include "Resources.h"

#include "MyFunc.h"
#include "ValueText.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QComboBox* listBox(QWidget* parent, const QString& name, const QStringList& entries)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    // A typed text stays a typed text; it never becomes a new entry.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(entries);
    box->setMinimumWidth(150);
    return box;
}

/// The stored position; a value only a hand-edited file can hold picks the
/// first entry.
void selectStored(QComboBox* box, const QString& stored)
{
    const int position = int(ValueText::leadingNumber(stored));
    box->setCurrentIndex(position >= -1 && position < box->count() ? position : 0);
}

} // namespace

frmSyspara::frmSyspara(QWidget* parent) : QWidget(parent)
{
    InitResources();
    setObjectName(QStringLiteral("frmSyspara"));
    setWindowTitle(QStringLiteral("System Parameters"));

    auto* head = MakeHeading(this, QStringLiteral("System Parameters"));

    Combo1 =
        listBox(this, QStringLiteral("Combo1"), {QStringLiteral("RTF"), QStringLiteral("PDF")});
    Combo2 = listBox(this, QStringLiteral("Combo2"),
                     {QStringLiteral("SCREEN"), QStringLiteral("PRINTER")});
    txtFont = new QLineEdit(QStringLiteral("Times New Roman"), this);
    txtFont->setObjectName(QStringLiteral("txtFont"));
    txtFont->setMinimumWidth(220);
    txtSize = new QLineEdit(QStringLiteral("20"), this);
    txtSize->setObjectName(QStringLiteral("txtSize"));
    txtSize->setFixedWidth(56);
    cmdExit = new QPushButton(this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setIcon(QIcon(QStringLiteral(":/icons/door.png")));
    cmdExit->setIconSize(QSize(20, 20));
    cmdExit->setFixedSize(36, 30);
    cmdExit->setToolTip(QStringLiteral("Close the form"));
    cmdExit->setAccessibleName(QStringLiteral("Close the form"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("Email Format"), QStringLiteral("lblEformat"), Combo1), 0,
        0);
    grid->addWidget(Combo1, 0, 1, Qt::AlignLeft);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("Bill Output"), QStringLiteral("lblOutput"), Combo2), 1, 0);
    grid->addWidget(Combo2, 1, 1, Qt::AlignLeft);
    grid->addWidget(
        MakeLabel(this, QStringLiteral("Heading Font"), QStringLiteral("lblFont"), txtFont), 2, 0);
    auto* font = new QHBoxLayout;
    font->setSpacing(8);
    font->addWidget(txtFont);
    font->addWidget(txtSize);
    font->addStretch(1);
    grid->addLayout(font, 2, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);

    auto* layout = MakeFormLayout(this, head);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(cmdExit, &QPushButton::clicked, this, [this] { FormWindow(this)->close(); });
    InstallEnterAsTab(this);
    InstallEscCloses(this);

    // Load.
    ApplyAppearance(this);
    selectStored(Combo1, ReadIni(QStringLiteral("Database"), QStringLiteral("Eformat")));
    selectStored(Combo2, ReadIni(QStringLiteral("Database"), QStringLiteral("Output")));
    txtFont->setText(ReadIni(QStringLiteral("Options"), QStringLiteral("Font")));
    txtSize->setText(ReadIni(QStringLiteral("Options"), QStringLiteral("FontSize")));
}

int frmSyspara::listPosition(const QComboBox* box)
{
    // What the box shows decides, whichever entry was picked before the typing.
    return box->findText(box->currentText(), Qt::MatchFixedString);
}

void frmSyspara::closeEvent(QCloseEvent* event)
{
    if (!stored_) {
        stored_ = true;
        WriteIni(QStringLiteral("Database"), QStringLiteral("Eformat"),
                 QString::number(listPosition(Combo1)));
        WriteIni(QStringLiteral("Database"), QStringLiteral("Output"),
                 QString::number(listPosition(Combo2)));
        WriteIni(QStringLiteral("Options"), QStringLiteral("Font"), txtFont->text());
        WriteIni(QStringLiteral("Options"), QStringLiteral("FontSize"), txtSize->text());
    }
    event->accept();
}
