#pragma once

#include "platform/FileDialogHook.h"
#include "platform/automation/Variant.h"

#include <QObject>
#include <QString>

#include <cstdint>

class QWidget;

// File open, file save and folder dialogs for the control library, on Qt's
// file dialog. The flags keep their classic meaning (OFN_ and BIF_ values) so
// that callers pass what they always passed. The library's own callers use
// Clear, FlagsDialog, FlagsFolderBrowsing, InitDir, Filter, FileName,
// DefaultExt, DialogTitle, ShowOpen, ShowSave and ShowBrowseForFolder.
class CmnDialogEx : public QObject {
    Q_OBJECT

public:
    // Dialog flags this class reads.
    enum Flags : std::uint32_t {
        OFN_OVERWRITEPROMPT = 0x2,
        OFN_ALLOWMULTISELECT = 0x200,
        OFN_PATHMUSTEXIST = 0x800,
        OFN_FILEMUSTEXIST = 0x1000,
        OFN_NOREADONLYRETURN = 0x8000,
        OFN_EXPLORER = 0x80000,
        OFN_FORCESHOWHIDDEN = 0x10000000,
    };
    // Folder browser flags this class reads.
    enum FolderFlags : std::uint32_t {
        BIF_EDITBOX = 0x10,
        BIF_VALIDATE = 0x20,
        BIF_NEWDIALOGSTYLE = 0x40,
        BIF_NONEWFOLDERBUTTON = 0x200,
        BIF_BROWSEINCLUDEFILES = 0x4000,
        BIF_SHAREABLE = 0x8000,
    };
    // The codes of a failed or cancelled dialog.
    static constexpr std::int32_t CancelCode = static_cast<std::int32_t>(0x800704C7);
    static constexpr std::int32_t NoDialogCode = 0xFFFF;
    static constexpr std::int32_t BufferTooSmallCode = 12291;

    explicit CmnDialogEx(QObject* parent = nullptr);
    ~CmnDialogEx() override;

    // The dialog family: always the item-based one here (above 5).
    int Version() const { return m_version; }

    QString FileName() const { return m_fileName; }
    void setFileName(const QString& value) { m_fileName = value; }
    QString FileTitle() const;
    QString InitDir() const { return m_initDir; }
    void setInitDir(const QString& value);
    QString DialogTitle() const { return m_title; }
    void setDialogTitle(const QString& value) { m_title = value; }
    // Description and pattern pairs separated by "|"; kept internally in the
    // classic null-separated form.
    QString Filter() const;
    void setFilter(const QString& value);
    int FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(int value) { m_filterIndex = value; }
    QString DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString& value) { m_defaultExt = value; }
    std::uint32_t FlagsDialog() const { return m_flags; }
    void setFlagsDialog(std::uint32_t value);
    std::uint32_t FlagsDialogEx() const { return m_flagsEx; }
    void setFlagsDialogEx(std::uint32_t value) { m_flagsEx = value; }
    std::uint32_t FlagsFolderBrowsing() const { return m_folderFlags; }
    void setFlagsFolderBrowsing(std::uint32_t value) { m_folderFlags = value; }
    int MaxFileSize() const;
    void setMaxFileSize(int value);
    bool CancelError() const { return m_cancelError; }
    void setCancelError(bool value) { m_cancelError = value; }
    Variant CustomData() const { return m_customData; }
    void setCustomData(const Variant& value) { m_customData = value; }
    Variant Tag() const { return m_tag; }
    void setTag(const Variant& value) { m_tag = value; }
    // The identifier under which the dialog remembers its last folder.
    QString ClientDataGUID() const { return m_clientDataGuid; }
    QString CreateClientDataGUID();
    void ResetClientData();
    int MinimumBufferSizeRequired() const { return m_minimumBuffer; }
    // The code of the last failed dialog (the thread's last error on Windows).
    std::int32_t LastErrorCode() const { return m_lastError; }

    bool ShowOpen(QWidget* owner = nullptr, bool wantEvents = false,
                  const QString& clientDataGuid = {});
    bool ShowSave(QWidget* owner = nullptr, bool wantEvents = false,
                  const QString& clientDataGuid = {});
    // BrowserHint is shown as the title when no DialogTitle is set.
    bool ShowBrowseForFolder(QWidget* parent = nullptr, const QString& browserHint = {},
                             bool returnFriendlyPath = false, bool wantEvents = false);
    void Clear();
    // Closing from an event handler: the dialogs here are modal Qt dialogs that
    // close themselves; nothing is open between the events this class raises.
    void CloseDialog() {}
    // The user's Documents folder.
    static QString GetUserDocuments();

    // The description of a failure code, as the raised error carries it.
    static QString errorDescription(std::int32_t code);

signals:
    // Raised only when the show method is asked for events, in this order of declaration.
    // File dialogs (open, save):
    void DialogOnInit();
    void DialogOnFileOk();
    // Absent: Qt's dialog reports a folder only once it is entered, and nothing can veto it.
    void DialogOnFolderChanging();
    // Absent: files here have no share modes, so no dialog meets a sharing violation.
    void DialogOnShareViolation();
    // The chosen save target exists and the person confirmed replacing it.
    void DialogOnOverwrite(const QString& path);
    // The person chose the filter at 1-based `filterIndex`.
    void DialogOnFileTypeChange(int filterIndex);
    void DialogOnFolderChanged(const QString& folder);
    void DialogOnSelectionChanged(const QString& path);
    // Absent: the basket and the custom controls (buttons, check boxes, menus, sub-items) of the
    // item-based dialog have no Qt counterpart and are not offered.
    void DialogAddBasketItem();
    void DialogSubItemClicked();
    void DialogButtonClicked();
    void DialogCheckBoxChanged();
    void DialogMenuToBeDisplayed();
    // Absent: hook messages of the classic dialog family, which does not exist here (Version is
    // always above 5).
    void DialogXPInit();
    void DialogXPEvent();
    void PreInitMessage();
    // Folder browser:
    void DialogBrowseFoldersInit();
    // Absent: the browser's other callback messages (its shell object) have no Qt counterpart.
    void DialogBrowseFoldersEvent();
    // A typed `name` is no existing folder; raised with BIF_VALIDATE, as the folder browser does.
    void DialogBrowseFoldersValidateFailed(const QString& name);
    void DialogBrowseFoldersOnSelectionChanged(const QString& folder);
    // Absent: a message before the browser window is set up; Qt's dialog has no such step.
    void DialogBrowseFoldersPreInitMessage();

private:
    enum class Mode { Open, Save, Folder };
    bool showFileDialog(Mode mode, QWidget* owner, bool wantEvents);
    filedialogs::Events fileDialogEvents();
    filedialogs::Events folderBrowserEvents(std::uint32_t folderFlags);
    bool fail(Mode mode, std::int32_t code);
    QStringList nameFilters() const;

    bool m_dialogOpen = false;
    int m_version = 10;
    QString m_fileName;
    QString m_initDir;
    QString m_title;
    QString m_filter; // null-separated, with one extra null at the end
    int m_filterIndex = 0;
    QString m_defaultExt;
    std::uint32_t m_flags = 0;
    std::uint32_t m_flagsEx = 0;
    std::uint32_t m_folderFlags = 0;
    int m_maxFileSize = 520;
    bool m_cancelError = false;
    Variant m_customData;
    Variant m_tag;
    QString m_clientDataGuid;
    int m_minimumBuffer = 0;
    std::int32_t m_lastError = 0;
};
