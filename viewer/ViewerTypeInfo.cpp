#include "ViewerTypeInfo.h"

#include "DicomTools.h"

namespace {

constexpr unsigned Get = InvokeFlags::PropertyGet;
constexpr unsigned Let = InvokeFlags::PropertyPut;
constexpr unsigned Call = InvokeFlags::Method;

using V = VarType;

// A property with a get and, when writable, a let taking the value.
void addProperty(QList<MemberInfo>& members, DispId id, const char* name, VarType type,
                 bool writable, const char* help) {
    members.append({id, name, Get, type, {}, QString::fromUtf8(help)});
    if (writable)
        members.append({id, name, Let, V::Empty, {{"RHS", type}}, QString::fromUtf8(help)});
}

QList<MemberInfo> members() {
    QList<MemberInfo> m;
    addProperty(
        m, 0x68030061, "dcmZoomFactor", V::Integer, true,
        "Returns or sets the zoom applied to the image currently displayed, as a percentage");
    addProperty(m, 0x68030060, "dcmModality", V::String, false,
                "Returns the modality of the document currently displayed");
    addProperty(
        m, 0x6803005F, "dcmPixelHeight", V::Double, false,
        "Returns the physical distance, in millimetres, between the centres of two adjacent "
        "rows of the image");
    addProperty(
        m, 0x6803005E, "dcmPixelWidth", V::Double, false,
        "Returns the physical distance, in millimetres, between the centres of two adjacent "
        "columns of the image");
    addProperty(m, 0x6803005D, "dcmImageWidth", V::Long, false,
                "Returns the width, in pixels, of the image currently displayed");
    addProperty(m, 0x6803005C, "dcmImageHeight", V::Long, false,
                "Returns the height, in pixels, of the image currently displayed");
    addProperty(m, 0x6803005B, "dcmExamDate", V::String, false,
                "Returns the study date of the document currently displayed");
    addProperty(
        m, 0x6803005A, "dcmPatientBirthDate", V::String, false,
        "Returns the birth date of the patient the document currently displayed belongs to");
    addProperty(m, 0x68030059, "dcmPatientName", V::String, false,
                "Returns the name of the patient the document currently displayed belongs to");
    addProperty(m, 0x68030058, "dcmFrame", V::Integer, false,
                "Returns the index of the frame currently displayed in a multiframe image");
    addProperty(m, 0x68030057, "dcmFrames", V::Integer, false,
                "Returns the total number of frames contained in the document currently displayed");
    addProperty(m, 0x68030056, "dcmFileName", V::String, false,
                "Returns the file name reported by the viewer for the image currently displayed");
    addProperty(
        m, 0x68030055, "dcmFile", V::String, false,
        "Returns the name of the working copy of the DICOM file currently loaded in the control");
    addProperty(
        m, 0x68030054, "ShowSidebarOnLoad", V::Boolean, true,
        "Returns or sets whether the viewer's tool sidebar is displayed when a document is loaded");
    addProperty(
        m, 0x68030053, "ShowTagsOnLoad", V::Boolean, true,
        "Returns or sets whether the DICOM tag list is displayed when a document is loaded");
    addProperty(
        m, 0x68030052, "Language", V::String, true,
        "Returns or sets the language used for the viewer's user interface and for the file "
        "dialogs opened by the control");
    addProperty(m, 0x68030051, "UseEvergreenWebview2", V::Boolean, true,
                "Returns or sets which WebView2 runtime the embedded browsers use");
    addProperty(m, 0x68030050, "DisplayDicomTags", V::Boolean, true,
                "Returns or sets whether the DICOM tag list is displayed in front of the image");
    addProperty(
        m, 0x6803004F, "BackColor", V::Long, true,
        "Returns/sets the background color used to display text and graphics in an object.");
    addProperty(m, 0x6803004E, "Enabled", V::Boolean, true,
                "Returns/sets a value that determines whether an object can respond to "
                "user-generated events.");
    addProperty(m, 0x6803004D, "BorderStyle", V::Integer, true,
                "Returns/sets the border style for an object.");
    addProperty(m, 0x6803004C, "ContainerHwnd", V::Long, false,
                "Returns a handle to the container of the control.");
    addProperty(m, 0x6803004B, "hwnd", V::Long, false, "Returns a handle to a form or control.");
    addProperty(
        m, 0x6803004A, "InvertOnLoad", V::Boolean, true,
        "Returns or sets whether the grey scale of every document is inverted automatically "
        "when it is displayed");
    addProperty(m, 0x68030049, "SideBarVisible", V::Boolean, true,
                "Returns or sets the visibility of the viewer's tool sidebar for the document "
                "currently displayed");
    addProperty(m, 0x68030062, "StackMode", V::Boolean, true,
                "Returns or sets whether a file is opened with the other images of its series "
                "as a stack, stepped through with the mouse wheel, the keys and StackIndex");
    addProperty(m, 0x68030063, "CacheSizeMB", V::Long, true,
                "Returns or sets how many megabytes of decoded images a stack keeps, from 16 "
                "to 65536; the images shown least recently go first");
    addProperty(m, 0x68030064, "StackIndex", V::Long, true,
                "Returns or sets the index, from 0, of the image of the stack currently "
                "displayed");
    addProperty(m, 0x68030065, "StackCount", V::Long, false,
                "Returns the number of images of the stack currently displayed (the frames "
                "of a multiframe image), 0 when no image is displayed");

    const std::optional<Variant> none;
    const auto inOut = [](const char* name, VarType type, std::optional<Variant> defaultValue,
                          bool optional = true) {
        return ParamInfo(name, type, true, optional, std::move(defaultValue));
    };
    m.append({dispid::AboutBox, "About", Call, V::Empty, {}, "About..."});
    m.append({0x60030063,
              "ReInit",
              Call,
              V::Empty,
              {inOut("Force", V::Boolean, Variant(true))},
              "Re-creates the working folders of the control and re-deploys the JavaScript "
              "libraries the viewer needs"});
    m.append({0x60030064,
              "LoadSelectedDicomFile",
              Call,
              V::Boolean,
              {ParamInfo("SearchPath", V::String, false, true, Variant(QString()))},
              "Displays an Open dialog and loads the DICOM file the user chooses"});
    m.append({0x60030065,
              "LoadDICOMDIR",
              Call,
              V::Boolean,
              {inOut("DICOMDIRFilePathName", V::String, Variant(QString())),
               inOut("Flag", V::Integer, Variant(std::int16_t(1)))},
              "Loads a DICOMDIR media directory and displays its patient, study and series browser "
              "in a pane on the left of the control"});
    m.append(
        {0x60030066,
         "LoadDirectory",
         Call,
         V::Boolean,
         {inOut("DICOMDirectory", V::String, Variant(QString())),
          inOut("Flag", V::Integer, Variant(std::int16_t(1)))},
         "Lists the DICOM files a folder contains and displays them in a selection list on the "
         "left of the control"});
    m.append({0x60030067,
              "LoadDicomFile",
              Call,
              V::Boolean,
              {inOut("DicomFilePathName", V::String, none, false)},
              "Loads a DICOM file and displays it"});
    m.append({0x60030070, "Refresh", Call, V::Empty, {}, "Forces a complete repaint of a object."});
    m.append({0x60030075,
              "SaveImage",
              Call,
              V::Boolean,
              {inOut("FileNameAndPath", V::String, Variant(QString())),
               inOut("ForceSelect", V::Boolean, Variant(false))},
              "Saves the image currently displayed, with its annotations and its current contrast "
              "and zoom, to a JPEG or a PNG file"});
    m.append({0x600300A0,
              "SaveCanvas",
              Call,
              V::Boolean,
              {inOut("FileNameAndPath", V::String, Variant(QString())),
               inOut("ForceSelect", V::Boolean, Variant(false))}});
    m.append({0x600300A1,
              "PrintCanvas",
              Call,
              V::Empty,
              {inOut("PrinterName", V::String, Variant(QString())),
               inOut("PrintID", V::Boolean, none)}});
    m.append(
        {0x60030076,
         "PrintImage",
         Call,
         V::Empty,
         {inOut("PrinterName", V::String, Variant(QString())), inOut("PrintID", V::Boolean, none)},
         "Prints the image currently displayed, one image per page, scaled to fit the paper"});
    m.append({0x60030077,
              "CopyImageToClipboard",
              Call,
              V::Empty,
              {},
              "Copies the image currently displayed, with its annotations and its current contrast "
              "and zoom, to the Windows clipboard"});
    m.append({0x600300A2, "CopyCanvasToClipboard", Call});
    m.append({0x60030079,
              "GetImageSize",
              Call,
              V::Empty,
              {},
              "Asks the viewer for the pixel dimensions of the image currently displayed"});
    m.append({0x6003007B,
              "ResetDICOMProperty",
              Call,
              V::Empty,
              {},
              "Clears every property describing the document currently displayed"});
    m.append(
        {0x6003007C,
         "SelectTool",
         Call,
         V::Empty,
         {inOut("Tool", V::Integer, none, false)},
         "Activates one of the viewer's tools, exactly as if the user had clicked the matching "
         "button in the sidebar"});
    m.append({0x6003007D,
              "SetScale1",
              Call,
              V::Empty,
              {},
              "Displays the image at its native resolution, one image pixel per screen pixel, and "
              "activates the Pan tool"});
    m.append({0x60030081,
              "RunJs",
              Call,
              V::Empty,
              {inOut("JScript", V::String, none, false), inOut("Param1", V::Variant, none),
               inOut("Param2", V::Variant, none), inOut("Param3", V::Variant, none)},
              "Calls a function of the viewer page, with up to three arguments"});
    m.append({0x6003008B,
              "Cls",
              Call,
              V::Empty,
              {},
              "Clears graphics and text generated at run time from a Form, Image, or PictureBox."});
    m.append({0x600300A3,
              "PlayCine",
              Call,
              V::Empty,
              {ParamInfo("FramesPerSecond", V::Double, false, true, Variant(0.0))},
              "Plays the stack, or the frames of a multiframe image, in a loop; at 0 or less, "
              "at the rate the file gives (10 images per second when it gives none)"});
    m.append({0x600300A4, "StopCine", Call, V::Empty, {}, "Stops the cine started by PlayCine"});
    m.append({0x600300A5,
              "GetMeasurements",
              Call,
              V::String,
              {},
              "Returns the measurements of the document displayed (every image of a stack) as a "
              "JSON array: id, tool, sopInstanceUid, frame (from 0), points in image pixels, "
              "calibration, and length_mm or length_px, angle_deg, area_mm2 or area_px, mean, "
              "stdDev, min, max and unit, or the probe's stored and modality values"});
    m.append({0x600300A6,
              "AddMeasurement",
              Call,
              V::String,
              {{"ToolName", V::String}, {"Points", V::String}},
              "Draws a measurement on the image displayed and returns its identifier. ToolName: "
              "Length (2 points: its ends), Angle (3: an end, the vertex, the other end), Cobb "
              "(4: the two ends of each line), Rectangle and Ellipse (2: opposite corners of the "
              "bounding box), Probe (1). Points: a JSON array of image points, [[x,y],...]"});
    m.append({0x600300A7,
              "RemoveMeasurement",
              Call,
              V::Boolean,
              {{"Id", V::String}},
              "Removes a measurement by its identifier; False when there is none"});
    m.append({0x600300A8,
              "SaveMeasurementsAsSR",
              Call,
              V::Boolean,
              {{"FileName", V::String}},
              "Writes the measurements of the document displayed to a DICOM Comprehensive SR "
              "with the Measurement Report template (TID 1500); False when there is none"});
    m.append({0x600300A9,
              "LoadMeasurements",
              Call,
              V::Long,
              {{"FileName", V::String}},
              "Draws the measurements of a TID 1500 report whose coordinates reference the images "
              "displayed (the image shown and the images of its stack read so far) and returns "
              "how many were drawn"});
    m.append({0x60030092,
              "IsDicomFile",
              Call,
              V::Boolean,
              {{"CheminFichier", V::String}},
              "Tests whether a file is a DICOM Part 10 file"});
    return m;
}

QList<EventInfo> events() {
    const auto byRef = [](const char* name, VarType type) {
        return ParamInfo(name, type, true);
    };
    return {
        {1, "BeforeLoading"},
        {2,
         "DicomdirLoaded",
         {{"TotalPatients", V::Integer}, {"TotalImages", V::Integer}},
         "Occurs when the DICOMDIR browser has finished parsing a media directory"},
        {3,
         "DicomdirImageSelected",
         {{"ImagePathName", V::String}, {"FileType", V::String}},
         "Occurs when the user selects an image in the DICOMDIR browser"},
        {4,
         "DicomListImageSelected",
         {{"ImagePathName", V::String}},
         "Occurs when the user selects a file in the folder list displayed by LoadDirectory"},
        {5,
         "TagsStatusChange",
         {{"IsTagVisible", V::Boolean}},
         "Occurs when the DICOM tag list is shown or hidden"},
        {6,
         "InvertStatusChange",
         {{"IsInverted", V::Boolean}},
         "Occurs when the grey scale inversion of the displayed image changes"},
        {7,
         "SidebarStatusChange",
         {{"IsSidebarVisible", V::Boolean}},
         "Occurs when the viewer's tool sidebar is shown or hidden"},
        {8,
         "ToolSelected",
         {{"ToolName", V::String}, {"ToolNum", V::Long}},
         "Occurs when a tool is activated, whether by the user in the viewer's sidebar or by the "
         "host through SelectTool"},
        {22,
         "ImageLoaded",
         {{"FileName", V::String},
          {"Width", V::Long},
          {"Height", V::Long},
          {"Modality"},
          {"Nom", V::String},
          {"DateNaissance", V::String},
          {"DateExamen", V::String},
          {"MultiFrame", V::Boolean},
          {"Frame", V::Integer},
          {"TotalFrames", V::Integer},
          {"RowSpacing", V::Double},
          {"ColSpacing", V::Double},
          {"NoImage", V::Boolean}},
         "Occurs when the viewer has rendered a document and every property describing it has "
         "been refreshed"},
        {9,
         "ImagePixelClic",
         {{"PixelX", V::Long}, {"PixelY", V::Long}, {"PixelValue", V::Double}},
         "Occurs when the user clicks inside the image"},
        {10,
         "ZoomChanged",
         {{"Percent", V::Integer}},
         "Occurs when the zoom applied to the displayed image changes"},
        {11,
         "Click",
         {},
         "Occurs when the user presses and then releases a mouse button over an object."},
        {12,
         "DblClick",
         {},
         "Occurs when the user presses and releases a mouse button and then presses and releases "
         "it again over an object."},
        {13,
         "KeyDown",
         {byRef("KeyCode", V::Integer), byRef("Shift", V::Integer)},
         "Occurs when the user presses a key while an object has the focus."},
        {14,
         "KeyPress",
         {byRef("KeyAscii", V::Integer)},
         "Occurs when the user presses and releases an ANSI key."},
        {15,
         "KeyUp",
         {byRef("KeyCode", V::Integer), byRef("Shift", V::Integer)},
         "Occurs when the user releases a key while an object has the focus."},
        {16,
         "MouseDown",
         {byRef("Button", V::Integer), byRef("Shift", V::Integer), byRef("x", V::Single),
          byRef("y", V::Single)},
         "Occurs when the user presses the mouse button while an object has the focus."},
        {17,
         "MouseMove",
         {byRef("Button", V::Integer), byRef("Shift", V::Integer), byRef("x", V::Single),
          byRef("y", V::Single)},
         "Occurs when the user moves the mouse."},
        {18,
         "MouseUp",
         {byRef("Button", V::Integer), byRef("Shift", V::Integer), byRef("x", V::Single),
          byRef("y", V::Single)},
         "Occurs when the user releases the mouse button while an object has the focus."},
        {19,
         "Paint",
         {},
         "Occurs when any part of a form or PictureBox control is moved, enlarged, or exposed."},
        {20,
         "Resize",
         {},
         "Occurs when a form is first displayed or the size of an object changes."},
        {21, "Show", {}, "Occurs when a form is shown."},
        {23,
         "OffsetChanged",
         {byRef("imageX", V::Long), byRef("imageY", V::Long), byRef("screenX", V::Long),
          byRef("screenY", V::Long), byRef("originX", V::Long), byRef("originY", V::Long),
          byRef("viewportLeft", V::Long), byRef("viewportTop", V::Long),
          byRef("WindowsDPR", V::Double)},
         "Occurs when the image coordinates change within the display"},
        {24,
         "StackImageChanged",
         {{"Index", V::Long}, {"Count", V::Long}, {"FileName", V::String}},
         "Occurs when the stack displays another of its images, at most once per displayed "
         "frame"},
        {25,
         "MeasurementChanged",
         {{"Id", V::String}, {"Action", V::String}, {"Json", V::String}},
         "Occurs once a measurement is added, modified or removed (Action), when the user "
         "finishes drawing or moving it, or by AddMeasurement, RemoveMeasurement and Clear; "
         "Json holds it as GetMeasurements does"},
    };
}

} // namespace

const TypeInfo& viewerTypeInfo() {
    static const TypeInfo info{QStringLiteral("_KestDicomViewAX"),
                               QStringLiteral("__KestDicomViewAX"),
                               members(),
                               events(),
                               {tools::publishedEnum()}};
    return info;
}
