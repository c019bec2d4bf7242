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

#include <gtest/gtest.h>

namespace {

using testing_support::DicomBuilder;
using testing_support::pydicomFile;

class DecoderProcess : public ::testing::Test {
protected:
    // Decodes the file; its description, the frames kept in `frames`.
    QJsonObject decode(const QString& file, const QString& program = KEST_DECODER_PATH) {
        const QString out = folder.filePath(QStringLiteral("frames.bin"));
        QFile::remove(out);
        const QString description = testing_support::decoderAnswer(program, file, out, 20000);
        QFile written(out);
        frames = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
        return QJsonDocument::fromJson(description.toUtf8()).object();
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

// A stalled decoder: the event loop runs while it is waited for, and the
// time-out kills it and answers once.
TEST_F(DecoderProcess, AStalledDecoderIsKilledAtItsTimeOutWhileTheEventLoopRuns) {
    const QString pidFile = folder.filePath(QStringLiteral("pid"));
    const QString stalled =
        script("stalled-decoder", "echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 30\n");
    testing_support::app();
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(50);
    int answers = 0;
    QString answer;
    QElapsedTimer clock;
    clock.start();
    const decoderprocess::Run run(stalled, pydicomFile(QStringLiteral("CT_small.dcm")),
                                  folder.filePath(QStringLiteral("frames.bin")), 1000,
                                  [&](const QString& text) {
                                      ++answers;
                                      answer = text;
                                  });
    ASSERT_TRUE(pump::waitUntil([&] { return answers > 0; }, std::chrono::seconds(10)));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_GE(ticks, 10) << "the event loop did not run during the decoding";
    EXPECT_EQ(QJsonDocument::fromJson(answer.toUtf8()).object().value("error").toString(),
              QStringLiteral("the decoder did not finish within 1 s"));
    pump::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(answers, 1);
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const pid_t decoder = pid.readAll().trimmed().toInt();
    ASSERT_GT(decoder, 0);
    EXPECT_TRUE(
        pump::waitUntil([decoder] { return ::kill(decoder, 0) != 0; }, std::chrono::seconds(5)))
        << "the decoder still runs";
}

// A run given up (the page that asked has gone) kills its decoder and never
// answers; a run may also be destroyed from its own answer.
TEST_F(DecoderProcess, ARunGivenUpNeverAnswersAndOneMayEndInItsAnswer) {
    const QString stalled = script("slow-decoder", "exec sleep 30\n");
    testing_support::app();
    bool answered = false;
    auto run =
        std::make_unique<decoderprocess::Run>(stalled, pydicomFile(QStringLiteral("CT_small.dcm")),
                                              folder.filePath(QStringLiteral("frames.bin")), 20000,
                                              [&answered](const QString&) { answered = true; });
    pump::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    QElapsedTimer clock;
    clock.start();
    run.reset();
    EXPECT_LT(clock.elapsed(), 5000);
    pump::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_FALSE(answered);

    std::optional<QString> answer;
    run = std::make_unique<decoderprocess::Run>(
        QStringLiteral(KEST_DECODER_PATH), pydicomFile(QStringLiteral("CT_small.dcm")),
        folder.filePath(QStringLiteral("frames.bin")), 20000, [&](const QString& text) {
            run.reset();
            answer = text;
        });
    ASSERT_TRUE(pump::waitUntil([&] { return answer.has_value(); }, std::chrono::seconds(20)));
    EXPECT_EQ(run, nullptr);
    EXPECT_EQ(QJsonDocument::fromJson(answer->toUtf8()).object().value("rows").toInt(), 128);
}

} // namespace
