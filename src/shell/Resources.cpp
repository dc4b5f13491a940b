#include "Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
void InitResources()
{
    Q_INIT_RESOURCE(shell);
    Q_INIT_RESOURCE(lookups);
}
