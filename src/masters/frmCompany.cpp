#include "frmCompany.h"

#include "DataSources.h"
#include "Database.h"
#include "MyFunc.h"
#include "RowSet.h"
#include "ValueText.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

RecordForm::Options companyOptions()
{
    RecordForm::Options o;
    o.updateCaption = QStringLiteral("&Update");
    o.showPosition = false;
    o.moveLastOnLoad = false;
    o.limitLengths = false;
    o.ctrlEEdits = false;
    o.cancelFocusesAdd = false;
    o.saveError = RecordForm::ErrorText::Description;
    o.requeryAfterDeleteAtEnd = false;
    o.deleteGoesOnAfterError = true;
    return o;
}

} // namespace

frmCompany::frmCompany(QWidget* parent)
    : RecordForm(QStringLiteral("frmCompany"), QStringLiteral("Company Master"), companyOptions(),
                 parent)
{
    QLineEdit* code = createField(0, QStringLiteral("code"));
    QLineEdit* name = createField(1, QStringLiteral("name"));
    QLineEdit* add1 = createField(2, QStringLiteral("add1"));
    QLineEdit* add2 = createField(3, QStringLiteral("add2"));
    QLineEdit* add3 = createField(4, QStringLiteral("add3"));
    QLineEdit* phone = createField(5, QStringLiteral("telephone"));
    QLineEdit* start = createField(6, QStringLiteral("st_date"));
    QLineEdit* end = createField(7, QStringLiteral("ed_date"));
    QLineEdit* dsn = createField(8, QStringLiteral("dirname"));
    Create = new QPushButton(QStringLiteral("Select"), this);
    Create->setObjectName(QStringLiteral("Create"));

    code->setMinimumWidth(90);
    code->setMaximumWidth(90);
    name->setMinimumWidth(380);
    for (QLineEdit* line : {add1, add2, add3})
        line->setMinimumWidth(380);
    phone->setMinimumWidth(200);
    phone->setMaximumWidth(200);
    for (QLineEdit* date : {start, end}) {
        date->setMinimumWidth(110);
        date->setMaximumWidth(110);
        date->setPlaceholderText(QStringLiteral("dd/mm/yyyy"));
    }
    dsn->setMinimumWidth(290);

    addRow(QStringLiteral("Company Code"), {code});
    addRow(QStringLiteral("Company Name"), {name});
    addRow(QStringLiteral("Address"), {add1});
    addRow(QString(), {add2});
    addRow(QString(), {add3});
    addRow(QStringLiteral("Phone"), {phone});
    addRow(QStringLiteral("A/c Period"), {start, end});
    addRow(QStringLiteral("Data Source Name"), {dsn, Create});

    connect(Create, &QPushButton::clicked, this, &frmCompany::Create_Click);
    load();
}

void frmCompany::openRows(RowSet& rs)
{
    rs.setObjectName(QStringLiteral("Data1"));
    rs.openTable(DataSources::openSystem(logonState().SysPath), QStringLiteral("DRCOMP"));
}

void frmCompany::beforeAddNew()
{
    // The last row in table order gives the number, not the highest code.
    RowSet& rs = *rows();
    lastCode_ = 0;
    if (rs.recordCount() == 0)
        return;
    if (rs.eof())
        rs.moveLast();
    lastCode_ =
        qint64(ValueText::leadingNumber(ValueText::numberText(rs.value(QStringLiteral("code")))));
}

void frmCompany::afterAddNew()
{
    setFieldText(0, QString::number(lastCode_ + 1));
}

void frmCompany::browseModeChanged(bool browse)
{
    Create->setVisible(!browse);
}

void frmCompany::search()
{
    searchByPrefix(QStringLiteral("name"));
}

void frmCompany::unload()
{
    // The company list keeps only what Update wrote.
    rows()->close();
}

void frmCompany::Create_Click()
{
    try {
        const QString name = CreateDataSource();
        if (!name.isEmpty())
            setFieldText(8, QStringLiteral("DSN=") + name);
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}
