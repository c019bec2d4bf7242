#include "FileDialogHook.h"

namespace filedialogs {

namespace {

Hook& hook() {
    static Hook instance;
    return instance;
}

} // namespace

void setHook(Hook newHook) {
    hook() = std::move(newHook);
}

const Hook& installedHook() {
    return hook();
}

} // namespace filedialogs
