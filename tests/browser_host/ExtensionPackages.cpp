#include "ExtensionPackages.h"

#include "zip/cZipArchive.h"

namespace extensionpackages {

namespace {

QByteArray littleEndian32(quint32 value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

} // namespace

Files sampleExtension() {
    return {
        {"manifest.json",
         R"({"manifest_version": 3, "name": "Sample", "version": "1.0",
  "action": {"default_popup": "popup.html", "default_icon": {"16": "icons/i16.png"}},
  "options_ui": {"page": "options.html", "open_in_tab": true},
  "icons": {"48": "icons/i48.png", "128": "icons/i128.png"}})"},
        {"popup.html", "<html><body>popup</body></html>"},
        {"options.html", "<html><body>options</body></html>"},
        {"icons/i16.png", QByteArray(300, 'i')},
    };
}

QByteArray zipOf(const Files& files) {
    cZipArchive zip;
    for (const auto& [name, bytes] : files)
        zip.AddFile(bytes, name);
    QByteArray archive;
    zip.CompressArchive(archive);
    return archive;
}

QByteArray crx3(const QByteArray& zip, int headerBytes) {
    return "Cr24" + littleEndian32(3) + littleEndian32(quint32(headerBytes)) +
           QByteArray(headerBytes, '\x12') + zip;
}

QByteArray crx2(const QByteArray& zip, int keyBytes, int signatureBytes) {
    return "Cr24" + littleEndian32(2) + littleEndian32(quint32(keyBytes)) +
           littleEndian32(quint32(signatureBytes)) + QByteArray(keyBytes, 'k') +
           QByteArray(signatureBytes, 's') + zip;
}

} // namespace extensionpackages
