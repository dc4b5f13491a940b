#include "OutputForm.h"

#include "MailDispatch.h"
#include "MyFunc.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>
#include <iterator>

OutputForm::OutputForm(const QString& name, const QString& title, const QString& heading,
                       const QList<Field>& ownFields, const QList<Control>& checkBoxes,
                       const QList<Control>& buttons, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
    setWindowTitle(title);

    auto* head = MakeHeading(this, heading);

    // Fields in their tab order, with their captions.
    const QList<Field> fields =
        QList<Field>{{4, "ROT No."}} + ownFields +
        QList<Field>{{0, "Email Addresses"}, {1, "CC To."}, {2, "Subject"}, {3, "Message"}};
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    int row = 0;
    QWidget* previous = nullptr;
    for (const Field& field : fields) {
        Q_ASSERT(field.index >= 0 && field.index < int(std::size(txtFields)));
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("txtFields_%1").arg(field.index));
        auto* label = new QLabel(QLatin1String(field.caption), this);
        label->setObjectName(QStringLiteral("lblFields_%1").arg(field.index));
        label->setBuddy(edit);
        txtFields[field.index] = edit;
        grid->addWidget(label, row, 0);
        if (field.index >= 4) {
            edit->setFixedWidth(140);
            grid->addWidget(edit, row, 1, Qt::AlignLeft);
        } else {
            edit->setMinimumWidth(380);
            grid->addWidget(edit, row, 1);
        }
        if (previous)
            setTabOrder(previous, edit);
        previous = edit;
        ++row;
    }
    for (const Control& c : checkBoxes) {
        auto* box = new QCheckBox(QLatin1String(c.caption), this);
        box->setObjectName(QLatin1String(c.name));
        grid->addWidget(box, row++, 1);
        setTabOrder(previous, box);
        previous = box;
    }
    grid->setColumnStretch(1, 1);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    for (const Control& c : buttons) {
        auto* b = new QPushButton(QLatin1String(c.caption), this);
        b->setObjectName(QLatin1String(c.name));
        buttonRow->addWidget(b);
        setTabOrder(previous, b);
        previous = b;
    }
    cmdExit = new QPushButton(QStringLiteral("Close"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    setTabOrder(previous, cmdExit);
    buttonRow->addWidget(cmdExit);

    auto* layout = MakeFormLayout(this, head);
    layout->addLayout(grid);
    layout->addSpacing(4);
    layout->addLayout(buttonRow);
    layout->addStretch(1);

    connect(cmdExit, &QPushButton::clicked, this, [this] { FormWindow(this)->close(); });
    InstallEnterAsTab(this);
    InstallEscCloses(this);
    InstallOvertype(this);

    // Load.
    ApplyAppearance(this);
    txtFields[0]->setText(ReadIni(QStringLiteral("Email"), QStringLiteral("To")));
    txtFields[1]->setText(ReadIni(QStringLiteral("Email"), QStringLiteral("CC")));
    txtFields[2]->setText(ReadIni(QStringLiteral("Email"), QStringLiteral("Sub")));
    txtFields[3]->setText(ReadIni(QStringLiteral("Email"), QStringLiteral("Msg")));
    txtFields[4]->setFocus();
}

void OutputForm::focusRotNo()
{
    txtFields[4]->setFocus(Qt::ActiveWindowFocusReason);
}

QPushButton* OutputForm::button(const char* name) const
{
    return findChild<QPushButton*>(QLatin1String(name));
}

QCheckBox* OutputForm::checkBox(const char* name) const
{
    return findChild<QCheckBox*>(QLatin1String(name));
}

MailMessage OutputForm::typedMail(const QStringList& attachments) const
{
    return MailMessage{txtFields[0]->text(), txtFields[2]->text(), txtFields[3]->text(),
                       attachments};
}

void OutputForm::mailFiles(const QStringList& attachments)
{
    MailDispatch(typedMail(attachments));
}

void OutputForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // A window of its own (not a child window) becomes active.
    if (event->type() == QEvent::ActivationChange && isWindow() && isActiveWindow())
        focusRotNo();
}

void OutputForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (sub && !watchingSubWindow_) {
        watchingSubWindow_ = true;
        connect(sub, &QMdiSubWindow::windowStateChanged, this,
                [this](Qt::WindowStates before, Qt::WindowStates now) {
                    if (!(before & Qt::WindowActive) && (now & Qt::WindowActive))
                        focusRotNo();
                });
    }
    focusRotNo();
}
