#include "frmUser.h"

#include "MyFunc.h"
#include "Rights.h"
#include "RowSet.h"

#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>

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

} // namespace

frmUser::frmUser(QWidget* parent)
    : RecordForm(QStringLiteral("frmUser"), QStringLiteral("User Master"), Options(), parent),
      superuser_(Rights::isSuperuser(logonState().MRights))
{
    QLineEdit* uid = createField(1, QStringLiteral("UID"));
    QLineEdit* pwd = createField(2, QStringLiteral("PWD"));
    QLineEdit* urights = createField(3, QStringLiteral("urights"));
    QLineEdit* mrights = createField(0, QStringLiteral("mrights"));
    pwd->setEchoMode(QLineEdit::Password);
    auto* style = new HashPasswordStyle;
    style->setParent(pwd);
    pwd->setStyle(style);
    mrights->setMinimumWidth(460);

    addRow(QStringLiteral("User Name"), {uid});
    addRow(QStringLiteral("Password"), {pwd});
    addRow(QStringLiteral("User Rights"), {urights});
    addRow(QStringLiteral("Module Rights"), {mrights});

    load();
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

void frmUser::browseModeChanged(bool)
{
    if (superuser_)
        return;
    // Only the password stays open to an ordinary user, in both modes.
    for (int i : {0, 1, 3})
        txtFields[i]->setReadOnly(true);
}

void frmUser::search()
{
    searchByPrefix(QStringLiteral("uid"));
}
