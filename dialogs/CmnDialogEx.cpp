#include "CmnDialogEx.h"

#include "FileDialogSeam.h"

#include "platform/Guid.h"
#include "platform/automation/AutomationError.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <utility>

namespace {

constexpr QChar Null = QChar(0);
// Flags the item-based dialogs cannot use.
constexpr std::uint32_t ItemDialogFlagMask = 0xFF9FFBEF;
constexpr int DefaultMaxFileSize = 520;

const std::array<std::pair<std::int32_t, const char*>, 17> errorTexts{{
    {CmnDialogEx::CancelCode, "Cancel was selected"},
    {1, "The lStructSize member of the initialization structure for the corresponding common "
        "dialog box is invalid."},
    {2, "The common dialog box function failed during initialization."},
    {3, "The ENABLETEMPLATE flag was set in the Flags member of the initialization structure for "
        "the corresponding common dialog box, but you failed to provide a corresponding template."},
    {4, "The ENABLETEMPLATE flag was set in the Flags member of the initialization structure for "
        "the corresponding common dialog box, but you failed to provide a corresponding instance "
        "handle."},
    {5, "The common dialog box function failed to load a specified string."},
    {6, "The common dialog box function failed to find a specified resource."},
    {7, "The common dialog box function failed to find a specified resource."},
    {8, "The common dialog box function failed to lock a specified resource."},
    {9, "The common dialog box function was unable to allocate memory for internal structures."},
    {10, "The common dialog box function was unable to lock the memory associated with a handle."},
    {12, "The RegisterWindowMessage function returned an error code when it was called by the "
         "common dialog box function."},
    {12289, "An attempt to subclass a list box failed because sufficient memory was not "
            "available."},
    {12290, "A file name is invalid."},
    {12291, "The PathFileBufferSize is too small for the file name(s) specified by the user."},
    {CmnDialogEx::NoDialogCode, "The dialog box could not be created"},
    {0, "Cancel was selected"},
}};

// "*.*" means every file, with or without an extension.
QString qtPatterns(const QString& patterns) {
    QStringList result;
    for (const QString& part : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        result << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    return result.join(QLatin1Char(' '));
}

// The name a person knows a folder by: its last component; the root is shown as itself.
QString friendlyName(const QString& folder) {
    const QString clean = QDir::cleanPath(folder);
    const QString name = QFileInfo(clean).fileName();
    return name.isEmpty() ? clean : name;
}

} // namespace

CmnDialogEx::CmnDialogEx(QObject* parent)
    : QObject(parent) {
}

CmnDialogEx::~CmnDialogEx() = default;

QString CmnDialogEx::FileTitle() const {
    const QString first = m_fileName.section(Null, 0, 0);
    return QFileInfo(first).fileName();
}

void CmnDialogEx::setInitDir(const QString& value) {
    m_initDir = QString(value).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString CmnDialogEx::Filter() const {
    QString text = m_filter;
    if (text.endsWith(Null))
        text.chop(1);
    return text.replace(Null, QLatin1Char('|'));
}

void CmnDialogEx::setFilter(const QString& value) {
    if (value.trimmed().isEmpty()) {
        m_filter.clear();
        return;
    }
    m_filter = QString(value).replace(QLatin1Char('|'), Null) + Null;
}

void CmnDialogEx::setFlagsDialog(std::uint32_t value) {
    m_flags = value & ItemDialogFlagMask;
}

int CmnDialogEx::MaxFileSize() const {
    return m_maxFileSize == 0 ? DefaultMaxFileSize : m_maxFileSize;
}

void CmnDialogEx::setMaxFileSize(int value) {
    if (m_dialogOpen)
        return;
    m_maxFileSize = std::max(0, value);
}

QString CmnDialogEx::CreateClientDataGUID() {
    m_clientDataGuid = Guid::createRandom().toString();
    return m_clientDataGuid;
}

void CmnDialogEx::ResetClientData() {
    m_clientDataGuid.clear();
}

void CmnDialogEx::Clear() {
    if (m_dialogOpen)
        return;
    m_fileName.clear();
    m_initDir.clear();
    m_title.clear();
    m_filter.clear();
    m_filterIndex = 0;
    m_defaultExt.clear();
    m_flags = 0;
    m_flagsEx = 0;
    m_folderFlags = 0;
    m_maxFileSize = DefaultMaxFileSize;
    m_cancelError = false;
    m_customData = Variant();
    m_tag = Variant();
    m_clientDataGuid.clear();
    m_minimumBuffer = 0;
}

QString CmnDialogEx::GetUserDocuments() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString CmnDialogEx::errorDescription(std::int32_t code) {
    for (const auto& [number, text] : errorTexts) {
        if (number == code)
            return QString::fromUtf8(text);
    }
    return QStringLiteral("Unknown error code of ") + QString::number(code);
}

QStringList CmnDialogEx::nameFilters() const {
    const QStringList parts = Filter().split(QLatin1Char('|'));
    QStringList filters;
    // A description without its pattern is left out.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i].trimmed() + QStringLiteral(" (") + qtPatterns(parts[i + 1]) +
                       QLatin1Char(')');
    return filters;
}

bool CmnDialogEx::ShowOpen(QWidget* owner, bool wantEvents, const QString& clientDataGuid) {
    if (!clientDataGuid.isEmpty())
        m_clientDataGuid = clientDataGuid;
    return showFileDialog(Mode::Open, owner, wantEvents);
}

bool CmnDialogEx::ShowSave(QWidget* owner, bool wantEvents, const QString& clientDataGuid) {
    if (!clientDataGuid.isEmpty())
        m_clientDataGuid = clientDataGuid;
    return showFileDialog(Mode::Save, owner, wantEvents);
}

bool CmnDialogEx::showFileDialog(Mode mode, QWidget* owner, bool wantEvents) {
    filedialogs::Request request;
    request.kind = mode == Mode::Save ? filedialogs::Kind::Save : filedialogs::Kind::Open;
    request.owner = owner;
    request.title = m_title;
    request.initialFolder = m_initDir;
    request.fileName = m_fileName.section(Null, 0, 0);
    request.nameFilters = nameFilters();
    request.selectedFilter = std::max(0, m_filterIndex - 1);
    request.defaultSuffix = m_defaultExt;
    request.multiSelect = (m_flags & OFN_ALLOWMULTISELECT) != 0;
    request.fileMustExist = (m_flags & OFN_FILEMUSTEXIST) != 0;
    request.confirmOverwrite = (m_flags & OFN_OVERWRITEPROMPT) != 0;
    request.showHidden = (m_flags & OFN_FORCESHOWHIDDEN) != 0;

    if (wantEvents) {
        request.events = fileDialogEvents();
        emit DialogOnInit();
    }
    m_dialogOpen = true;
    const auto answer = filedialogs::run(request);
    m_dialogOpen = false;
    if (!answer || answer->paths.isEmpty())
        return fail(mode, CancelCode);

    // The result must fit the caller's buffer: the names, their separators and the final null.
    const QString selection = answer->paths.join(Null);
    const int needed = static_cast<int>(selection.size()) + 2;
    if (needed > MaxFileSize()) {
        m_minimumBuffer = needed;
        return fail(mode, BufferTooSmallCode);
    }
    m_fileName = selection;
    m_filterIndex = answer->selectedFilter + 1;
    if (!wantEvents)
        return true;
    // The dialog asked the person before it returned an existing save target.
    const QString& chosen = answer->paths.first();
    if (mode == Mode::Save && request.confirmOverwrite && QFileInfo::exists(chosen))
        emit DialogOnOverwrite(chosen);
    emit DialogOnFileOk();
    return true;
}

filedialogs::Events CmnDialogEx::fileDialogEvents() {
    filedialogs::Events events;
    events.folderEntered = [this](const QString& folder) {
        emit DialogOnFolderChanged(folder);
    };
    events.currentChanged = [this](const QString& path) {
        emit DialogOnSelectionChanged(path);
    };
    events.filterSelected = [this](int filter) {
        emit DialogOnFileTypeChange(filter + 1);
    };
    return events;
}

filedialogs::Events CmnDialogEx::folderBrowserEvents(std::uint32_t folderFlags) {
    filedialogs::Events events;
    // Entering a folder makes it the browser's selection, as choosing it in the tree does.
    events.folderEntered = [this](const QString& folder) {
        emit DialogBrowseFoldersOnSelectionChanged(folder);
    };
    events.currentChanged = events.folderEntered;
    if (folderFlags & BIF_VALIDATE)
        events.folderNotFound = [this](const QString& name) {
            emit DialogBrowseFoldersValidateFailed(name);
        };
    return events;
}

bool CmnDialogEx::ShowBrowseForFolder(QWidget* parent, const QString& browserHint,
                                      bool returnFriendlyPath, bool wantEvents) {
    std::uint32_t flags = m_folderFlags;
    if (flags == 0 || flags == BIF_SHAREABLE)
        flags |= BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_BROWSEINCLUDEFILES;
    filedialogs::Request request;
    request.kind = filedialogs::Kind::Folder;
    request.owner = parent;
    request.title = m_title.isEmpty() ? browserHint : m_title;
    request.initialFolder = m_initDir;
    // Qt's dialog always has its name field (BIF_EDITBOX) and returns folders only, also when
    // it lists files.
    request.listFiles = (flags & BIF_BROWSEINCLUDEFILES) != 0;
    request.allowNewFolder = (flags & BIF_NEWDIALOGSTYLE) && !(flags & BIF_NONEWFOLDERBUTTON);
    if (wantEvents) {
        request.events = folderBrowserEvents(flags);
        emit DialogBrowseFoldersInit();
    }
    m_dialogOpen = true;
    const auto answer = filedialogs::run(request);
    m_dialogOpen = false;
    if (!answer || answer->paths.isEmpty() || answer->paths.first().isEmpty())
        return fail(Mode::Folder, CancelCode);
    const QString folder = answer->paths.first();
    m_fileName = returnFriendlyPath ? friendlyName(folder) : folder;
    return true;
}

bool CmnDialogEx::fail(Mode mode, std::int32_t code) {
    if (code == 0)
        code = CancelCode;
    m_lastError = code;
    if (!m_cancelError)
        return false;
    static const std::array<const char*, 3> names{"Open", "Save", "BrowseForFolder"};
    throw AutomationError(code, errorDescription(code),
                          QStringLiteral("Common Dialog ") +
                              QLatin1String(names[static_cast<int>(mode)]));
}
