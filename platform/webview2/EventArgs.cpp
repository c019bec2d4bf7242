#include "EventArgs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

HRESULT WebMessageReceivedArgs::TryGetWebMessageAsString(QString* v) {
    if (!v)
        return hr::E_POINTER;
    if (!isString)
        return hr::E_INVALIDARG;
    *v = QJsonDocument::fromJson("[" + json.toUtf8() + "]").array().at(0).toString();
    return hr::S_OK;
}

HRESULT AcceleratorKeyPressedArgs::get_KeyEventLParam(std::int32_t* v) {
    const std::uint32_t lParam =
        (status.RepeatCount & 0xFFFF) | ((status.ScanCode & 0xFF) << 16) |
        (status.IsExtendedKey ? 1u << 24 : 0) | (status.IsMenuKeyDown ? 1u << 29 : 0) |
        (status.WasKeyDown ? 1u << 30 : 0) | (status.IsKeyReleased ? 1u << 31 : 0);
    return eventargs::out(v, static_cast<std::int32_t>(lParam));
}
