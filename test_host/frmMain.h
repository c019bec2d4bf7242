#pragma once

#include "ViewerEvents.h"

#include "platform/automation/Dispatch.h"

#include <QMainWindow>

#include <memory>

class AutomationError;
class MeasurementListDock;
class ToolPanel;
class ViewerSite;

// The test host's form: the viewer (KestDicomViewAX1) fills the client area left of the tool
// panel (Picture1), the menus and the panel call the viewer's members late-bound by name, and
// the viewer's state events are mirrored back into the panel and the caption.
class frmMain : public QMainWindow, private ViewerEventHandler {
    Q_OBJECT
public:
    static constexpr const char* StartCaption = "Dicom Viewer";
    // Values of the viewer's DicomTools enumeration that the form sends besides the panel's
    // tools, which have the numbers of their buttons.
    static constexpr int ToolInvert = 11; // a toggle
    static constexpr int ToolClear = 12;
    static constexpr int ToolReinit = 13;

    // Sites the viewer, an object created by its programmatic identifier; its persisted
    // properties live in the section "KestDicomViewAX1" of the settings file.
    frmMain(DispatchPtr viewer, QString programFolder, const QString& settingsFile);
    ~frmMain() override;

    // All shows the whole tool panel; otherwise only the page switch (Picture3) shows.
    void ShowToolBar(bool all);

    Dispatch& viewer() const { return *m_viewer; }
    QWidget& viewerWidget() const;
    ToolPanel& toolPanel() const { return *m_panel; }
    MeasurementListDock& measurementList() const { return *m_measurements; }
    // A folder beside the program ("Demo", "DEMO/").
    QString programFolder(const QString& name) const;

    // Opens a DICOM file, a folder, or a DICOMDIR (the file or its folder) in the viewer.
    void open(const QString& path);

    // Late-bound calls; an error the viewer raises is shown to the user, not thrown.
    Variant callViewer(const QString& member, QList<Variant> args = {});
    void putViewer(const QString& property, const Variant& value);
    void selectTool(int tool);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void siteViewer(const QString& settingsFile);
    void layoutClientArea();
    void optionClicked(int index);
    void commandClicked(int number);
    QString viewerText(const QString& property);
    void reportError(const QString& member, const AutomationError& error);

    // ViewerEventHandler
    void beforeLoading() override;
    void imageLoaded(const QString& fileName, bool noImage) override;
    void tagsStatusChange(bool isTagVisible) override;
    void invertStatusChange(bool isInverted) override;
    void sidebarStatusChange(bool isSidebarVisible) override;
    void toolSelected(int toolNum) override;
    void measurementChanged(const QString& id, const QString& action, const QString& json) override;

    // Declared first so that it is released last, after the site and the event link.
    DispatchPtr m_viewer;
    QString m_programFolder;
    QWidget* m_clientArea;
    ToolPanel* m_panel;
    MeasurementListDock* m_measurements;
    std::unique_ptr<ViewerSite> m_site;
    std::unique_ptr<ViewerEvents> m_events;
};
