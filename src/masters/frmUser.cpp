#include "frmUser.h"

#include "MyFunc.h"
#include "PasswordHash.h"
#include "Prompts.h"
#include "Rights.h"
#include "RowSet.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

/// Passwords show one "#" for each typed character. A style of its own
/// holds whatever style sheet the skin puts on the form.
class HashPasswordStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '#';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLineEdit* passwordBox(QWidget* parent, const QString& name)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    box->setReadOnly(true);
    box->setMinimumWidth(300);
    auto* style = new HashPasswordStyle;
    style->setParent(box);
    box->setStyle(style);
    return box;
}

/// What the hidden pwd box holds while a new password waits to be saved:
/// never a hash, never typed.
const QString pendingPassword = QStringLiteral("\x01new password");

QString objectCode(const QString& code)
{
    return code == RightsCodes::superuser() ? QStringLiteral("SU") : code;
}

} // namespace

frmUser::frmUser(QWidget* parent)
    : RecordForm(QStringLiteral("frmUser"), QStringLiteral("User Master"), Options(), parent),
      superuser_(Rights::isSuperuser(logonState().MRights))
{
    QLineEdit* uid = createField(1, QStringLiteral("UID"));
    // The stored hash, and the codes the ticks stand for, are not shown.
    createField(2, QStringLiteral("PWD"))->hide();
    createField(3, QStringLiteral("urights"))->hide();
    createField(0, QStringLiteral("mrights"))->hide();
    txtPassword = passwordBox(this, QStringLiteral("txtPassword"));
    txtPassword->setPlaceholderText(QStringLiteral("new password (empty keeps the old one)"));
    txtPassword2 = passwordBox(this, QStringLiteral("txtPassword2"));
    txtPassword2->setPlaceholderText(QStringLiteral("the new password again"));
    for (QLineEdit* box : {txtPassword, txtPassword2})
        connect(box, &QLineEdit::textChanged, this, &frmUser::passwordsChanged);

    addRow(QStringLiteral("User Name"), {uid});
    addRow(QStringLiteral("Password"), {txtPassword});
    addRow(QStringLiteral("Repeat Password"), {txtPassword2});

    // The ticks are laid out beside their captions; each one joins the tab
    // order by itself.
    QGridLayout* grid = fieldsLayout();
    const struct
    {
        Ticks* ticks;
        const char* caption;
        const char* label;
        const char* prefix;
    } lists[] = {{&record_, "User Rights", "lblUserRights", "chkRecord_"},
                 {&menu_, "Module Rights", "lblModuleRights", "chkMenu_"}};
    for (const auto& l : lists) {
        const int row = grid->rowCount();
        auto* label = new QLabel(QString::fromLatin1(l.caption), this);
        label->setObjectName(QString::fromLatin1(l.label));
        grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(makeTicks(*l.ticks, QString::fromLatin1(l.prefix)), row, 1);
    }

    load();
}

QWidget* frmUser::makeTicks(Ticks& t, const QString& prefix)
{
    auto* box = new QWidget(this);
    auto* line = new QHBoxLayout(box);
    line->setContentsMargins(0, 0, 0, 0);
    auto* everything = new QVBoxLayout;
    line->addLayout(everything);
    QMap<QString, QVBoxLayout*> groups;
    for (const RightsCodes::Entry& e : RightsCodes::entries(t.kind)) {
        auto* check = new QCheckBox(e.caption, box);
        check->setObjectName(prefix + objectCode(e.code));
        check->setEnabled(false);
        t.checks.insert(e.code, check);
        QVBoxLayout* column = everything;
        if (e.code != RightsCodes::superuser() && !e.group.isEmpty()) {
            if (!groups.contains(e.group)) {
                auto* group = new QGroupBox(e.group, box);
                group->setObjectName(prefix.chopped(1) + QStringLiteral("Group_") +
                                     QString(e.group).remove(u' '));
                groups.insert(e.group, new QVBoxLayout(group));
                line->addWidget(group, 0, Qt::AlignTop);
            }
            column = groups.value(e.group);
        }
        column->addWidget(check);
        addToTabOrder(check);
        connect(check, &QCheckBox::toggled, this, [this, &t] { ticksChanged(t); });
    }
    everything->addStretch(1);
    line->addStretch(1);
    return box;
}

void frmUser::openRows(RowSet& rs)
{
    const LogonState& st = logonState();
    if (!st.Conn)
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("There is no open connection to the company database."));
    if (superuser_)
        rs.open(st.Conn, QStringLiteral("select * from loguser Order by uid"));
    else
        rs.open(st.Conn, QStringLiteral("select * from loguser where uid = ? Order by uid"),
                {st.UserId});
}

void frmUser::rowsOpened()
{
    if (superuser_)
        return;
    // Whatever the record rights say, an ordinary user keeps to their own row.
    for (QPushButton* b : {cmdAdd, cmdDelete, cmdRefresh, cmdSearch})
        b->setEnabled(false);
}

void frmUser::browseModeChanged(bool browse)
{
    browsing_ = browse;
    for (QLineEdit* box : {txtPassword, txtPassword2}) {
        box->setReadOnly(browse);
        if (browse)
            box->clear();
    }
    if (!superuser_) {
        // Only the password stays open to an ordinary user, in both modes.
        for (int i : {0, 1, 3})
            txtFields[i]->setReadOnly(true);
    }
    lockTicks(record_);
    lockTicks(menu_);
}

void frmUser::search()
{
    searchByPrefix(QStringLiteral("uid"));
}

void frmUser::showCurrentRow()
{
    RecordForm::showCurrentRow();
    shownHash_ = txtFields[2]->text();
    txtPassword->clear();
    txtPassword2->clear();
    showTicks(record_);
    showTicks(menu_);
}

bool frmUser::ownRow() const
{
    return !isAdding() && txtFields[1]->text().trimmed() == logonState().UserId;
}

void frmUser::showTicks(Ticks& t)
{
    t.shown = txtFields[t.box]->text();
    const QStringList on = RightsCodes::ticked(t.kind, t.shown);
    for (auto it = t.checks.cbegin(); it != t.checks.cend(); ++it) {
        const QSignalBlocker quiet(it.value());
        it.value()->setChecked(on.contains(it.key()));
    }
    lockTicks(t);
}

void frmUser::ticksChanged(Ticks& t)
{
    QStringList on;
    for (auto it = t.checks.cbegin(); it != t.checks.cend(); ++it)
        if (it.value()->isChecked())
            on << it.key();
    const QString typed = RightsCodes::text(t.kind, on);
    // Ticks that say what the stored text says leave it as it stands.
    const bool same = RightsCodes::ticked(t.kind, typed) == RightsCodes::ticked(t.kind, t.shown);
    txtFields[t.box]->setText(same ? t.shown : typed);
    lockTicks(t);
}

void frmUser::lockTicks(Ticks& t)
{
    const bool open = superuser_ && !browsing_;
    QCheckBox* su = t.checks.value(RightsCodes::superuser());
    // What gives the user master to the user editing their own row stays.
    const QStringList kept =
        ownRow() ? RightsCodes::userMasterTicks(t.kind, t.shown) : QStringList();
    for (auto it = t.checks.cbegin(); it != t.checks.cend(); ++it) {
        QCheckBox* check = it.value();
        const bool covered = check != su && su->isChecked();
        const bool locked = kept.contains(it.key()) && check->isChecked();
        check->setEnabled(open && !covered && !locked);
        check->setToolTip(locked ? QStringLiteral("You cannot take your own rights to the User "
                                                  "Master away.")
                                 : QString());
    }
}

bool frmUser::checkRecord()
{
    if (txtPassword->text() != txtPassword2->text()) {
        prompts().warn(QStringLiteral("The two passwords differ: type the new password in both "
                                      "boxes, the same both times."));
        txtPassword2->setFocus();
        txtPassword2->selectAll();
        return false;
    }
    if (ownRow() &&
        !RightsCodes::keepsUserMaster(menu_.shown, record_.shown, txtFields[menu_.box]->text(),
                                      txtFields[record_.box]->text())) {
        prompts().warn(QStringLiteral("You cannot take your own rights to the User Master "
                                      "away."));
        return false;
    }
    return true;
}

void frmUser::passwordsChanged()
{
    const QString typed = txtPassword->text();
    txtFields[2]->setText(!typed.isEmpty() && typed == txtPassword2->text() ? pendingPassword
                                                                            : shownHash_);
}

void frmUser::copyFieldsToRow()
{
    // Hashed once, when it is written: a hash costs a noticeable moment.
    if (txtFields[2]->text() == pendingPassword)
        txtFields[2]->setText(PasswordHash::hash(txtPassword->text()));
    RecordForm::copyFieldsToRow();
}
