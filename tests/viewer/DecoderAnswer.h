#pragma once

#include "viewer/DecoderProcess.h"

#include "platform/MessagePump.h"
#include "tests/common/TestApp.h"

#include <QString>

#include <chrono>
#include <optional>

namespace testing_support {

// The decoder's answer to a request, waited for in the event loop as the
// viewer waits for it; empty when none came.
inline QString decoderAnswer(decoderprocess::Decoder& decoder,
                             const decoderprocess::Request& request, int timeoutMs) {
    app();
    std::optional<QString> answer;
    decoder.decode(request, [&answer](const QString& text) { answer = text; });
    pump::waitUntil([&answer] { return answer.has_value(); },
                    std::chrono::milliseconds(timeoutMs + 10000));
    return answer.value_or(QString());
}

// ... from a decoder process of its own, for every frame of the file.
inline QString decoderAnswer(const QString& program, const QString& file, const QString& framesPath,
                             int timeoutMs) {
    decoderprocess::Decoder decoder(program, timeoutMs);
    return decoderAnswer(decoder, {file, framesPath, 0, 0}, timeoutMs);
}

} // namespace testing_support
