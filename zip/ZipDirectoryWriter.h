#pragma once

#include "zip/ZipOptions.h"
#include "zip/ZipRecords.h"

#include <QIODevice>
#include <QList>

// Writes, after the entries, the central directory of `headers` and the end records with
// `comment`; Zip64 end records when `zip64` asks or the directory needs them. Returns an error
// text, empty on success.
QString writeZipDirectory(QIODevice& output, const QList<ZipRecords::EntryHeader>& headers,
                          const QByteArray& comment, Zip64Mode zip64);
