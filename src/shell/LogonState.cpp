#include "LogonState.h"

#include "Database.h"

LogonState& logonState()
{
    static LogonState state;
    return state;
}
