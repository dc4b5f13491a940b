#include "ConnectionRetry.h"

#include "DbError.h"

namespace ConnectionRetry {

bool run(const std::function<void()>& step, const std::function<bool()>& askRetry)
{
    int failures = 0;
    for (;;) {
        try {
            step();
            return true;
        } catch (const DbError& e) {
            if (e.number() != DbError::ConnectionFailed)
                return false;
            ++failures;
            if (failures > silentRetries && !askRetry())
                return false;
        } catch (...) {
            return false;
        }
    }
}

} // namespace ConnectionRetry
