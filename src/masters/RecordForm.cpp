#include "RecordForm.h"
#include "Resources.h"

#include "BoundList.h"
#include "ConnectionRetry.h"
#include "Criteria.h"
#include "Database.h"
#include "MyFunc.h"
#include "RowSet.h"
#include "ValueText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <optional>

namespace {

QPushButton* pictureButton(QWidget* parent, const QString& name, const QString& icon,
                           const QString& tip)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(icon)));
    b->setIconSize(QSize(20, 20));
    b->setFixedSize(36, 30);
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    return b;
}

QPushButton* textButton(QWidget* parent, const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setMinimumWidth(84);
    return b;
}

/// A hidden button keeps its place, so the row does not jump between modes.
void keepPlace(QWidget* w)
{
    QSizePolicy p = w->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    w->setSizePolicy(p);
}

QString textOf(const ColumnInfo& column, const QVariant& value, const QString& format = QString())
{
    if (value.isNull())
        return QString();
    if (!format.isEmpty()) {
        if (column.type == ColumnType::Date) {
            const QDate d = ValueText::toDate(value);
            if (d.isValid())
                return d.toString(format);
        } else if (column.type == ColumnType::Long || column.type == ColumnType::Double) {
            // "0" or "0.000": the number with that many decimals, rounded.
            const int dot = int(format.indexOf(u'.'));
            return QString::number(value.toDouble(), 'f',
                                   dot < 0 ? 0 : int(format.size()) - dot - 1);
        }
    }
    switch (column.type) {
    case ColumnType::Date:
        return ValueText::dateText(value);
    case ColumnType::Long:
    case ColumnType::Double:
        return ValueText::numberText(value);
    case ColumnType::Text:
    case ColumnType::Boolean:
        break;
    }
    return value.toString();
}

} // namespace

RecordForm::RecordForm(const QString& formName, const QString& heading, const Options& options,
                       QWidget* parent)
    : QWidget(parent), options_(options)
{
    InitResources();
    setObjectName(formName);
    setWindowTitle(heading);

    primaryRS_ = new RowSet(this);
    primaryRS_->setObjectName(QStringLiteral("adoPrimaryRS"));
    connect(primaryRS_, &RowSet::moveComplete, this, &RecordForm::adoPrimaryRS_MoveComplete);

    lblHead = MakeHeading(this, heading);

    cmdFirst = pictureButton(this, QStringLiteral("cmdFirst"), QStringLiteral("first"),
                             QStringLiteral("First record"));
    cmdPrevious = pictureButton(this, QStringLiteral("cmdPrevious"), QStringLiteral("previous"),
                                QStringLiteral("Previous record"));
    cmdNext = pictureButton(this, QStringLiteral("cmdNext"), QStringLiteral("next"),
                            QStringLiteral("Next record"));
    cmdLast = pictureButton(this, QStringLiteral("cmdLast"), QStringLiteral("last"),
                            QStringLiteral("Last record"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->setMinimumWidth(180);
    lblStatus->setFixedHeight(30);

    cmdAdd = textButton(this, QStringLiteral("cmdAdd"), QStringLiteral("&Add"));
    cmdEdit = textButton(this, QStringLiteral("cmdEdit"), QStringLiteral("&Edit"));
    cmdUpdate = textButton(this, QStringLiteral("cmdUpdate"), options.updateCaption);
    cmdCancel = textButton(this, QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"));
    cmdDelete = textButton(this, QStringLiteral("cmdDelete"), QStringLiteral("&Delete"));
    cmdRefresh = textButton(this, QStringLiteral("cmdRefresh"), QStringLiteral("&Refresh"));
    cmdSearch = textButton(this, QStringLiteral("cmdSearch"), QStringLiteral("&Search"));
    cmdClose = textButton(this, QStringLiteral("cmdClose"), QStringLiteral("C&lose"));
    cmdExit = pictureButton(this, QStringLiteral("cmdExit"), QStringLiteral("door"),
                            QStringLiteral("Close the form"));
    for (QWidget* w : {cmdDelete, cmdRefresh, cmdSearch, cmdClose})
        keepPlace(w);

    fields_ = new QGridLayout;
    fields_->setHorizontalSpacing(12);
    fields_->setVerticalSpacing(6);
    fields_->setColumnStretch(1, 1);

    connect(cmdFirst, &QPushButton::clicked, this, &RecordForm::cmdFirst_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &RecordForm::cmdPrevious_Click);
    connect(cmdNext, &QPushButton::clicked, this, &RecordForm::cmdNext_Click);
    connect(cmdLast, &QPushButton::clicked, this, &RecordForm::cmdLast_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &RecordForm::addRecord);
    connect(cmdEdit, &QPushButton::clicked, this, &RecordForm::cmdEdit_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &RecordForm::saveRecord);
    connect(cmdCancel, &QPushButton::clicked, this, &RecordForm::cancelRecord);
    connect(cmdDelete, &QPushButton::clicked, this, &RecordForm::cmdDelete_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &RecordForm::cmdRefresh_Click);
    connect(cmdSearch, &QPushButton::clicked, this, [this] { search(); });
    connect(cmdClose, &QPushButton::clicked, this, &RecordForm::cmdClose_Click);
    connect(cmdExit, &QPushButton::clicked, this, &RecordForm::cmdClose_Click);
}

RecordForm::~RecordForm() = default;

void RecordForm::removeExitButton()
{
    delete cmdExit;
    cmdExit = nullptr;
}

QHBoxLayout* RecordForm::navigationBar()
{
    auto* nav = new QHBoxLayout;
    nav->setSpacing(4);
    nav->addWidget(cmdFirst);
    nav->addWidget(cmdPrevious);
    nav->addWidget(lblStatus, 1);
    nav->addWidget(cmdNext);
    nav->addWidget(cmdLast);
    return nav;
}

QGridLayout* RecordForm::buttonBar(const QList<QList<QPushButton*>>& places)
{
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(6);
    for (int i = 0; i < places.size(); ++i)
        for (QPushButton* b : places[i])
            buttons->addWidget(b, 0, i);
    return buttons;
}

void RecordForm::layOut(QVBoxLayout* layout)
{
    // Save and Cancel stand in the places of Add and Edit.
    QGridLayout* buttons = buttonBar({{cmdAdd, cmdUpdate},
                                      {cmdEdit, cmdCancel},
                                      {cmdDelete},
                                      {cmdRefresh},
                                      {cmdSearch},
                                      {cmdClose}});
    buttons->setColumnStretch(6, 1);
    if (cmdExit)
        buttons->addWidget(cmdExit, 0, 7);
    layout->addLayout(fields_);
    layout->addSpacing(6);
    layout->addLayout(navigationBar());
    layout->addLayout(buttons);
    layout->addStretch(1);
}

QList<QWidget*> RecordForm::buttonTabOrder() const
{
    QList<QWidget*> order{cmdFirst, cmdPrevious, cmdNext,   cmdLast,    cmdAdd,    cmdUpdate,
                          cmdEdit,  cmdCancel,   cmdDelete, cmdRefresh, cmdSearch, cmdClose};
    if (cmdExit)
        order << cmdExit;
    return order;
}

int RecordForm::maxLengthFor(const ColumnInfo& column) const
{
    return column.size + (column.type == ColumnType::Date ? 2 : 0);
}

void RecordForm::setFieldFormat(int index, const QString& format)
{
    formats_[index] = format;
}

BoundList* RecordForm::createList(const QString& name, const QString& column)
{
    auto* list = new BoundList(name, this);
    list->setLocked(true);
    lists_ << BoundColumn{list, column, QString()};
    return list;
}

QLineEdit* RecordForm::createField(int index, const QString& column)
{
    while (txtFields.size() <= index) {
        txtFields << nullptr;
        dataFields_ << QString();
        shownText_ << QString();
        typingLimit_ << 0;
    }
    auto* box = new QLineEdit(this);
    box->setObjectName(QStringLiteral("txtFields_%1").arg(index));
    box->setMinimumWidth(300);
    box->setReadOnly(true);
    txtFields[index] = box;
    dataFields_[index] = column;
    return box;
}

void RecordForm::setTypingLimit(int index, int limit)
{
    typingLimit_[index] = limit;
    setFieldText(index, txtFields[index]->text());
}

void RecordForm::setFieldText(int index, const QString& text)
{
    // QLineEdit cuts whatever it is given at its maxLength, stored values
    // included; so the box's limit is raised to what it must show.
    QLineEdit* box = txtFields[index];
    const int limit = typingLimit_[index];
    box->setMaxLength(limit > 0 ? std::max(limit, int(text.size())) : 32767);
    box->setText(text);
}

void RecordForm::addRow(const QString& caption, const QList<QWidget*>& widgets)
{
    const int row = fieldRows_++;
    if (!caption.isEmpty()) {
        auto* label = new QLabel(caption, this);
        const int box = widgets.isEmpty() ? -1 : int(txtFields.indexOf(widgets.first()));
        label->setObjectName(box >= 0 ? QStringLiteral("lblLabels_%1").arg(box)
                                      : QStringLiteral("lbl") + widgets.value(0)->objectName());
        if (!widgets.isEmpty())
            label->setBuddy(widgets.first());
        fields_->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    }
    auto* line = new QHBoxLayout;
    line->setSpacing(8);
    for (QWidget* w : widgets)
        line->addWidget(w);
    line->addStretch(1);
    fields_->addLayout(line, row, 1);
    tabChain_ << widgets;
}

void RecordForm::load()
{
    layOut(MakeFormLayout(this, lblHead));
    ApplyRights(this);
    SetBrowseMode(true);
    RowSet& rs = *primaryRS_;
    mbLoading = true;
    try {
        openRows(rs);
        rowsOpened();
        for (int i = 0; i < txtFields.size(); ++i) {
            if (!txtFields[i])
                continue;
            const int col = rs.columnIndex(dataFields_[i]);
            if (col < 0)
                throw DbError(DbError::CommandFailed,
                              QStringLiteral("Item cannot be found: there is no field '%1'.")
                                  .arg(dataFields_[i]));
            const ColumnInfo& info = rs.columns()[col];
            if (options_.limitLengths && info.size > 0)
                setTypingLimit(i, maxLengthFor(info));
        }
        mbLoading = false;
        if (options_.moveLastOnLoad && rs.recordCount() > 0)
            rs.moveLast();
        else
            showCurrentRow();
    } catch (const DbError& e) {
        mbLoading = false;
        report(e, ErrorText::NumberOneBlank);
    }
    ApplyAppearance(this);

    // Fields first, then the record buttons, in the order they stand.
    const QList<QWidget*> chain = tabChain_ + buttonTabOrder();
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    // The form sees every key first (Enter as Tab included), so that a child
    // may switch that off while it has the focus.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

void RecordForm::SetBrowseMode(bool browse)
{
    cmdAdd->setVisible(browse);
    cmdEdit->setVisible(browse);
    cmdUpdate->setVisible(!browse);
    cmdCancel->setVisible(!browse);
    cmdDelete->setVisible(browse);
    cmdClose->setVisible(browse);
    if (cmdExit)
        cmdExit->setEnabled(browse);
    cmdRefresh->setVisible(browse);
    cmdSearch->setVisible(browse);
    for (QPushButton* b : {cmdNext, cmdFirst, cmdLast, cmdPrevious})
        b->setEnabled(browse);
    for (QLineEdit* box : std::as_const(txtFields))
        if (box)
            box->setReadOnly(browse);
    for (const BoundColumn& b : std::as_const(lists_))
        b.list->setLocked(browse);
    browseModeChanged(browse);
}

void RecordForm::showCurrentRow()
{
    const RowSet& rs = *primaryRS_;
    const bool current = rs.isOpen() && !rs.bof() && !rs.eof();
    for (int i = 0; i < txtFields.size(); ++i) {
        QLineEdit* box = txtFields[i];
        if (!box)
            continue;
        QString text;
        if (current) {
            const int col = rs.columnIndex(dataFields_[i]);
            try {
                if (col >= 0)
                    text = textOf(rs.columns()[col], rs.value(col), formats_.value(i));
            } catch (const DbError&) {
                // A row deleted a moment ago: the next move shows the right one.
            }
        }
        setFieldText(i, text);
        box->setCursorPosition(0);
        shownText_[i] = text;
    }
    for (BoundColumn& b : lists_) {
        QString code;
        try {
            if (current)
                code = rs.value(b.column).toString();
        } catch (const DbError&) {
        }
        b.list->setStoredValue(code);
        b.shown = b.list->storedValue();
    }
}

void RecordForm::copyFieldsToRow()
{
    // The caption of a box: the label that names it, else its line's label,
    // or that of the line above for a line that continues it (the second and
    // third address lines).
    const auto captionOf = [this](const QLineEdit* box) {
        const auto labels = findChildren<QLabel*>();
        for (const QLabel* label : labels)
            if (label->buddy() == box)
                return label->text().remove(u'&').trimmed();
        for (int row = 0; row < fields_->rowCount(); ++row) {
            QLayoutItem* line = fields_->itemAtPosition(row, 1);
            if (!line || !line->layout() || line->layout()->indexOf(box) < 0)
                continue;
            for (int r = row; r >= 0; --r)
                if (QLayoutItem* item = fields_->itemAtPosition(r, 0))
                    if (auto* label = qobject_cast<QLabel*>(item->widget()))
                        return label->text().remove(u'&').trimmed();
        }
        return QString();
    };
    for (int i = 0; i < txtFields.size(); ++i) {
        // Only what the user changed is written, as a bound box would.
        if (!txtFields[i] || txtFields[i]->text() == shownText_[i])
            continue;
        // A refused value is told by the caption the clerk sees, not the column.
        const int col = primaryRS_->columnIndex(dataFields_[i]);
        const QString caption = captionOf(txtFields[i]);
        if (col >= 0 && !caption.isEmpty()) {
            ColumnInfo shown = primaryRS_->columns()[col];
            shown.name = caption;
            Database::checkValue(shown, txtFields[i]->text());
        }
        primaryRS_->setValue(dataFields_[i], txtFields[i]->text());
    }
    for (const BoundColumn& b : std::as_const(lists_))
        if (b.list->storedValue() != b.shown)
            primaryRS_->setValue(b.column, b.list->storedValue());
}

void RecordForm::showPosition()
{
    const RowSet& rs = *primaryRS_;
    if (!rs.isOpen() || rs.bof() || rs.eof())
        lblStatus->clear();
    else if (rs.filter().isEmpty())
        lblStatus->setText(QStringLiteral("Record: ") + QString::number(rs.absolutePosition()));
    else // a filtered walk tells how far it goes
        lblStatus->setText(
            QStringLiteral("Record %1 of %2").arg(rs.absolutePosition()).arg(rs.recordCount()));
}

void RecordForm::adoPrimaryRS_MoveComplete()
{
    showCurrentRow();
    if (options_.showPosition && !mbLoading)
        showPosition();
    positionChanged();
}

void RecordForm::report(const DbError& error, ErrorText style)
{
    QString text;
    switch (style) {
    case ErrorText::Description:
        text = error.description();
        break;
    case ErrorText::NumberOneBlank:
        text = error.numberAndDescription(QStringLiteral(" "));
        break;
    case ErrorText::NumberTwoBlanks:
        text = error.numberAndDescription(QStringLiteral("  "));
        break;
    case ErrorText::NumberNoBlank:
        text = error.numberAndDescription(QString());
        break;
    }
    prompts().fail(text);
}

void RecordForm::cmdFirst_Click()
{
    try {
        primaryRS_->moveFirst();
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}

void RecordForm::cmdLast_Click()
{
    try {
        primaryRS_->moveLast();
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}

void RecordForm::cmdNext_Click()
{
    RowSet& rs = *primaryRS_;
    try {
        if (!rs.eof())
            rs.moveNext();
        if (rs.eof() && rs.recordCount() > 0) {
            prompts().beep();
            rs.moveLast();
        }
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}

void RecordForm::cmdPrevious_Click()
{
    RowSet& rs = *primaryRS_;
    try {
        if (!rs.bof())
            rs.movePrevious();
        if (rs.bof() && rs.recordCount() > 0) {
            prompts().beep();
            rs.moveFirst();
        }
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}

void RecordForm::addKeepPosition()
{
    RowSet& rs = *primaryRS_;
    if (!rs.eof()) {
        mvSavedBookmark = rs.bookmark();
        rs.moveLast();
    }
}

void RecordForm::enterAddMode()
{
    lblStatus->setText(QStringLiteral("Add record"));
    mbAddMode = true;
    mbNewRow = true;
    SetBrowseMode(false);
}

void RecordForm::startNewRow()
{
    primaryRS_->addNew();
    showCurrentRow();
}

void RecordForm::addRecord()
{
    RowSet& rs = *primaryRS_;
    try {
        addKeepPosition();
        beforeAddNew();
        enterAddMode();
        startNewRow();
        afterAddNew();
        if (QLineEdit* box = txtFields.value(1))
            box->setFocus();
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
        try {
            if (rs.editMode() == RowSet::EditMode::Adding)
                rs.cancelUpdate();
        } catch (const DbError&) {
        }
    }
}

void RecordForm::cmdEdit_Click()
{
    RowSet& rs = *primaryRS_;
    try {
        mvSavedBookmark = rs.bookmark();
        rs.edit();
        lblStatus->setText(QStringLiteral("Edit record"));
        mbEditMode = true;
        SetBrowseMode(false);
        if (QLineEdit* box = txtFields.value(1))
            box->setFocus();
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
        try {
            if (rs.editMode() == RowSet::EditMode::Editing)
                rs.cancelUpdate();
        } catch (const DbError&) {
        }
    }
}

void RecordForm::writeRecord()
{
    copyFieldsToRow();
    primaryRS_->update();
}

void RecordForm::rereadRecord(bool added)
{
    if (added)
        primaryRS_->moveLast();
}

void RecordForm::saveRecord()
{
    if (!checkRecord())
        return;
    try {
        writeRecord();
    } catch (const DbError& e) {
        // The form stays in its mode with the typed values, to be put right or cancelled.
        report(e, options_.saveError);
        return;
    }
    const bool edited = mbEditMode;
    const bool added = isAdding();
    mbNewRow = false;
    try {
        rereadRecord(added);
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
    mbEditMode = false;
    mbAddMode = false;
    SetBrowseMode(true);
    // The stored values, as the database keeps them (a date typed short shows in full).
    showCurrentRow();
    // Saving an edit moves nowhere; the status line still leaves "Edit record" behind.
    if (edited && options_.showPosition)
        showPosition();
    if (cmdAdd->isEnabled())
        cmdAdd->setFocus();
}

void RecordForm::returnAfterCancel()
{
    RowSet& rs = *primaryRS_;
    if (mvSavedBookmark > 0)
        rs.setBookmark(mvSavedBookmark);
    else if (!rs.eof())
        rs.moveFirst();
}

void RecordForm::cancelRecord()
{
    RowSet& rs = *primaryRS_;
    SetBrowseMode(true);
    mbEditMode = false;
    mbAddMode = false;
    mbNewRow = false;
    // Every step runs whatever the one before it met.
    try {
        rs.cancelUpdate();
    } catch (const DbError&) {
    }
    try {
        returnAfterCancel();
    } catch (const DbError&) {
    }
    showCurrentRow();
    if (options_.showPosition)
        showPosition();
    if (options_.cancelFocusesAdd)
        cmdAdd->setFocus();
}

void RecordForm::removeRecord()
{
    primaryRS_->deleteCurrent();
}

void RecordForm::cmdDelete_Click()
{
    if (ConfirmDeletion() != Prompts::Yes)
        return;
    RowSet& rs = *primaryRS_;
    const auto toEnd = [&] {
        if (rs.eof()) {
            if (options_.requeryAfterDeleteAtEnd)
                rs.requery();
            rs.moveLast();
        }
    };
    if (!options_.deleteGoesOnAfterError) {
        try {
            removeRecord();
            rs.moveNext();
            toEnd();
        } catch (const DbError& e) {
            report(e, ErrorText::Description);
        }
        return;
    }
    const auto step = [&](const std::function<void()>& run) {
        try {
            run();
        } catch (const DbError& e) {
            report(e, ErrorText::Description);
            try {
                rs.cancelUpdate();
            } catch (const DbError&) {
            }
        }
    };
    step([&] { removeRecord(); });
    step([&] { rs.moveNext(); });
    step(toEnd);
}

void RecordForm::cmdRefresh_Click()
{
    try {
        primaryRS_->requery();
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}

void RecordForm::cmdClose_Click()
{
    FormWindow(this)->close();
}

void RecordForm::searchByPrefix(const QString& column)
{
    // Every character stands for itself: a quote in the text is just a quote.
    searchRows(
        QStringLiteral("Item Name to search ?"),
        [&column](const QString& text) { return Criteria::beginsWith(column, text); },
        QStringLiteral("Could not find Item"));
}

void RecordForm::searchRows(const QString& question,
                            const std::function<Criteria(const QString&)>& wanted,
                            const QString& notFound)
{
    RowSet& rs = *primaryRS_;
    try {
        int remembered = rs.bof() || rs.eof() ? 0 : rs.bookmark();
        const std::optional<QString> text = prompts().input(question);
        if (!text || text->isEmpty())
            return;
        const Criteria criteria = wanted(*text);
        rs.moveFirst();
        bool found = rs.find(criteria, 0, true);
        for (;;) {
            if (!found) {
                if (remembered > 0)
                    rs.setBookmark(remembered);
                prompts().message(notFound, Prompts::Buttons::Ok, Prompts::Icon::Information);
                return;
            }
            remembered = rs.bookmark();
            if (prompts().message(QStringLiteral("Search Next ?"), Prompts::Buttons::YesNo,
                                  Prompts::Icon::Question) != Prompts::Yes)
                return;
            found = rs.find(criteria, 1, true);
        }
    } catch (const DbError& e) {
        report(e, ErrorText::Description);
    }
}

void RecordForm::unload()
{
    RowSet& rs = *primaryRS_;
    bool changed = false;
    for (int i = 0; i < txtFields.size(); ++i)
        changed = changed || (txtFields[i] && txtFields[i]->text() != shownText_[i]);
    // An add or edit nobody typed into has nothing to write (no empty new row).
    if (rs.editMode() != RowSet::EditMode::None && changed) {
        ConnectionRetry::run(
            [&] {
                copyFieldsToRow();
                rs.update();
            },
            [] {
                return prompts().message(
                           QStringLiteral("Could not open connection to database Retry ?"),
                           Prompts::Buttons::YesNo, Prompts::Icon::Question) == Prompts::Yes;
            });
    }
    rs.close();
}

void RecordForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!cmdAdd->isHidden() && cmdAdd->isEnabled())
        cmdAdd->setFocus();
}

void RecordForm::closeEvent(QCloseEvent* event)
{
    // Closing the window and the form's own Close both end here, once.
    if (!unloaded_) {
        unloaded_ = true;
        unload();
    }
    event->accept();
}

bool RecordForm::press(QPushButton* button)
{
    if (button->isHidden() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

bool RecordForm::isField(QWidget* w) const
{
    for (QWidget* f = w; f && f != this; f = f->parentWidget())
        if (txtFields.contains(f) || qobject_cast<QComboBox*>(f))
            return true;
    return false;
}

bool RecordForm::eventFilter(QObject* watched, QEvent* event)
{
    auto* w = qobject_cast<QWidget*>(watched);
    // A list's drop-down is a window of its own: its keys are its own.
    if (!w || (w != this && w->window() != window()))
        return QWidget::eventFilter(watched, event);
    QWidget* focused = QApplication::focusWidget();
    const auto refused = [&] {
        return focused && focused != w && isField(focused) && !focused->isAncestorOf(w) &&
               !fieldMayLeave(focused);
    };
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        // Going back is never refused: Save checks every field, so the clerk
        // may return to mend an earlier one from a field not yet filled.
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier) && w == focused &&
            isField(w) && !fieldMayLeave(w))
            return true;
        if (!keyPreview_)
            return false;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            return EnterMovesOn(w);
        return formKeyDown(key);
    }
    case QEvent::FocusOut: {
        // A click has already moved the focus when the form hears of it: a
        // field that keeps the focus takes it back and the click is lost.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::MouseFocusReason && isField(w) && w->isVisible() && !fieldMayLeave(w)) {
            swallowClick_ = true;
            QTimer::singleShot(0, w, [w] { w->setFocus(Qt::OtherFocusReason); });
        }
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (swallowClick_)
            return true;
        break;
    case QEvent::MouseButtonRelease:
        if (swallowClick_) {
            swallowClick_ = false;
            return true;
        }
        break;
    case QEvent::Shortcut:
        if (refused())
            return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool RecordForm::formKeyDown(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = mods == Qt::ControlModifier; // Ctrl alone among the shift keys
    const bool browse = isBrowsing();
    switch (event->key()) {
    case Qt::Key_A:
        if (!ctrl || !browse)
            return false;
        press(cmdAdd);
        return true;
    case Qt::Key_E:
        if (!ctrl || !browse || !options_.ctrlEEdits)
            return false;
        press(cmdEdit);
        return true;
    case Qt::Key_S:
        if (!ctrl || browse)
            return false;
        press(cmdUpdate);
        return true;
    case Qt::Key_Escape:
        press(browse ? cmdClose : cmdCancel);
        return true;
    case Qt::Key_Home:
        if (!browse)
            return false;
        press(cmdFirst);
        return true;
    case Qt::Key_End:
        if (!browse)
            return false;
        press(cmdLast);
        return true;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        if (!browse)
            return false;
        press(ctrl ? cmdFirst : cmdPrevious);
        return true;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        if (!browse)
            return false;
        press(ctrl ? cmdLast : cmdNext);
        return true;
    default:
        return false;
    }
}
