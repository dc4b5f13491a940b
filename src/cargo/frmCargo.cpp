#include "frmCargo.h"

#include "BillHistory.h"
#include "BoundList.h"
#include "CargoRules.h"
#include "ContainerGrid.h"
#include "ContainerGridView.h"
#include "Database.h"
#include "DeletedBills.h"
#include "MyFunc.h"
#include "RowSet.h"
#include "ValueText.h"
#include "frmHistory.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <optional>

namespace {

enum Box
{
    Id = 0,
    Egmno = 1,
    SbPort = 2,
    DestPortCode = 3,
    GatePort = 5,
    SbNo = 15,
    SbDate = 16,
    NatureCode = 18,
    Pkgs = 22,
    Volume = 24,
    Unit = 25
};

/// Widths as the screen was drawn (twips), at 1.25 pixels a point.
int px(int twips)
{
    return twips / 12;
}

void keepPlace(QWidget* w)
{
    QSizePolicy p = w->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    w->setSizePolicy(p);
}

} // namespace

frmCargo::~frmCargo()
{
    // The grid loses its focus while the widgets go: its signals and checks
    // must not reach a form that is half destroyed.
    disconnect(dataGrid2, nullptr, this, nullptr);
    dataGrid2->setEndOfEdit({});
}

frmCargo::frmCargo(QWidget* parent)
    : RecordForm(QStringLiteral("frmCargo"), QStringLiteral("Cargo Information"), Options(), parent)
{
    removeExitButton();
    cmdAdd->setText(QStringLiteral("Add"));
    cmdEdit->setText(QStringLiteral("Edit"));
    cmdDelete->setText(QStringLiteral("Delete"));
    cmdSearch->setText(QStringLiteral("Search"));
    cmdClose->setText(QStringLiteral("Close"));
    cmdUpdate->setText(QStringLiteral("Update"));
    cmdCancel->setText(QStringLiteral("Cancel"));
    cmdCarry = new QPushButton(QStringLiteral("Carry"), this);
    cmdCarry->setObjectName(QStringLiteral("cmdCarry"));
    txtRotFilter = new QLineEdit(this);
    txtRotFilter->setObjectName(QStringLiteral("txtRotFilter"));
    txtRotFilter->setMaxLength(8);
    txtRotFilter->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), txtRotFilter));
    txtRotFilter->setToolTip(
        QStringLiteral("Show only the shipping bills of this ROT No. (Ctrl+R); empty shows all"));
    // Enter (which moves on), Tab or a click elsewhere applies what was typed.
    connect(txtRotFilter, &QLineEdit::editingFinished, this, &frmCargo::applyRotFilter);
    cmdDeleteC = new QPushButton(QStringLiteral("&Delete"), this);
    cmdDeleteC->setObjectName(QStringLiteral("cmdDeleteC"));
    cmdHistory = new QPushButton(QStringLiteral("History"), this);
    cmdHistory->setObjectName(QStringLiteral("cmdHistory"));
    cmdHistory->setToolTip(
        QStringLiteral("Who changed this shipping bill, when, and what (Ctrl+H)"));
    for (QPushButton* b : {cmdAdd, cmdCarry, cmdEdit, cmdDelete, cmdRefresh, cmdSearch, cmdHistory,
                           cmdClose, cmdUpdate, cmdCancel, cmdDeleteC}) {
        b->setMinimumWidth(px(975));
        keepPlace(b);
    }

    const struct
    {
        int index;
        const char* column;
    } boxes[] = {{Id, "ID"},
                 {Egmno, "Egmno"},
                 {SbPort, "sbport"},
                 {DestPortCode, "destport"},
                 {GatePort, "gateport"},
                 {SbNo, "sbno"},
                 {SbDate, "sbdt"},
                 {NatureCode, "naturecargo"},
                 {Pkgs, "pkgs"},
                 {Volume, "volume"},
                 {Unit, "unitvol"}};
    for (const auto& b : boxes)
        createField(b.index, QString::fromLatin1(b.column));
    for (int hidden : {Id, SbPort, GatePort, NatureCode})
        txtFields[hidden]->hide();
    txtFields[DestPortCode]->setEnabled(false);
    setFieldFormat(SbNo, QStringLiteral("0"));
    setFieldFormat(SbDate, QStringLiteral("dd/MM/yyyy"));
    setFieldFormat(Pkgs, QStringLiteral("0"));
    setFieldFormat(Volume, QStringLiteral("0.000"));

    cmbNatCargo = createList(QStringLiteral("cmbNatCargo"), QStringLiteral("naturecargo"));
    cmbDestPort = createList(QStringLiteral("cmbDestPort"), QStringLiteral("destport"));
    cmbDestPort->setOpensOnArrival(true);
    // The mirror box holds the code of the entry last picked.
    connect(cmbNatCargo, &BoundList::picked, this, [this](const QString& code) {
        if (showingRow_)
            return;
        setFieldText(NatureCode, code);
        // The boxes follow the nature as soon as it is picked.
        applyNatureRule(false);
    });
    connect(cmbDestPort, &BoundList::picked, this, [this](const QString& code) {
        if (!showingRow_)
            setFieldText(DestPortCode, code);
    });

    grid_ = new ContainerGrid(this);
    dataGrid2 = new ContainerGridView(grid_, this);
    dataGrid2->setEndOfEdit([this](int row, int column) {
        QString why;
        bool accepted = false;
        try {
            accepted = grid_->endOfEdit(db(), row, column, &why);
        } catch (const DbError& e) {
            why = e.description();
        }
        tellWhy(why);
        return accepted;
    });
    // While the grid or its cell editor has the focus, the keys are theirs.
    connect(dataGrid2, &ContainerGridView::keysTaken, this, [this] { setKeyPreview(false); });
    connect(dataGrid2, &ContainerGridView::keysReturned, this, [this] { setKeyPreview(true); });
    connect(dataGrid2, &ContainerGridView::entered, this, &frmCargo::gridEntered);
    connect(dataGrid2, &ContainerGridView::saveRequested, this, [this] {
        if (!isBrowsing() && cmdUpdate->isEnabled())
            cmdUpdate->click();
    });

    // The rows and tab order of the screen as drawn.
    QGridLayout* f = fieldsLayout();
    f->setColumnStretch(1, 0);
    f->setColumnStretch(6, 1);
    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        const int i = int(txtFields.indexOf(buddy));
        l->setObjectName(i >= 0 ? QStringLiteral("lblLabels_%1").arg(i)
                                : QStringLiteral("lbl") + buddy->objectName());
        l->setBuddy(buddy);
        return l;
    };
    const auto place = [&](QWidget* w, int twips, int row, int column, int span = 1) {
        w->setFixedWidth(px(twips));
        f->addWidget(w, row, column, 1, span, Qt::AlignLeft | Qt::AlignVCenter);
        addToTabOrder(w);
    };
    f->addWidget(label(QStringLiteral("ROT No."), txtFields[Egmno]), 0, 0);
    place(txtFields[Egmno], 1095, 0, 1);
    f->addWidget(label(QStringLiteral("Nture Cargo"), cmbNatCargo), 1, 0);
    place(cmbNatCargo, 3000, 1, 1, 3);
    f->addWidget(label(QStringLiteral("SB No."), txtFields[SbNo]), 2, 0);
    place(txtFields[SbNo], 1215, 2, 1);
    f->addWidget(label(QStringLiteral("SB Date"), txtFields[SbDate]), 2, 2);
    place(txtFields[SbDate], 1215, 2, 3);
    f->addWidget(label(QStringLiteral("Dest. Port"), cmbDestPort), 3, 0);
    place(cmbDestPort, 3255, 3, 1, 2);
    place(txtFields[DestPortCode], 1215, 3, 3);
    f->addWidget(label(QStringLiteral("Pkgs."), txtFields[Pkgs]), 4, 0);
    place(txtFields[Pkgs], 975, 4, 1);
    f->addWidget(label(QStringLiteral("Volume"), txtFields[Volume]), 4, 2);
    place(txtFields[Volume], 1335, 4, 3);
    f->addWidget(label(QStringLiteral("Unit"), txtFields[Unit]), 4, 4);
    place(txtFields[Unit], 975, 4, 5);
    addToTabOrder(dataGrid2);

    connect(cmdCarry, &QPushButton::clicked, this, &frmCargo::cmdCarry_Click);
    connect(cmdDeleteC, &QPushButton::clicked, this, &frmCargo::cmdDeleteC_Click);
    connect(cmdHistory, &QPushButton::clicked, this, &frmCargo::cmdHistory_Click);

    load();

    setTypingLimit(Egmno, 7);
    setTypingLimit(SbNo, 7);
    // Number columns take the digits, the full stop and the slash only.
    static const QRegularExpression numberKeys(QStringLiteral("[0-9./]*"));
    for (int i : {Egmno, SbNo, Pkgs, Volume})
        txtFields[i]->setValidator(new QRegularExpressionValidator(numberKeys, txtFields[i]));
}

Database& frmCargo::db() const
{
    return *rows()->database();
}

void frmCargo::openRows(RowSet& rs)
{
    const LogonState& st = logonState();
    if (!st.Conn)
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("There is no open connection to the company database."));
    rs.openKeyed(st.Conn, QStringLiteral("egmcargo"), QStringLiteral("id"));
    const auto entries = [&](const QString& sql) {
        QList<BoundList::Entry> out;
        const RowTable t = st.Conn->select(sql);
        for (const RowValues& r : t.rows)
            out << BoundList::Entry{r.value(0).toString(), r.value(1).toString()};
        return out;
    };
    cmbDestPort->setEntries(
        entries(QStringLiteral("select port_cd, port_nm from D_PORT_CD order by PORT_NM")));
    cmbNatCargo->setEntries(
        entries(QStringLiteral("select nat_cd, nat_desc from nature order by nat_desc")));
}

void frmCargo::layOut(QVBoxLayout* layout)
{
    layout->addLayout(fieldsLayout());
    auto* over = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("Show ROT No."), this);
    filterLabel->setObjectName(QStringLiteral("lblRotFilter"));
    filterLabel->setBuddy(txtRotFilter);
    over->addWidget(filterLabel);
    txtRotFilter->setFixedWidth(txtRotFilter->fontMetrics().horizontalAdvance(u'0') * 10);
    over->addWidget(txtRotFilter);
    over->addStretch(1);
    over->addWidget(cmdDeleteC);
    layout->addLayout(over);
    dataGrid2->setMinimumSize(px(7935), px(2775));
    layout->addWidget(dataGrid2, 1);
    QGridLayout* bar = buttonBar({{cmdAdd, cmdUpdate},
                                  {cmdCarry, cmdCancel},
                                  {cmdEdit},
                                  {cmdDelete},
                                  {cmdRefresh},
                                  {cmdSearch},
                                  {cmdHistory},
                                  {cmdClose}});
    layout->addLayout(bar);
    layout->addLayout(navigationBar());
}

QList<QWidget*> frmCargo::buttonTabOrder() const
{
    // Tab from the grid reaches Update; the container Delete comes after the
    // record buttons, so no Enter meant for Update lands on it.
    return {cmdAdd,    cmdUpdate,  cmdCarry, cmdCancel, cmdDeleteC,  cmdEdit, cmdDelete, cmdRefresh,
            cmdSearch, cmdHistory, cmdClose, cmdFirst,  cmdPrevious, cmdNext, cmdLast};
}

int frmCargo::maxLengthFor(const ColumnInfo& column) const
{
    const bool wider = column.type == ColumnType::Date || column.type == ColumnType::Long ||
                       column.type == ColumnType::Double;
    return column.size + (wider ? 2 : 0);
}

void frmCargo::showCurrentRow()
{
    showingRow_ = true;
    RecordForm::showCurrentRow();
    showingRow_ = false;
    // The boxes match the nature of the bill shown, whatever was shown before.
    applyNatureRule(false);
}

void frmCargo::addKeepPosition()
{
    // The new row is started where the set stands; Cancel comes back there.
    RowSet& rs = *rows();
    if (!rs.eof())
        mvSavedBookmark = rs.bookmark();
}

void frmCargo::afterAddNew()
{
    grid_->empty();
    gridCursor_ = true;
    applyNatureRule(false);
}

QWidget* frmCargo::widgetOf(CargoRules::Field field) const
{
    using F = CargoRules::Field;
    switch (field) {
    case F::RotNo:
        return txtFields[Egmno];
    case F::Nature:
        return cmbNatCargo;
    case F::SbNo:
        return txtFields[SbNo];
    case F::SbDate:
        return txtFields[SbDate];
    case F::DestPort:
        return cmbDestPort;
    case F::Pkgs:
        return txtFields[Pkgs];
    case F::Volume:
        return txtFields[Volume];
    case F::Unit:
        return txtFields[Unit];
    }
    return nullptr;
}

QString frmCargo::refusalOf(CargoRules::Field field) const
{
    QWidget* w = widgetOf(field);
    const auto* list = qobject_cast<const BoundList*>(w);
    const QString text = list ? list->currentText() : static_cast<QLineEdit*>(w)->text();
    return CargoRules::fieldRefusal(field, text, QDate::currentDate());
}

void frmCargo::tellWhy(const QString& why)
{
    // Only a refusal, and the clearing of one, reach the status bar.
    if (why.isEmpty() && !toldWhy_)
        return;
    toldWhy_ = !why.isEmpty();
    toldChange_ = false;
    prompts().status(why);
}

bool frmCargo::billShown() const
{
    const RowSet& rs = *rows();
    return rs.isOpen() && !rs.bof() && !rs.eof() && !mbNewRow;
}

void frmCargo::tellLastChange()
{
    QString line;
    try {
        if (isBrowsing() && billShown())
            if (const auto e =
                    BillHistory::last(db(), rows()->value(QStringLiteral("id")).toLongLong()))
                line = BillHistory::changedBy(*e);
    } catch (const DbError&) {
        // A line for the clerk's information: one that cannot be read is left out.
    }
    // A refusal is told in add and edit mode only, where there is no such line.
    if (line.isEmpty() && !toldChange_)
        return;
    toldChange_ = !line.isEmpty();
    toldWhy_ = false;
    prompts().status(line);
}

bool frmCargo::checkRecord()
{
    // Every field the bill's nature needs, as leaving each would check it:
    // a bill saved with a field missing would stop its EGM's flat file.
    applyNatureRule(true);
    const auto fields = CargoRules::requiredFields(txtFields[NatureCode]->text());
    for (CargoRules::Field field : fields) {
        const QString why = refusalOf(field);
        if (why.isEmpty())
            continue;
        tellWhy(why);
        widgetOf(field)->setFocus(Qt::OtherFocusReason);
        return false;
    }
    tellWhy(QString());
    return grid_->CheckContainerRows();
}

void frmCargo::writeContainers(Database& database, qint64 id)
{
    grid_->SaveContainerRows(database, id);
}

void frmCargo::writeHistory(Database& database, qint64 id, const BillHistory::Bill& before)
{
    const QList<BillHistory::Field> fields = CargoRules::historyFields();
    const QString changes =
        BillHistory::changes(fields, before, BillHistory::read(database, id, fields));
    // A save that changed nothing has nothing to tell.
    if (!before.stored || !changes.isEmpty())
        BillHistory::write(database, id,
                           before.stored ? BillHistory::Kind::Changed : BillHistory::Kind::Added,
                           logonState().UserId, changes);
}

void frmCargo::writeRecord()
{
    RowSet& rs = *rows();
    Database& database = db();
    bool gone = false;
    for (int attempt = 1;; ++attempt) {
        try {
            // The bill and its containers land together or not at all.
            Database::Transaction tx(database);
            database.lockTable(QStringLiteral("egmcargo"));
            BillHistory::Bill before;
            if (isAdding()) {
                setFieldText(Id, QString::number(CargoRules::nextBillId(database)));
            } else if (database
                           .scalar(QStringLiteral("select count(*) from egmcargo where id = ?"),
                                   {rs.value(QStringLiteral("id"))})
                           .toLongLong() == 0) {
                // Its containers would hang on an id no bill has any more.
                gone = true;
                throw DbError(DbError::RowNotFound,
                              QStringLiteral("This shipping bill was deleted by another user "
                                             "meanwhile: nothing was saved."));
            } else {
                before = BillHistory::read(database, rs.value(QStringLiteral("id")).toLongLong(),
                                           CargoRules::historyFields());
            }
            setFieldText(GatePort, CargoRules::homePort());
            setFieldText(SbPort, CargoRules::homePort());
            copyFieldsToRow();
            rs.writeCurrent();
            const qint64 id = rs.value(QStringLiteral("id")).toLongLong();
            writeContainers(database, id);
            writeHistory(database, id, before);
            tx.commit();
            rs.written();
            return;
        } catch (const DbError& e) {
            // Another clerk changed the row meanwhile: a few more tries, then stop.
            if (gone || e.number() != DbError::RowNotFound || attempt >= SaveTries)
                throw;
            report(e, ErrorText::NumberTwoBlanks);
        }
    }
}

void frmCargo::rereadRecord(bool added)
{
    if (added) {
        rows()->moveLast(); // its position change shows the stored containers
        return;
    }
    // The grid shows what was stored, Autoid included, so a second Save adds nothing.
    FillContainerGrid();
}

void frmCargo::removeRecord()
{
    RowSet& rs = *rows();
    Database& database = db();
    const qint64 id = rs.value(QStringLiteral("id")).toLongLong();
    // Every container of the bill goes with it, shown or not, into the
    // deleted rows, from where the bill can be put back.
    Database::Transaction tx(database);
    DeletedBills::keep(database, id, logonState().UserId);
    rs.deleteCurrent();
    tx.commit();
}

void frmCargo::positionChanged()
{
    gridCursor_ = true;
    if (mbLoading || mbNewRow)
        return;
    FillContainerGrid();
    cmdHistory->setEnabled(billShown());
    tellLastChange();
}

void frmCargo::FillContainerGrid()
{
    const RowSet& rs = *rows();
    try {
        if (!rs.isOpen() || rs.bof() || rs.eof()) {
            grid_->empty();
            return;
        }
        grid_->FillContainerGrid(db(), rs.value(QStringLiteral("id")).toLongLong());
    } catch (const DbError& e) {
        grid_->empty();
        report(e, ErrorText::NumberTwoBlanks);
    }
}

void frmCargo::gridEntered()
{
    if (!gridCursor_ && grid_->rows() > 0)
        return;
    grid_->ensureRows();
    dataGrid2->selectCell(1, ContainerGrid::ContainerNo);
    gridCursor_ = false;
}

void frmCargo::applyNatureRule(bool emptyOthers)
{
    const bool containerised = CargoRules::isContainerised(txtFields[NatureCode]->text());
    dataGrid2->setEnabled(containerised);
    // Nothing to delete where there is no grid: Enter after Unit goes on to Update.
    cmdDeleteC->setEnabled(containerised);
    txtFields[Volume]->setEnabled(!containerised);
    txtFields[Unit]->setEnabled(!containerised);
    txtFields[Pkgs]->setEnabled(containerised);
    if (!emptyOthers)
        return;
    if (containerised) {
        txtFields[Volume]->clear();
        txtFields[Unit]->clear();
    } else {
        txtFields[Pkgs]->clear();
    }
}

bool frmCargo::fieldMayLeave(QWidget* field)
{
    if (isBrowsing())
        return true;
    using F = CargoRules::Field;
    std::optional<F> which;
    for (F f : {F::RotNo, F::Nature, F::SbNo, F::SbDate, F::DestPort, F::Pkgs, F::Volume, F::Unit})
        if (widgetOf(f) == field)
            which = f;
    if (!which)
        return true;
    if (qobject_cast<QLineEdit*>(field))
        applyNatureRule(true);
    // The focus stays, and the status bar says why.
    const QString why = refusalOf(*which);
    tellWhy(why);
    return why.isEmpty();
}

void frmCargo::browseModeChanged(bool browse)
{
    cmdCarry->setVisible(browse);
    cmdHistory->setVisible(browse);
    cmdHistory->setEnabled(billShown());
    cmdDeleteC->setVisible(!browse);
    txtRotFilter->setEnabled(browse);
    dataGrid2->setCellsEditable(!browse);
    if (browse)
        tellWhy(QString());
    else
        applyNatureRule(false);
    tellLastChange();
}

void frmCargo::cmdCarry_Click()
{
    RowSet& rs = *rows();
    try {
        addKeepPosition();
        enterAddMode();
        const QString port = cmbDestPort->storedValue();
        const QString nature = cmbNatCargo->storedValue();
        const QString rot = txtFields[Egmno]->text();
        const QString date = txtFields[SbDate]->text();
        const QString unit = txtFields[Unit]->text();
        startNewRow();
        cmbDestPort->setStoredValue(port);
        cmbNatCargo->setStoredValue(nature);
        setFieldText(DestPortCode, cmbDestPort->storedValue());
        setFieldText(NatureCode, cmbNatCargo->storedValue());
        setFieldText(Egmno, rot);
        setFieldText(SbDate, date);
        setFieldText(Unit, unit);
        txtFields[Egmno]->setFocus();
        afterAddNew();
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
        try {
            if (rs.editMode() == RowSet::EditMode::Adding)
                rs.cancelUpdate();
        } catch (const DbError&) {
        }
    }
}

void frmCargo::cmdDeleteC_Click()
{
    if (ConfirmDeletion() != Prompts::Yes)
        return;
    try {
        const int row = dataGrid2->selectedRow();
        const qint64 autoid = row > 0 ? grid_->autoid(row) : 0;
        const qint64 id = rows()->value(QStringLiteral("id")).toLongLong();
        Database& database = db();
        // The container goes with its line in the bill's history, whatever
        // the save that follows meets.
        Database::Transaction tx(database);
        const BillHistory::Bill before = BillHistory::read(database, id, {});
        const QSqlQuery q = database.exec(
            QStringLiteral("delete from egmcontain where autoid = ? and ref = ?"), {autoid, id});
        const bool deleted = autoid > 0 && q.numRowsAffected() > 0;
        if (deleted)
            BillHistory::write(
                database, id, BillHistory::Kind::Changed, logonState().UserId,
                BillHistory::changes({}, before, BillHistory::read(database, id, {})));
        tx.commit();
        if (deleted) {
            grid_->removeGridRow(row);
            saveRecord();
        } else {
            // A row never stored has nothing to delete: the typing stays.
            prompts().message(QStringLiteral("Not deleted"), Prompts::Buttons::Ok,
                              Prompts::Icon::Information);
        }
    } catch (const DbError& e) {
        report(e, ErrorText::NumberNoBlank);
    }
}

void frmCargo::cmdHistory_Click()
{
    if (!isBrowsing() || !billShown())
        return;
    const RowSet& rs = *rows();
    try {
        const QList<BillHistory::Entry> entries =
            BillHistory::list(db(), rs.value(QStringLiteral("id")).toLongLong());
        auto* dialog =
            new frmHistory(QStringLiteral("SB No. %1 of ROT No. %2")
                               .arg(ValueText::numberText(rs.value(QStringLiteral("sbno"))),
                                    ValueText::numberText(rs.value(QStringLiteral("egmno")))),
                           entries, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}

void frmCargo::applyRotFilter()
{
    if (!isBrowsing())
        return;
    RowSet& rs = *rows();
    const QString rot = txtRotFilter->text().trimmed();
    if (rot == filteredRot_)
        return;
    try {
        if (rot.isEmpty())
            rs.clearFilter();
        else
            rs.setFilter(Criteria::equals(QStringLiteral("egmno"), ValueText::leadingNumber(rot)));
        filteredRot_ = rot;
        if (!rot.isEmpty() && rs.recordCount() == 0)
            prompts().status(QStringLiteral("ROT No. %1 holds no shipping bill.").arg(rot));
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}

bool frmCargo::formKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_R && event->modifiers() == Qt::ControlModifier && isBrowsing()) {
        txtRotFilter->setFocus(Qt::ShortcutFocusReason);
        txtRotFilter->selectAll();
        return true;
    }
    if (event->key() == Qt::Key_H && event->modifiers() == Qt::ControlModifier && isBrowsing()) {
        if (cmdHistory->isEnabled())
            cmdHistory->click();
        return true;
    }
    return RecordForm::formKeyDown(event);
}

void frmCargo::search()
{
    // Search looks through every bill: a filter to one EGM goes first.
    if (!rows()->filter().isEmpty()) {
        txtRotFilter->clear();
        applyRotFilter();
    }
    searchRows(
        QStringLiteral("Shipping Bill to search ?"),
        [](const QString& text) {
            return Criteria::equals(QStringLiteral("sbno"), ValueText::leadingNumber(text));
        },
        QStringLiteral("Could not find Shipping Bill"));
}

bool frmCargo::showBill(qint64 id)
{
    if (!isBrowsing()) {
        prompts().status(QStringLiteral("Save or cancel the shipping bill being typed first."));
        return false;
    }
    RowSet& rs = *rows();
    try {
        int remembered = rs.bof() || rs.eof() ? 0 : rs.bookmark();
        const Criteria wanted = Criteria::equals(QStringLiteral("id"), id);
        rs.moveFirst();
        if (rs.find(wanted, 0, true))
            return true;
        if (!rs.filter().isEmpty()) {
            // A bill of another EGM: the filter goes, as for a search.
            txtRotFilter->clear();
            applyRotFilter();
            remembered = 0; // the keys were read again
            rs.moveFirst();
            if (rs.find(wanted, 0, true))
                return true;
        }
        if (remembered > 0)
            rs.setBookmark(remembered);
        prompts().status(QStringLiteral("Shipping bill %1 is not stored any more.").arg(id));
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
    return false;
}

void frmCargo::unload()
{
    // Closing while adding or editing discards the change: nothing half-typed is written.
    RowSet& rs = *rows();
    try {
        if (rs.editMode() != RowSet::EditMode::None)
            rs.cancelUpdate();
    } catch (const DbError&) {
    }
    rs.close();
}
