#include "modIni.h"

#include "platform/PrivateProfile.h"

namespace ini {

namespace {
constexpr int BufferSize = 255;
}

QString readValue(const QString& section, const QString& key, const QString& defaultValue,
                  const QString& path) {
    return profile::readString(section, key, defaultValue, path, BufferSize);
}

void writeValue(const QString& section, const QString& key, const QString& value,
                const QString& path) {
    profile::writeString(section, key, value, path);
}

} // namespace ini
