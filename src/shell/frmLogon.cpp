#include "frmLogon.h"

#include "MyFunc.h"
#include "Resources.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

frmLogon::frmLogon(QWidget* parent) : QWidget(parent)
{
    InitResources();
    setObjectName(QStringLiteral("frmLogon"));
    setWindowTitle(QStringLiteral("Logon"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarvex.png")));

    auto* head = MakeHeading(this, QStringLiteral("Login"));

    cboDSNList = new QComboBox(this);
    cboDSNList->setObjectName(QStringLiteral("cboDSNList"));
    cboDSNList->setMinimumWidth(260);
    txtUID = new QLineEdit(this);
    txtUID->setObjectName(QStringLiteral("txtUID"));
    txtUID->setMaxLength(50);
    txtPWD = new QLineEdit(this);
    txtPWD->setObjectName(QStringLiteral("txtPWD"));
    txtPWD->setEchoMode(QLineEdit::Password);
    txtPWD->setMaxLength(50);
    Check1 = new QCheckBox(QStringLiteral("&Save Password"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Company "), cboDSNList);
    form->addRow(QStringLiteral("User ID"), txtUID);
    form->addRow(QStringLiteral("Password"), txtPWD);
    form->addRow(QString(), Check1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(head);
    layout->addLayout(form);
    layout->addLayout(buttons);

    setTabOrder(cboDSNList, txtUID);
    setTabOrder(txtUID, txtPWD);
    setTabOrder(txtPWD, Check1);
    setTabOrder(Check1, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, &frmLogon::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogon::cancelled);
    InstallEnterAsTab(this);

    // Load: what the settings remember.
    start_ = Logon::load();
    txtUID->setText(start_.userId);
    txtPWD->setText(start_.password);
    Check1->setChecked(!start_.userId.isEmpty() && start_.keyringProblem.isEmpty());
    // The password is kept only by a keyring; without one the box says why.
    if (!start_.keyringProblem.isEmpty()) {
        Check1->setEnabled(false);
        Check1->setToolTip(start_.keyringProblem);
    }
}

void frmLogon::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!listPending_)
        return;
    fillList();
    // The company is usually the one chosen last: start where the typing is.
    if (txtUID->text().isEmpty())
        txtUID->setFocus();
    else
        txtPWD->setFocus();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmLogon::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (!loggedOn_)
        emit cancelled();
}

void frmLogon::fillList()
{
    listPending_ = false;
    cboDSNList->clear();
    cboDSNList->addItems(start_.companies);
    if (start_.selected >= 0)
        cboDSNList->setCurrentIndex(start_.selected);
    if (!start_.error.isEmpty())
        prompts().warn(start_.error);
    for (const QString& notice : start_.notices)
        prompts().inform(notice);
}

void frmLogon::cmdOK_Click()
{
    const Logon::Outcome outcome =
        Logon::logOn(start_.sysPath, cboDSNList->currentText(), cboDSNList->currentIndex(),
                     txtUID->text(), txtPWD->text(), Check1->isChecked());
    switch (outcome) {
    case Logon::Outcome::LoggedOn:
        loggedOn_ = true;
        emit loggedOn();
        break;
    case Logon::Outcome::Denied:
        txtPWD->setFocus();
        txtPWD->selectAll();
        break;
    case Logon::Outcome::Stay:
        break;
    case Logon::Outcome::Fatal:
        emit cancelled();
        break;
    }
}
