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
            // A server connection that broke off is found again by the retry.
            if (e.number() != DbError::ConnectionFailed && e.number() != DbError::ConnectionLost)
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
