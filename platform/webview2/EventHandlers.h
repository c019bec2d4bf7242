#pragma once

#include "WebView2.h"

#include <utility>
#include <vector>

// The handlers registered for one event. Raising works on a copy of the list,
// so a handler may add or remove handlers while it runs.
template <typename Handler> class EventHandlers {
public:
    using HandlerType = Handler;

    HRESULT add(Handler* handler, EventRegistrationToken* token) {
        if (!handler || !token)
            return hr::E_POINTER;
        token->value = ++s_lastToken;
        m_handlers.emplace_back(token->value, ComPtr<Handler>(handler));
        return hr::S_OK;
    }

    HRESULT remove(EventRegistrationToken token) {
        std::erase_if(m_handlers, [&](const auto& entry) { return entry.first == token.value; });
        return hr::S_OK;
    }

    bool empty() const { return m_handlers.empty(); }
    void clear() { m_handlers.clear(); }

    template <typename... Args> void raise(Args... args) const {
        const auto handlers = m_handlers;
        for (const auto& entry : handlers)
            entry.second->Invoke(args...);
    }

private:
    static inline std::int64_t s_lastToken = 0;
    std::vector<std::pair<std::int64_t, ComPtr<Handler>>> m_handlers;
};

// Defines Class::add_Name and Class::remove_Name, which register handlers in `list`.
#define KWV_EVENT_REGISTRATION(Class, Name, list)                                                  \
    HRESULT Class::add_##Name(decltype(list)::HandlerType* handler,                                \
                              EventRegistrationToken* token) {                                     \
        return list.add(handler, token);                                                           \
    }                                                                                              \
    HRESULT Class::remove_##Name(EventRegistrationToken token) {                                   \
        return list.remove(token);                                                                 \
    }
