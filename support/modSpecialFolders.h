#pragma once

#include <QString>

// The user's special folders by their shell folder numbers.
namespace specialfolders {

constexpr int Desktop = 0x10;
constexpr int Documents = 0x05;
constexpr int AppData = 0x1A;
constexpr int LocalAppData = 0x1C;
constexpr int CommonAppData = 0x23;
constexpr int Pictures = 0x27;

// The folder's path without a trailing separator, empty when unknown.
QString path(int folder);

} // namespace specialfolders
