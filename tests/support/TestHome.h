#pragma once

#include <QString>
#include <QTemporaryDir>

/// A throw-away program folder for one test: AppPaths points at it while the
/// object lives.
class TestHome
{
public:
    TestHome();
    ~TestHome();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};
