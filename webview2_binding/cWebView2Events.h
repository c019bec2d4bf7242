#pragma once

// The events the binding raises from its zero-delay timer, outside the
// runtime's callbacks, in the order they were posted.
enum class DeferredEvent {
    InitComplete,
    DocumentComplete,
    NavigationCompleted,
    SourceChanged,
    ProcessFailed,
    JSMessage,
    JSAsyncResult,
    UserContextMenu,
    GotFocus,
    LostFocus,
    FrameCreated,
    TitleChanged,
    ContentLoading,
    HistoryChanged,
    WindowCloseRequested,
    ZoomFactorChanged,
    DOMContentLoaded,
    StatusBarTextChanged,
    ContainsFullScreenElementChanged,
};
