// The host decoder program, run as the viewer runs it.

#include "DecoderAnswer.h"

#include "platform/MessagePump.h"
#include "tests/common/DicomFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <memory>
#include <optional>

#include <signal.h>
#include <sys/resource.h>

#include <gdcmImageChangeTransferSyntax.h>
#include <gdcmImageReader.h>
#include <gdcmImageWriter.h>
#include <gdcmTrace.h>

#include <gtest/gtest.h>

namespace {

using testing_support::DicomBuilder;
using testing_support::pydicomFile;

QJsonObject answerOf(const QString& text) {
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// The file re-encoded in another transfer syntax by GDCM's encoders, which
// write one fragment per frame.
bool transcode(const QString& source, gdcm::TransferSyntax::TSType syntax, const QString& target) {
    // GDCM warns that lossless JPEG of RGB samples is not in the standard's examples.
    gdcm::Trace::SetWarning(false);
    gdcm::ImageReader reader;
    reader.SetFileName(QFile::encodeName(source).constData());
    if (!reader.Read())
        return false;
    gdcm::ImageChangeTransferSyntax change;
    change.SetTransferSyntax(syntax);
    change.SetInput(reader.GetImage());
    if (!change.Change())
        return false;
    gdcm::ImageWriter writer;
    writer.SetFileName(QFile::encodeName(target).constData());
    writer.SetFile(reader.GetFile());
    writer.SetImage(change.GetOutput());
    return writer.Write();
}

class DecoderProcess : public ::testing::Test {
protected:
    // Decodes every frame of the file in a decoder process of its own; its
    // description, the frames kept in `frames`.
    QJsonObject decode(const QString& file, const QString& program = KEST_DECODER_PATH) {
        return framesOf(testing_support::decoderAnswer(program, file, clearedOut(), 20000));
    }

    // Frames [first, first + count) of the file, from the fixture's decoder process.
    QJsonObject decodeFrames(const QString& file, int first, int count) {
        return framesOf(
            testing_support::decoderAnswer(serving, {file, clearedOut(), first, count}, 20000));
    }

    // A decoder program made of a shell script.
    QString script(const char* name, const QByteArray& text) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("#!/bin/sh\n" + text);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        return path;
    }

    QTemporaryDir folder;
    QByteArray frames;
    decoderprocess::Decoder serving{QStringLiteral(KEST_DECODER_PATH), 20000};

private:
    QString clearedOut() const {
        const QString out = folder.filePath(QStringLiteral("frames.bin"));
        QFile::remove(out);
        return out;
    }

    QJsonObject framesOf(const QString& answer) {
        QFile written(folder.filePath(QStringLiteral("frames.bin")));
        frames = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
        return answerOf(answer);
    }
};

// The same dose grid stored little-endian, big-endian and RLE-compressed
// decodes to the same 32-bit frames.
TEST_F(DecoderProcess, EveryEncodingOfADoseGridGivesTheSameFrames) {
    const QJsonObject plain = decode(pydicomFile(QStringLiteral("rtdose.dcm")));
    EXPECT_EQ(plain.value("type").toString(), QStringLiteral("uint32"));
    EXPECT_EQ(plain.value("rows").toInt(), 10);
    EXPECT_EQ(plain.value("columns").toInt(), 10);
    EXPECT_EQ(plain.value("frames").toInt(), 15);
    ASSERT_EQ(frames.size(), 10 * 10 * 15 * 4);
    const QByteArray expected = frames;
    for (const char* name : {"rtdose_expb.dcm", "rtdose_rle.dcm"}) {
        const QJsonObject other = decode(pydicomFile(QString::fromLatin1(name)));
        EXPECT_EQ(other.value("type").toString(), QStringLiteral("uint32")) << name;
        EXPECT_TRUE(frames == expected) << name;
    }
}

// A range of frames holds what the whole image holds at those frames, whether
// they are decoded alone (compressed one to a fragment) or cut out of it; the
// re-encoded copies of a lossless file decode to its frames.
TEST_F(DecoderProcess, ARangeOfFramesIsThoseFramesOfTheWholeImage) {
    const QString colour = pydicomFile(QStringLiteral("SC_rgb_rle_2frame.dcm"));
    QStringList files{pydicomFile(QStringLiteral("rtdose.dcm")),
                      pydicomFile(QStringLiteral("rtdose_rle.dcm")),
                      QStringLiteral(KEST_TEST_DATA "/ramp_htj2k_2frames.dcm"), colour};
    const std::pair<gdcm::TransferSyntax::TSType, const char*> encodings[] = {
        {gdcm::TransferSyntax::JPEG2000Lossless, "j2k.dcm"},
        {gdcm::TransferSyntax::JPEGLSLossless, "jls.dcm"},
        {gdcm::TransferSyntax::JPEGLosslessProcess14_1, "jpeg.dcm"}};
    for (const auto& [syntax, name] : encodings) {
        files << folder.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(transcode(colour, syntax, files.last())) << name;
    }
    QByteArray colourFrames;
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const QJsonObject all = decodeFrames(file, 0, 0);
        const int total = all.value("frames").toInt();
        ASSERT_GE(total, 2) << all.value("error").toString().toStdString();
        EXPECT_EQ(all.value("count").toInt(), total);
        const QByteArray whole = frames;
        const qsizetype frameBytes = whole.size() / total;
        if (file == colour)
            colourFrames = whole;
        if (file.startsWith(folder.path())) {
            EXPECT_TRUE(whole == colourFrames);
        }

        const QJsonObject last = decodeFrames(file, total - 1, 1);
        EXPECT_EQ(last.value("first").toInt(), total - 1);
        EXPECT_EQ(last.value("count").toInt(), 1);
        EXPECT_TRUE(frames == whole.mid(frameBytes * (total - 1)));
        const QJsonObject rest = decodeFrames(file, 1, total + 5);
        EXPECT_EQ(rest.value("first").toInt(), 1);
        EXPECT_EQ(rest.value("count").toInt(), total - 1);
        EXPECT_TRUE(frames == whole.mid(frameBytes));
        EXPECT_EQ(decodeFrames(file, total, 1).value("error").toString(),
                  QStringLiteral("the image has no frame %1").arg(total + 1));
        EXPECT_TRUE(frames.isEmpty());
    }
}

// 8-bit colour RLE and 16-bit colour RLE of the same picture: the 16-bit
// samples are the 8-bit ones times 257, interleaved in RGB.
TEST_F(DecoderProcess, DeepColourRleKeepsItsSampleOrder) {
    decode(pydicomFile(QStringLiteral("SC_rgb_rle.dcm")));
    const QByteArray eight = frames;
    const QJsonObject deep = decode(pydicomFile(QStringLiteral("SC_rgb_rle_16bit.dcm")));
    EXPECT_EQ(deep.value("type").toString(), QStringLiteral("uint16"));
    EXPECT_EQ(deep.value("samples").toInt(), 3);
    ASSERT_EQ(frames.size(), eight.size() * 2);
    const auto* wide = reinterpret_cast<const uchar*>(frames.constData());
    int differing = 0;
    for (qsizetype i = 0; i < eight.size(); ++i)
        differing += qFromLittleEndian<quint16>(wide + 2 * i) != uchar(eight[i]) * 257;
    EXPECT_EQ(differing, 0);
}

// A data set written in implicit VR under an explicit transfer syntax (JPEG
// baseline) is read as it is written, and its colour comes out as RGB.
TEST_F(DecoderProcess, ADataSetNotEncodedAsItsSyntaxSaysStillDecodes) {
    const QJsonObject description = decode(pydicomFile(QStringLiteral("SC_rgb_jpeg.dcm")));
    EXPECT_EQ(description.value("error").toString(), QString());
    EXPECT_EQ(description.value("type").toString(), QStringLiteral("uint8"));
    EXPECT_EQ(description.value("samples").toInt(), 3);
    EXPECT_EQ(description.value("photometric").toString(), QStringLiteral("RGB"));
    EXPECT_EQ(frames.size(), 256 * 256 * 3);
}

// Read as its syntax says, that data set's second element claims a value of
// 1.3 GB, which the reader allocates and zeroes before it finds the file ends.
// The decoder's bound on its memory makes that allocation fail at once, and
// the file still decodes.
TEST_F(DecoderProcess, AValueClaimingMoreThanTheFileHoldsCostsNoMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves the address space the bound would limit";
#endif
    const QJsonObject description = decode(pydicomFile(QStringLiteral("SC_rgb_jpeg.dcm")));
    EXPECT_EQ(description.value("error").toString(), QString());
    EXPECT_EQ(frames.size(), 256 * 256 * 3);
    rusage children{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &children), 0);
    // The largest resident size of any decoder this process ran, in KiB.
    EXPECT_LT(children.ru_maxrss, 256 * 1024);
}

// Two 16 x 12 frames of 12-bit samples in HTJ2K lossless (made by the
// scripts beside the file): frame 0 holds (x * 257 + y * 61) mod 4096 at
// (x, y), frame 1 4095 minus that.
TEST_F(DecoderProcess, HighThroughputJpeg2000FramesDecodeLosslessly) {
    const QString file = QStringLiteral(KEST_TEST_DATA "/ramp_htj2k_2frames.dcm");
    const QJsonObject description = decode(file);
    EXPECT_EQ(description.value("error").toString(), QString());
    EXPECT_EQ(description.value("type").toString(), QStringLiteral("uint16"));
    EXPECT_EQ(description.value("frames").toInt(), 2);
    ASSERT_EQ(frames.size(), 2 * 16 * 12 * 2);
    const auto* samples = reinterpret_cast<const uchar*>(frames.constData());
    int differing = 0;
    for (int frame = 0; frame < 2; ++frame)
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const int ramp = (x * 257 + y * 61) % 4096;
                const int expected = frame == 0 ? ramp : 4095 - ramp;
                differing += qFromLittleEndian<quint16>(
                                 samples + 2 * ((frame * 12 + y) * 16 + x)) != expected;
            }
    EXPECT_EQ(differing, 0);
}

// A codestream announcing an image far larger than the data set's is refused
// before anything is decoded.
TEST_F(DecoderProcess, AHighThroughputCodestreamOfAnotherSizeIsRefused) {
    QFile source(QStringLiteral(KEST_TEST_DATA "/ramp_htj2k_2frames.dcm"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray bytes = source.readAll();
    const qsizetype codestream = bytes.indexOf(QByteArray("\xff\x4f\xff\x51", 4));
    ASSERT_GT(codestream, 0);
    bytes.replace(codestream + 8, 4, QByteArray("\x7f\xff\xff\x00", 4)); // the image width
    const QString file = folder.filePath(QStringLiteral("wide.dcm"));
    QFile wide(file);
    ASSERT_TRUE(wide.open(QIODevice::WriteOnly));
    wide.write(bytes);
    wide.close();
    EXPECT_EQ(decode(file).value("error").toString(),
              QStringLiteral("the pixel data could not be decoded"));
    EXPECT_TRUE(frames.isEmpty());
}

// A JPEG 2000 codestream of unsigned 13-bit samples in a data set that says they are signed:
// the samples are the data set's, sign-extended from their highest stored bit (as pydicom
// reads them).
TEST_F(DecoderProcess, SignedSamplesFollowTheDataSetNotTheCodestream) {
    const QJsonObject answer = decode(pydicomFile(QStringLiteral("J2K_pixelrep_mismatch.dcm")));
    EXPECT_EQ(answer.value("type").toString(), QStringLiteral("int16"));
    ASSERT_EQ(frames.size(), 512 * 512 * 2);
    const auto* samples = reinterpret_cast<const qint16*>(frames.constData());
    const auto [low, high] = std::minmax_element(samples, samples + 512 * 512);
    EXPECT_EQ(*low, -2000);
    EXPECT_EQ(*high, 1896);
}

TEST_F(DecoderProcess, FloatPixelDataIsHandedOverAsItIsStored) {
    const QByteArray bytes = DicomBuilder::floatSamples({-1.5f, 0.0f, 2.25f, 1e6f});
    const QString file = folder.filePath(QStringLiteral("float.dcm"));
    ASSERT_TRUE(DicomBuilder().addFloatImage(2, 2, bytes).write(file));
    const QJsonObject description = decode(file);
    EXPECT_EQ(description.value("type").toString(), QStringLiteral("float32"));
    EXPECT_EQ(description.value("rows").toInt(), 2);
    EXPECT_EQ(frames, bytes);
}

// A JPEG 2000 file cut inside its pixel data shows what arrived: the picture, its finest detail
// missing, close to the whole file's. Cut before any of its codestream, it is refused.
TEST_F(DecoderProcess, AJpeg2000FileCutShortShowsWhatArrived) {
    const QString complete = folder.filePath(QStringLiteral("j2k.dcm"));
    ASSERT_TRUE(transcode(pydicomFile(QStringLiteral("CT_small.dcm")),
                          gdcm::TransferSyntax::JPEG2000Lossless, complete));
    QFile source(complete);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    ASSERT_FALSE(decode(source.fileName()).contains("error"));
    const QByteArray whole = frames;
    const qsizetype pixelData = bytes.lastIndexOf(QByteArray("\xe0\x7f\x10\x00", 4));
    ASSERT_GT(pixelData, 0);
    const auto cutAt = [&](qsizetype length) {
        const QString path = folder.filePath(QStringLiteral("cut-%1.dcm").arg(length));
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes.left(length)) == length
                   ? path
                   : QString();
    };
    for (const double share : {0.99, 0.9, 0.7}) {
        SCOPED_TRACE(share);
        const QJsonObject answer = decode(cutAt(qsizetype(bytes.size() * share)));
        ASSERT_FALSE(answer.contains("error")) << answer.value("error").toString().toStdString();
        ASSERT_EQ(frames.size(), whole.size());
        const auto* cut = reinterpret_cast<const qint16*>(frames.constData());
        const auto* full = reinterpret_cast<const qint16*>(whole.constData());
        const qsizetype count = whole.size() / 2;
        double difference = 0;
        for (qsizetype at = 0; at < count; ++at)
            difference += std::abs(int(cut[at]) - int(full[at]));
        const auto [low, high] = std::minmax_element(full, full + count);
        EXPECT_LT(difference / double(count), 0.05 * (*high - *low));
        EXPECT_NE(frames, QByteArray(frames.size(), '\0'));
    }
    // Cut inside the first fragment's header (after the pixel data's 12 bytes and its offset
    // table's 8): no codestream has arrived.
    for (const qsizetype reach : {20, 24, 28})
        EXPECT_EQ(decode(cutAt(pixelData + reach)).value("error").toString(),
                  QStringLiteral("the file ends inside its data set"))
            << reach;
}

// A multi-frame file cut inside its second frame's codestream: the first frame is whole, and the
// second, of which too little arrived to read its header, is refused with the reason.
TEST_F(DecoderProcess, AMultiFrameFileCutShortGivesTheFramesThatArrived) {
    const QString complete = QStringLiteral(KEST_TEST_DATA "/ramp_htj2k_2frames.dcm");
    decodeFrames(complete, 0, 0);
    const QByteArray whole = frames;
    QFile source(complete);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    // The items after the pixel data element: its offset table, then a fragment per frame.
    const QByteArray item("\xfe\xff\x00\xe0", 4);
    const qsizetype table = bytes.indexOf(item, bytes.lastIndexOf("\xe0\x7f\x10\x00"));
    const qsizetype first = bytes.indexOf(item, table + 8);
    const qsizetype second = bytes.indexOf(item, first + 8);
    ASSERT_GT(table, 0);
    ASSERT_GT(second, first);
    const QString cut = folder.filePath(QStringLiteral("cut.dcm"));
    QFile file(cut);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.left(second + 8 + 10));
    file.close();
    const QJsonObject answer = decodeFrames(cut, 0, 1);
    ASSERT_FALSE(answer.contains("error")) << answer.value("error").toString().toStdString();
    EXPECT_EQ(answer.value("frames").toInt(), 2);
    EXPECT_TRUE(frames == whole.left(whole.size() / 2));
    EXPECT_EQ(decodeFrames(cut, 1, 1).value("error").toString(),
              QStringLiteral("the file ends inside its data set"));
    EXPECT_TRUE(frames.isEmpty());
}

// A VR no reader knows, from a damaged byte, in the meta information, the data set and inside a
// sequence's items: the file reads as lenient readers read it, with the same frames. A damaged
// VR the walk cannot follow still leaves the file unread.
TEST_F(DecoderProcess, ElementsWithADamagedVrAreReadAsLenientReadersReadThem) {
    QFile source(pydicomFile(QStringLiteral("CT_small.dcm")));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    decode(source.fileName());
    const QByteArray frames0 = frames;
    ASSERT_FALSE(frames0.isEmpty());
    QByteArray damaged = bytes;
    const std::pair<QByteArray, QByteArray> flips[] = {
        {QByteArray("\x02\x00\x01\x00OB", 6), "OC"}, // long form, in the meta information
        {QByteArray("\x08\x00\x08\x00"
                    "CS",
                    6),
         "CC"},                                          // Image Type
        {QByteArray("\x28\x00\x10\x00US", 6), "Us"},     // Rows
        {QByteArray("\x10\x00\x20\x00LO", 6), "L\xcf"}}; // Patient ID, in the sequence too
    for (const auto& [header, vr] : flips) {
        qsizetype at = damaged.indexOf(header);
        ASSERT_GE(at, 0) << header.toHex().toStdString();
        for (; at >= 0; at = damaged.indexOf(header, at + 1))
            damaged.replace(at + 4, 2, vr);
    }
    const QString path = folder.filePath(QStringLiteral("damaged.dcm"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(damaged);
    file.close();
    const QJsonObject answer = decode(path);
    EXPECT_FALSE(answer.contains("error")) << answer.value("error").toString().toStdString();
    EXPECT_EQ(answer.value("rows").toInt(), 128);
    EXPECT_TRUE(frames == frames0);

    // Rows damaged so that its length reaches past the end of the file: not read.
    damaged = bytes;
    damaged.replace(damaged.indexOf(QByteArray("\x28\x00\x10\x00US", 6)) + 4, 4,
                    QByteArray("Ux\xff\xff", 4));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(damaged.left(damaged.indexOf(QByteArray("\xe0\x7f\x10\x00", 4)) + 200));
    file.close();
    EXPECT_TRUE(decode(path).contains("error"));

    // A damaged VR ten sequences deep, each of undefined length: mended there too, the file is
    // read and found to hold no image (GDCM's reader stops the process on such a VR).
    const QByteArray sequence("\x08\x00\x15\x11SQ\x00\x00\xff\xff\xff\xff", 12);
    const QByteArray item("\xfe\xff\x00\xe0\xff\xff\xff\xff", 8);
    const QByteArray ends("\xfe\xff\x0d\xe0\x00\x00\x00\x00\xfe\xff\xdd\xe0\x00\x00\x00\x00", 16);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(DicomBuilder().add(0x0008, 0x0060, "CS", "OT").build() +
               (sequence + item).repeated(10) +
               QByteArray("\x08\x00\x60\x00"
                          "CX\x02\x00OT",
                          10) +
               ends.repeated(10));
    file.close();
    EXPECT_EQ(decode(path).value("error").toString(),
              QStringLiteral("the file holds no pixel data"));
}

// A file cut inside its pixel data is refused: the reader would fill the rest with zeros.
TEST_F(DecoderProcess, FilesItCannotDecodeGiveAReasonAndNoFrames) {
    EXPECT_EQ(decode(pydicomFile(QStringLiteral("MR_truncated.dcm"))).value("error").toString(),
              QStringLiteral("the file ends inside its data set"));
    EXPECT_TRUE(frames.isEmpty());
    // A decoder that stops on a file (a failed assertion in its library): the viewer is told so.
    const QString aborting = script("aborting-decoder", "kill -ABRT $$\n");
    EXPECT_EQ(
        decode(pydicomFile(QStringLiteral("CT_small.dcm")), aborting).value("error").toString(),
        QStringLiteral("the decoder stopped on this file"));
    EXPECT_EQ(decode(pydicomFile(QStringLiteral("test-SR.dcm"))).value("error").toString(),
              QStringLiteral("the file holds no pixel data"));
    EXPECT_EQ(decode(pydicomFile(QStringLiteral("CT_small.dcm")),
                     folder.filePath(QStringLiteral("missing-decoder")))
                  .value("error")
                  .toString(),
              QStringLiteral("the decoder could not be started"));
    EXPECT_TRUE(frames.isEmpty());
}

// A decoder program made of a shell script that answers each request with
// its process id; it stalls on a file named "stall" and aborts on "abort".
constexpr char ServingScript[] =
    "while read line; do\n"
    "  case \"$line\" in\n"
    "    *stall*) echo $$ > \"$(dirname \"$0\")/pid\"; exec sleep 30;;\n"
    "    *abort*) kill -ABRT $$;;\n"
    "  esac\n"
    "  echo \"{\\\"pid\\\": $$}\"\n"
    "done\n";

// A stalled decoder: the event loop runs while it is waited for, the
// time-out kills it and answers once, and the next request has a fresh process.
TEST_F(DecoderProcess, AStalledDecoderIsKilledAtItsTimeOutWhileTheEventLoopRuns) {
    decoderprocess::Decoder decoder(script("serving-decoder", ServingScript), 1000);
    testing_support::app();
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(50);
    int answers = 0;
    QString answer;
    QElapsedTimer clock;
    clock.start();
    decoder.decode({QStringLiteral("stall"), QStringLiteral("out"), 0, 1},
                   [&](const QString& text) {
                       ++answers;
                       answer = text;
                   });
    ASSERT_TRUE(pump::waitUntil([&] { return answers > 0; }, std::chrono::seconds(10)));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_GE(ticks, 10) << "the event loop did not run during the decoding";
    EXPECT_EQ(answerOf(answer).value("error").toString(),
              QStringLiteral("the decoder did not finish within 1 s"));
    // The next answer comes after any second answer to the first request would.
    const QJsonObject next = answerOf(testing_support::decoderAnswer(
        decoder, {QStringLiteral("next"), QStringLiteral("out"), 0, 1}, 1000));
    EXPECT_GT(next.value("pid").toInt(), 0);
    EXPECT_EQ(answers, 1);
    QFile pid(folder.filePath(QStringLiteral("pid")));
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const pid_t stalled = pid.readAll().trimmed().toInt();
    ASSERT_GT(stalled, 0);
    EXPECT_NE(next.value("pid").toInt(), stalled);
    EXPECT_TRUE(
        pump::waitUntil([stalled] { return ::kill(stalled, 0) != 0; }, std::chrono::seconds(5)))
        << "the stalled decoder still runs";
}

// One process answers request after request; one that stops on a file is
// replaced by a fresh one for the next request.
TEST_F(DecoderProcess, OneProcessServesRequestAfterRequestUntilItStops) {
    decoderprocess::Decoder decoder(script("serving-decoder", ServingScript), 20000);
    const auto ask = [&decoder](const char* file) {
        return answerOf(testing_support::decoderAnswer(
            decoder, {QString::fromLatin1(file), QStringLiteral("out"), 0, 1}, 20000));
    };
    const int first = ask("a.dcm").value("pid").toInt();
    ASSERT_GT(first, 0);
    EXPECT_EQ(ask("b.dcm").value("pid").toInt(), first);
    EXPECT_EQ(ask("c.dcm").value("pid").toInt(), first);
    EXPECT_EQ(ask("abort.dcm").value("error").toString(),
              QStringLiteral("the decoder stopped on this file"));
    const int fresh = ask("d.dcm").value("pid").toInt();
    EXPECT_GT(fresh, 0);
    EXPECT_NE(fresh, first);
}

// Cancelled requests are never answered: the one under way is stopped with
// its process, the queued ones dropped, and the decoder serves the next at once.
TEST_F(DecoderProcess, CancelledRequestsAreNeverAnswered) {
    decoderprocess::Decoder decoder(script("serving-decoder", ServingScript), 20000);
    testing_support::app();
    int cancelledAnswers = 0;
    const auto count = [&cancelledAnswers](const QString&) {
        ++cancelledAnswers;
    };
    decoder.decode({QStringLiteral("a.dcm"), QStringLiteral("out"), 0, 1}, count);
    decoder.cancel();
    decoder.decode({QStringLiteral("stall"), QStringLiteral("out"), 0, 1}, count);
    decoder.decode({QStringLiteral("queued.dcm"), QStringLiteral("out"), 0, 1}, count);
    ASSERT_TRUE(
        pump::waitUntil([this] { return QFile::exists(folder.filePath(QStringLiteral("pid"))); },
                        std::chrono::seconds(10)));
    decoder.cancel();
    QElapsedTimer clock;
    clock.start();
    // Answers to the cancelled requests would come before this one.
    const QJsonObject next = answerOf(testing_support::decoderAnswer(
        decoder, {QStringLiteral("next.dcm"), QStringLiteral("out"), 0, 1}, 20000));
    EXPECT_GT(next.value("pid").toInt(), 0);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(cancelledAnswers, 0);
}

// A decoder destroyed with a request under way kills its process and never
// answers; one may also be destroyed from its own answer.
TEST_F(DecoderProcess, ADecoderGoneNeverAnswersAndOneMayEndInItsAnswer) {
    testing_support::app();
    bool answered = false;
    auto decoder =
        std::make_unique<decoderprocess::Decoder>(script("serving-decoder", ServingScript), 20000);
    decoder->decode({QStringLiteral("stall"), QStringLiteral("out"), 0, 1},
                    [&answered](const QString&) { answered = true; });
    ASSERT_TRUE(
        pump::waitUntil([this] { return QFile::exists(folder.filePath(QStringLiteral("pid"))); },
                        std::chrono::seconds(10)));
    QElapsedTimer clock;
    clock.start();
    decoder.reset();
    EXPECT_LT(clock.elapsed(), 5000);
    pump::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_FALSE(answered);

    std::optional<QString> answer;
    decoder = std::make_unique<decoderprocess::Decoder>(QStringLiteral(KEST_DECODER_PATH), 20000);
    decoder->decode({pydicomFile(QStringLiteral("CT_small.dcm")),
                     folder.filePath(QStringLiteral("frames.bin")), 0, 1},
                    [&](const QString& text) {
                        decoder.reset();
                        answer = text;
                    });
    ASSERT_TRUE(pump::waitUntil([&] { return answer.has_value(); }, std::chrono::seconds(20)));
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(answerOf(*answer).value("rows").toInt(), 128);
}

} // namespace
