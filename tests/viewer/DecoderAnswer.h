#pragma once

#include "viewer/DecoderProcess.h"

#include "platform/MessagePump.h"
#include "tests/common/TestApp.h"

#include <QString>

#include <chrono>
#include <optional>

namespace testing_support {

// The decoder's answer for a file, waited for in the event loop as the viewer
// waits for it; empty when none came.
inline QString decoderAnswer(const QString& program, const QString& file, const QString& framesPath,
                             int timeoutMs) {
    app();
    std::optional<QString> answer;
    const decoderprocess::Run run(program, file, framesPath, timeoutMs,
                                  [&answer](const QString& text) { answer = text; });
    pump::waitUntil([&answer] { return answer.has_value(); },
                    std::chrono::milliseconds(timeoutMs + 10000));
    return answer.value_or(QString());
}

} // namespace testing_support
