#pragma once

#include "FakeKeyring.h"

#include <QString>
#include <QTemporaryDir>

/// A throw-away program folder for one test: AppPaths points at it while the
/// object lives. No keyring is there meanwhile, so that a test never reads or
/// writes the desktop's (a test that needs one installs a FakeKeyring).
class TestHome
{
public:
    TestHome();
    ~TestHome();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    FakeKeyring noKeyring_{false};
};
