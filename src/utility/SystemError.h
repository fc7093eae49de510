#pragma once
// The last system failure and its text, for messages such as "Error: <text>".

#include <QString>

namespace SystemError {
/// errno of the calling thread's last failed call.
int lastErrorCode();
/// The system's message text for a code.
QString errorText(int code);
/// Text of the last failure.
inline QString lastErrorText() {
    return errorText(lastErrorCode());
}
} // namespace SystemError
