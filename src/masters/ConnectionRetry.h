#pragma once

#include <functional>

/// The retry rule for a step that meets DbError::ConnectionFailed (the
/// "unspecified error" of a connection that went away for a moment) or
/// DbError::ConnectionLost (a server restarted under it): the
/// first silentRetries failures are retried without a word; from then on
/// each further failure asks whether to retry. Any other error, or a No,
/// ends the step.
namespace ConnectionRetry {

inline constexpr int silentRetries = 21;

/// Runs step until it succeeds or the rule gives up. askRetry is asked after
/// each failure beyond the silent ones and returns true to try again.
/// Returns true when the step succeeded.
bool run(const std::function<void()>& step, const std::function<bool()>& askRetry);

} // namespace ConnectionRetry
