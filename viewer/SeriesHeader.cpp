#include "SeriesHeader.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace seriesstack {

namespace {

constexpr qint64 kBlockSize = 16 * 1024;
constexpr qint64 kReadBudget = 1024 * 1024;
constexpr qint64 kPreambleSize = 128;
// Longer values of the tags read here are damaged; they count as absent.
constexpr quint32 kMaxValueLength = 1024;
constexpr quint32 kUndefinedLength = 0xffffffff;
constexpr std::size_t kMaxDepth = 16;
// Below this length a direction vector, or the normal of two, counts as null.
constexpr double kNullLength = 1e-3;

constexpr quint32 tagOf(quint16 group, quint16 element) {
    return quint32(group) << 16 | element;
}

constexpr quint32 kTransferSyntax = tagOf(0x0002, 0x0010);
constexpr quint32 kImageType = tagOf(0x0008, 0x0008);
constexpr quint32 kSeriesUid = tagOf(0x0020, 0x000e);
constexpr quint32 kInstanceNumber = tagOf(0x0020, 0x0013);
constexpr quint32 kPosition = tagOf(0x0020, 0x0032);
constexpr quint32 kOrientation = tagOf(0x0020, 0x0037);
constexpr quint32 kFrames = tagOf(0x0028, 0x0008);
constexpr quint32 kRows = tagOf(0x0028, 0x0010);
constexpr quint32 kColumns = tagOf(0x0028, 0x0011);
constexpr quint32 kFirstPixelData = tagOf(0x7fe0, 0x0008); // float, double, then integer
constexpr quint32 kItemEnd = tagOf(0xfffe, 0xe00d);
constexpr quint32 kSequenceEnd = tagOf(0xfffe, 0xe0dd);

enum class Syntax { ExplicitLittle, ImplicitLittle, ExplicitBig };

class FileHandle {
public:
    explicit FileHandle(int fd)
        : m_fd(fd) {}
    ~FileHandle() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Why a walk through a header ended before Pixel Data.
enum class Stop { Truncated, BudgetSpent, Malformed };

// The file seen through one block at a time, no more read than the budget.
class BlockSource {
public:
    BlockSource(int fd, qint64 size, std::vector<char>& block)
        : m_fd(fd)
        , m_size(size)
        , m_block(block) {}

    qint64 size() const { return m_size; }

    // The count bytes at offset (count at most a block), or null with the reason.
    const char* bytes(qint64 offset, qint64 count, Stop& stop) {
        if (offset >= m_start && offset + count <= m_start + m_length)
            return m_block.data() + (offset - m_start);
        if (offset < 0 || offset + count > m_size) {
            stop = Stop::Truncated;
            return nullptr;
        }
        if (m_spent + kBlockSize > kReadBudget) {
            stop = Stop::BudgetSpent;
            return nullptr;
        }
        m_spent += kBlockSize;
        const ssize_t got = ::pread(m_fd, m_block.data(), std::size_t(kBlockSize), offset);
        m_start = offset;
        m_length = std::max<qint64>(got, 0);
        if (count <= m_length)
            return m_block.data();
        stop = Stop::Truncated; // the file shrank since it was measured
        return nullptr;
    }

private:
    int m_fd;
    qint64 m_size;
    std::vector<char>& m_block;
    qint64 m_start = 0;
    qint64 m_length = 0;
    qint64 m_spent = 0;
};

struct Element {
    quint32 tag = 0;
    quint32 length = 0;
    qint64 valueOffset = 0;
    // Explicit "UN": an undefined length holds implicit little endian contents.
    bool unknownVr = false;
};

quint16 read16(const char* p, bool bigEndian) {
    return bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
}

quint32 read32(const char* p, bool bigEndian) {
    return bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
}

bool isVr(const char* p) {
    return p[0] >= 'A' && p[0] <= 'Z' && p[1] >= 'A' && p[1] <= 'Z';
}

// The value representations whose explicit length takes four bytes after two reserved.
bool hasLongLength(const char* vr) {
    static constexpr std::string_view kLong[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                                 "SV", "UC", "UN", "UR", "UT", "UV"};
    const std::string_view name(vr, 2);
    return std::find(std::begin(kLong), std::end(kLong), name) != std::end(kLong);
}

std::string_view trimmed(std::string_view text) {
    const auto padding = [](char c) {
        return c == ' ' || c == '\0';
    };
    while (!text.empty() && padding(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && padding(text.back()))
        text.remove_suffix(1);
    return text;
}

// Calls visit(value) for each backslash-separated value, trimmed, until it returns false.
template <typename Visit> void forEachValue(std::string_view text, Visit visit) {
    while (true) {
        const std::size_t end = text.find('\\');
        if (!visit(trimmed(text.substr(0, end))) || end == std::string_view::npos)
            return;
        text.remove_prefix(end + 1);
    }
}

// A whole decimal or integer string, read without regard to the locale.
template <typename Number> std::optional<Number> numberFrom(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(double(value)))
        return {};
    return value;
}

template <std::size_t N> std::optional<std::array<double, N>> decimals(std::string_view text) {
    std::array<double, N> values{};
    std::size_t count = 0;
    bool valid = true;
    forEachValue(text, [&](std::string_view value) {
        const std::optional<double> number = numberFrom<double>(value);
        valid = number && count < N;
        if (valid)
            values[count++] = *number;
        return valid;
    });
    if (!valid || count != N)
        return {};
    return values;
}

// The row and column vectors made unit vectors; none when either is null or they are parallel.
std::optional<std::array<double, 6>> unitVectors(const std::array<double, 6>& v) {
    const double rowLength = std::hypot(v[0], v[1], v[2]);
    const double columnLength = std::hypot(v[3], v[4], v[5]);
    if (!(rowLength > kNullLength && columnLength > kNullLength) || !std::isfinite(rowLength) ||
        !std::isfinite(columnLength))
        return {};
    const std::array<double, 6> unit = {v[0] / rowLength,    v[1] / rowLength,
                                        v[2] / rowLength,    v[3] / columnLength,
                                        v[4] / columnLength, v[5] / columnLength};
    const double normalLength =
        std::hypot(unit[1] * unit[5] - unit[2] * unit[4], unit[2] * unit[3] - unit[0] * unit[5],
                   unit[0] * unit[4] - unit[1] * unit[3]);
    if (!(normalLength > kNullLength))
        return {};
    return unit;
}

bool holdsLocalizer(std::string_view text) {
    bool found = false;
    forEachValue(text, [&found](std::string_view value) {
        found = value == "LOCALIZER";
        return !found;
    });
    return found;
}

// Walks the meta information and the data set of an opened DICOM file up to
// Pixel Data, keeping the values of the top-level elements it looks for.
class Walker {
public:
    Walker(BlockSource& source, ImageHeader& header)
        : m_source(source)
        , m_header(header) {}

    std::optional<ReadError> walk() {
        qint64 offset = kPreambleSize + 4;
        const std::optional<Syntax> syntax = readMeta(offset);
        if (!syntax)
            return m_unsupported ? ReadError::Unsupported
                                 : failure().value_or(ReadError::Malformed);
        walkDataSet(offset, *syntax);
        return failure();
    }

private:
    std::optional<ReadError> failure() const {
        if (!m_stop || m_stop == Stop::BudgetSpent)
            return {};
        return m_stop == Stop::Truncated ? ReadError::Truncated : ReadError::Malformed;
    }

    const char* bytes(qint64 offset, qint64 count) {
        Stop stop{};
        const char* p = m_source.bytes(offset, count, stop);
        if (!p)
            m_stop = stop;
        return p;
    }

    std::optional<Element> elementAt(qint64 offset, Syntax syntax) {
        const char* p = bytes(offset, 8);
        if (!p)
            return {};
        const bool bigEndian = syntax == Syntax::ExplicitBig;
        Element element;
        element.tag = tagOf(read16(p, bigEndian), read16(p + 2, bigEndian));
        // Items and delimiters carry no VR in any syntax.
        if (syntax == Syntax::ImplicitLittle || element.tag >> 16 == 0xfffe) {
            element.length = read32(p + 4, bigEndian);
            element.valueOffset = offset + 8;
            return element;
        }
        if (!isVr(p + 4)) {
            m_stop = Stop::Malformed;
            return {};
        }
        element.unknownVr = std::memcmp(p + 4, "UN", 2) == 0;
        if (!hasLongLength(p + 4)) {
            element.length = read16(p + 6, bigEndian);
            element.valueOffset = offset + 8;
            return element;
        }
        const char* length = bytes(offset + 8, 4);
        if (!length)
            return {};
        element.length = read32(length, bigEndian);
        element.valueOffset = offset + 12;
        return element;
    }

    // The group 0002 elements; the data set's syntax, none when it cannot be read.
    std::optional<Syntax> readMeta(qint64& offset) {
        while (const char* p = bytes(offset, 2)) {
            if (read16(p, false) != 0x0002)
                break;
            const std::optional<Element> element = elementAt(offset, Syntax::ExplicitLittle);
            if (!element || element->length == kUndefinedLength) {
                m_stop = m_stop.value_or(Stop::Malformed);
                return {};
            }
            if (element->tag == kTransferSyntax && element->length <= kMaxValueLength) {
                const char* value = bytes(element->valueOffset, element->length);
                if (!value)
                    return {};
                m_transferSyntax = trimmed(std::string_view(value, element->length));
            }
            offset = element->valueOffset + element->length;
        }
        if (m_stop && offset < m_source.size())
            return {};
        m_stop.reset();
        return syntaxOf(offset);
    }

    std::optional<Syntax> syntaxOf(qint64 dataSetOffset) {
        const std::string_view transferSyntax = m_transferSyntax;
        if (transferSyntax == "1.2.840.10008.1.2")
            return Syntax::ImplicitLittle;
        if (transferSyntax == "1.2.840.10008.1.2.2")
            return Syntax::ExplicitBig;
        if (transferSyntax == "1.2.840.10008.1.2.1.99") {
            m_unsupported = true;
            return {};
        }
        if (!transferSyntax.empty())
            return Syntax::ExplicitLittle;
        // No transfer syntax: the first element tells by whether a VR follows its tag.
        Stop ignored{};
        const char* first = m_source.bytes(dataSetOffset, 6, ignored);
        return first && !isVr(first + 4) ? Syntax::ImplicitLittle : Syntax::ExplicitLittle;
    }

    void walkDataSet(qint64 offset, Syntax syntax) {
        // The syntax inside each open container of undefined length, innermost last.
        std::vector<Syntax> open;
        while (offset < m_source.size() && !m_stop) {
            const Syntax current = open.empty() ? syntax : open.back();
            const std::optional<Element> element = elementAt(offset, current);
            if (!element)
                return;
            offset = element->valueOffset;
            if (element->tag == kItemEnd || element->tag == kSequenceEnd) {
                if (!open.empty())
                    open.pop_back();
                continue;
            }
            if (open.empty() && element->tag >= kFirstPixelData) {
                checkPixelData(*element);
                return;
            }
            if (element->length == kUndefinedLength) {
                if (open.size() == kMaxDepth)
                    m_stop = Stop::Malformed;
                open.push_back(element->unknownVr ? Syntax::ImplicitLittle : current);
                continue;
            }
            if (open.empty())
                take(*element, current);
            offset += element->length;
        }
        if (!m_stop && (offset > m_source.size() || !open.empty()))
            m_stop = Stop::Truncated;
    }

    void checkPixelData(const Element& element) {
        if (element.length != kUndefinedLength &&
            element.valueOffset + element.length > m_source.size())
            m_stop = Stop::Truncated;
    }

    void take(const Element& element, Syntax syntax) {
        if (!isWanted(element.tag) || element.length > kMaxValueLength)
            return;
        const char* p = bytes(element.valueOffset, element.length);
        if (!p)
            return;
        const std::string_view value(p, element.length);
        switch (element.tag) {
        case kImageType:
            m_header.localizer = holdsLocalizer(value);
            break;
        case kSeriesUid: {
            const std::string_view uid = trimmed(value);
            m_header.seriesUid = QByteArray(uid.data(), qsizetype(uid.size()));
            break;
        }
        case kInstanceNumber:
            m_header.instanceNumber = numberFrom<int>(trimmed(value));
            break;
        case kPosition:
            m_header.position = decimals<3>(value);
            break;
        case kOrientation:
            if (const auto vectors = decimals<6>(value))
                m_header.orientation = unitVectors(*vectors);
            break;
        case kFrames:
            m_header.frames = std::max(numberFrom<int>(trimmed(value)).value_or(1), 1);
            break;
        case kRows:
            m_header.rows = unsignedShort(value, syntax);
            break;
        case kColumns:
            m_header.columns = unsignedShort(value, syntax);
            break;
        default:
            break;
        }
    }

    // A US value; 0 unless two bytes long.
    static int unsignedShort(std::string_view value, Syntax syntax) {
        return value.size() == 2 ? read16(value.data(), syntax == Syntax::ExplicitBig) : 0;
    }

    static bool isWanted(quint32 tag) {
        switch (tag) {
        case kImageType:
        case kSeriesUid:
        case kInstanceNumber:
        case kPosition:
        case kOrientation:
        case kFrames:
        case kRows:
        case kColumns:
            return true;
        default:
            return false;
        }
    }

    BlockSource& m_source;
    ImageHeader& m_header;
    std::string m_transferSyntax;
    std::optional<Stop> m_stop;
    bool m_unsupported = false;
};

} // namespace

HeaderReader::HeaderReader()
    : m_block(std::size_t(kBlockSize)) {
}

ReadResult HeaderReader::read(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    // Looked at before opening: a FIFO, socket or device is never opened.
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadError::NotAFile;
    const FileHandle file(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    // And again once open, should the name have been replaced in between.
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadError::NotAFile;
    BlockSource source(file.get(), info.st_size, m_block);
    Stop ignored{};
    const char* signature = source.bytes(kPreambleSize, 4, ignored);
    if (!signature || std::memcmp(signature, "DICM", 4) != 0)
        return ReadError::NotDicom;
    ImageHeader header;
    if (const std::optional<ReadError> error = Walker(source, header).walk())
        return *error;
    return header;
}

} // namespace seriesstack
