#include "TestHome.h"

#include "AppPaths.h"

TestHome::TestHome()
{
    AppPaths::setHome(dir_.path());
}

TestHome::~TestHome()
{
    AppPaths::setHome(QString());
}
