#pragma once

#include <QString>
#include <exception>

/// A failure of the data layer: a number and a description, in the style of
/// the classic data access errors that the screens quote in their messages.
class DbError : public std::exception
{
public:
    /// The connection does not open (data source missing, file missing or not
    /// a database). The logon recovers from this one.
    static constexpr int ConnectionFailed = -2147467259;
    /// A statement the engine refused (syntax, missing table or column).
    static constexpr int CommandFailed = -2147217900;
    /// A value that does not fit its column.
    static constexpr int BadValue = -2147217887;
    /// The row to update or delete is no longer in the table.
    static constexpr int RowNotFound = -2147217864;
    /// A lock another user holds was not let go in time.
    static constexpr int Busy = -2147217871;
    /// The connection to the database server broke off (server restarted,
    /// network down); the next statement connects again.
    static constexpr int ConnectionLost = -2147168228;
    /// An operation the row set cannot do in its current state (no current row).
    static constexpr int NoCurrentRow = 3021;

    DbError(int number, QString description) : number_(number), description_(std::move(description))
    {
        what_ = description_.toLocal8Bit();
    }

    int number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

    /// "number description", the form most messages use.
    QString numberAndDescription(const QString& separator = QStringLiteral(" ")) const
    {
        return QString::number(number_) + separator + description_;
    }

private:
    int number_;
    QString description_;
    QByteArray what_;
};
