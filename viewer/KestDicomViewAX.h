#pragma once

#include "DicomTools.h"
#include "DocumentState.h"
#include "FramesFolder.h"
#include "MeasurementList.h"
#include "OpenStack.h"

#include "platform/automation/ControlSite.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/EventSource.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class BrowserHostProxy;
class ViewerSurface;
namespace decoderprocess {
class Decoder;
}

// The DICOM viewer control. A host creates it by its programmatic identifier
// (or in C++), embeds its widget, hands it files and listens to its events.
// The pages that render the documents run in three inner browser hosts,
// reached by member name; their answers arrive as page messages.
class KestDicomViewAX : public DispatchObject, public Control, private ControlSite {
public:
    // Makes one inner browser host (a control with an automation surface).
    using BrowserHostFactory = std::function<DispatchPtr()>;

    explicit KestDicomViewAX(BrowserHostFactory browserHostFactory);
    ~KestDicomViewAX() override;

    static QString version();

    Control* control() override { return this; }
    EventSource* eventSource() override { return &m_events; }

    // Control
    void setControlSite(ControlSite* site) override;
    void initNew() override;
    void load(const PropertyBag& bag) override;
    void save(PropertyBag& bag) override;
    QWidget* widget() override;

    // Methods, as the automation surface offers them.
    void ReInit(bool force = true);
    bool IsDicomFile(const QString& path) const;
    bool LoadDicomFile(const QString& path);
    bool LoadSelectedDicomFile(const QString& searchPath = {});
    // Browsing: the in/out arguments come back as the caller sees them.
    bool LoadDirectory(QString& directory, std::int16_t& flag);
    bool LoadDICOMDIR(QString& path, std::int16_t& flag);
    bool SaveImage(QString& fileNameAndPath, bool forceSelect = false);
    bool SaveCanvas(QString& fileNameAndPath, bool forceSelect = false);
    void PrintImage(const QString& printerName = {}, bool printId = false);
    void PrintCanvas(const QString& printerName = {}, bool printId = false);
    void CopyImageToClipboard();
    void CopyCanvasToClipboard();
    void GetImageSize();
    void ResetDICOMProperty();
    void SelectTool(int tool);
    void SetScale1();
    void RunJs(const QString& script, const QList<Variant>& params);
    void setDisplayDicomTags(VBool value);
    void setSideBarVisible(VBool value);
    void setUseEvergreenWebview2(bool value);
    void setZoomFactor(std::int16_t percent);
    // Stacks: a file opened with the other images of its series, stepped in place.
    void setStackMode(bool value);
    void setCacheSizeMB(std::int32_t megabytes);
    void setStackIndex(std::int32_t index);
    std::int32_t stackCount() const;
    void PlayCine(double framesPerSecond);
    void StopCine();
    // Measurements of the document shown, for the host.
    QString GetMeasurements() const;
    QString AddMeasurement(const QString& toolName, const QString& points);
    bool RemoveMeasurement(const QString& id);
    bool SaveMeasurementsAsSR(const QString& fileName);
    std::int32_t LoadMeasurements(const QString& fileName);

    // The largest file shown: the image page reads the whole file into its memory.
    static constexpr qint64 MaxDicomFileSize = qint64(512) << 20;
    // The decoded images a stack keeps by default, in MiB.
    static constexpr std::int32_t DefaultCacheSizeMB = 512;
    // The cache a host may ask for: from 16 MiB (a few images) to 64 GiB.
    static constexpr bool isCacheSize(std::int32_t megabytes) {
        return megabytes >= 16 && megabytes <= 65536;
    }

    // Folders of this instance.
    const QString& instanceFolder() const { return m_instanceFolder; }
    const QString& binFolder() const { return m_binFolder; }
    const QString& tempFolder() const { return m_tempFolder; }
    static QString browserRuntimeFolder();
    static QString browserUserDataFolder();

private:
    void bindMembers();
    void bindProperties();
    void bindMethods();
    void markChanged(const QString& name);
    void applyBrowserFolders();
    void chooseRuntime();

    // loading
    bool canLoad(const QString& path) const;
    // seriesFiles: the files of the DICOMDIR series record the file was chosen from.
    bool loadProcedure(const QString& path, const QStringList& seriesFiles = {});
    void startHost(BrowserHostProxy& host);
    bool waitForHosts(std::initializer_list<BrowserHostProxy*> hosts);
    void preparePages(const QString& language);
    QString languageCode() const;
    QString localeIni() const;
    void showWait(bool visible);
    void clearStalePages() noexcept;
    void waitForCrashPlaceholder();
    void scheduleDueTags();
    bool waitForTagsPage();
    void loadDueTags();

    // stacks
    void openStackFor(const QString& path, const QStringList& seriesFiles);
    bool stepToFile(const QString& path);
    void onStackImageChanged(const QString& content);
    void onMeasurementChanged(const QString& content);
    void followStackSelection(const QString& path);

    // browsing
    void startOrBlank(BrowserHostProxy& host);
    void listFolder(const QString& folder);
    void onFileListSelection();
    void onDicomdirMessage(const QString& name, const QString& content);

    // page protocol
    void onHostEvent(BrowserHostProxy& host, const QString& name, QList<Variant>& args);
    void onPageMessage(const QString& name, const QString& content);
    void onImageChanged(const QString& content);
    void readDescription(const QString& content);
    void onImageClicked(const QString& content);
    void onZoomChanged(const QString& content);
    void onButtonClicked(const QString& button);
    void followFrameStep(int step);
    void onSaveImage(const QString& content);
    void showSaveError(const QString& reason);
    void onImageDimensions(const QString& content);
    void onOffsetChanged(const QString& content);
    void onNoImage();
    void onDecodePixels(const QString& content);
    // file: the stack's file whose frames are decoded, or WorkingCopy.
    void decodeFrames(qsizetype file, int first, int count);
    void onReleasePixels(const QString& content);
    void cancelDecoding();
    void onImageProcessFailed();
    void raiseImageLoaded(bool noImage);
    void raise(const QString& event, std::initializer_list<Variant> args = {});

    // output
    bool chooseSaveFile(QString& fileNameAndPath);
    void renderImage(const QString& function, QList<Variant> args);
    BrowserHostProxy& frontPage();
    void captureCanvas(const std::function<void(BrowserHostProxy& front)>& capture);
    void selectPrinter(const QString& printerName);
    void restorePrinter();
    void printPicture(bool printId);
    void endPendingPrint();
    void showPrintError(const QString& reason);

    // view commands
    Variant callPage(const QString& function, QList<Variant> args = {});
    void showTags();
    void hideTags();
    void showSidebar();
    void hideSidebar();
    void bringToFront(BrowserHostProxy& host);

    // layout
    void layout();
    int twipsPerPixel() const;

    const BrowserHostFactory m_factory;
    EventSource m_events;
    ControlSite* m_site = nullptr;
    QPointer<ViewerSurface> m_surface;
    std::unique_ptr<BrowserHostProxy> m_image;
    std::unique_ptr<BrowserHostProxy> m_tags;
    std::unique_ptr<BrowserHostProxy> m_dicomDir;

    // folders and assets
    QString m_instanceId;
    QString m_binFolder;
    QString m_dataFolder;
    QString m_tempFolder;
    QString m_instanceFolder;
    QString m_assetFolder;
    QString m_placeholderPage;
    QString m_lastListedFolder;
    // The folder of the DICOMDIR shown in the third browser host.
    QString m_dicomdirFolder;

    // persisted
    bool m_invertOnLoad = false;
    bool m_useEvergreen = false;
    VBool m_sideBarVisible = VFalse;
    QString m_language;
    VBool m_showTagsOnLoad = VFalse;
    VBool m_showSidebarOnLoad = VFalse;
    int m_borderStyle = 0;
    bool m_stackMode = false;
    std::int32_t m_cacheSizeMB = DefaultCacheSizeMB;

    DocumentState m_document;
    std::int16_t m_zoomFactor = 0;

    // view state
    bool m_imagePresent = false;
    bool m_noImage = false;
    // A file was handed to the image page, which has not answered yet.
    bool m_awaitingPage = false;
    // The image browser is on its way to the placeholder after its renderer ended.
    bool m_placeholderAfterCrash = false;
    QString m_documentPath;
    VBool m_displayDicomTags = VFalse;
    // While a load runs, each browser keeps the previous document until the
    // load navigates it: nobody sees it behind the wait picture and the new
    // page. The hidden tags page is loaded once the image page has answered,
    // so that the two pages do not compete for the processor.
    enum class TagsPage {
        Blank,  // the placeholder, or nothing yet
        Stale,  // the previous file's, until the load navigates it
        Due,    // the file's, once the image page has answered
        Current // the file's
    };
    bool m_imageStale = false;
    TagsPage m_tagsPage = TagsPage::Blank;
    // The host decoder the image page's decodings go to, started at the first.
    std::unique_ptr<decoderprocess::Decoder> m_decoder;
    // Where it writes the frames, made with the decoder.
    FramesFolder m_frames;
    bool m_inverted = false;
    // The stack handed to the image page with the file shown (empty when the
    // file shows alone), the image it shows and how many the page steps through.
    OpenStack m_stack;
    std::int32_t m_stackIndex = 0;
    std::int32_t m_stackCount = 0;
    // The measurements the image page reported for the document shown.
    MeasurementList m_measurements;

    // printing
    QString m_savedPrinter;
    // The PrintID of the last PrintImage, kept until the page's picture arrives.
    std::optional<bool> m_pendingPrintId;
};
