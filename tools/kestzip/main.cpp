// kestzip: lists, extracts and creates ZIP archives with cZipArchive.
//   kestzip list ARCHIVE
//   kestzip extract ARCHIVE DIR [--password P]
//   kestzip create ARCHIVE PATH... [--password P] [--aes 128|192|256] [--level 0-9]
#include "zip/cZipArchive.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

struct Options {
    QStringList positional;
    QString password;
    int strength = 0;
    int level = 6;
};

int usage() {
    std::fputs("usage: kestzip list ARCHIVE\n"
               "       kestzip extract ARCHIVE DIR [--password P]\n"
               "       kestzip create ARCHIVE PATH... [--password P] [--aes 128|192|256] "
               "[--level 0-9]\n",
               stderr);
    return 2;
}

std::optional<Options> parse(const QStringList& args) {
    Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            options.positional.append(arg);
            continue;
        }
        if (i + 1 >= args.size())
            return std::nullopt;
        const QString value = args[++i];
        bool ok = true;
        if (arg == QLatin1String("--password")) {
            options.password = value;
        } else if (arg == QLatin1String("--aes")) {
            const int bits = value.toInt(&ok);
            options.strength = bits == 128 ? 1 : bits == 192 ? 2 : bits == 256 ? 3 : 0;
            ok = ok && options.strength != 0;
        } else if (arg == QLatin1String("--level")) {
            options.level = value.toInt(&ok);
            ok = ok && options.level >= 0 && options.level <= 9;
        } else {
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
    }
    return options;
}

int fail(const cZipArchive& zip) {
    std::fprintf(stderr, "kestzip: %s\n", qPrintable(zip.LastError()));
    return 1;
}

int list(cZipArchive& zip, const QString& archive) {
    if (!zip.OpenArchive(archive))
        return fail(zip);
    for (int i = 0; i < zip.FileCount(); ++i) {
        const QVariantList info = zip.FileInfo(i).toList();
        std::printf("%12llu  %12llu  %s  %s\n", info[cZipArchive::Size].toULongLong(),
                    info[cZipArchive::CompressedSize].toULongLong(),
                    qPrintable(info[cZipArchive::LastModified].toDateTime().toString(
                        QStringLiteral("yyyy-MM-dd HH:mm"))),
                    qPrintable(info[cZipArchive::FileName].toString()));
    }
    return 0;
}

int extract(cZipArchive& zip, const QString& archive, const QString& folder,
            const QString& password) {
    if (!zip.OpenArchive(archive) || !zip.Extract(folder + QLatin1Char('/'), {}, password))
        return fail(zip);
    return 0;
}

int create(cZipArchive& zip, const QString& archive, const QStringList& paths,
           const Options& options) {
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const bool ok =
            info.isDir()
                ? zip.AddFromFolder(info.absoluteFilePath(), true, info.fileName(), true,
                                    options.password, options.strength)
                : zip.AddFile(path, info.fileName(), {}, options.password, options.strength);
        if (!ok)
            return fail(zip);
    }
    if (!zip.CompressArchive(archive, {}, options.level))
        return fail(zip);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const auto options = parse(app.arguments().mid(1));
    if (!options || options->positional.size() < 2)
        return usage();
    const QStringList& args = options->positional;
    const QString& command = args[0];
    cZipArchive zip;
    if (command == QLatin1String("list") && args.size() == 2)
        return list(zip, args[1]);
    if (command == QLatin1String("extract") && args.size() == 3)
        return extract(zip, args[1], args[2], options->password);
    if (command == QLatin1String("create") && args.size() >= 3)
        return create(zip, args[1], args.mid(2), *options);
    return usage();
}
