#include "tests/common/QtPrinters.h"
#include "viewer/ViewerTypeInfo.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

// The published surface, written out independently of the member table.
struct ExpectedProperty {
    std::int32_t id;
    const char* name;
    VarType type;
    bool writable;
};

const ExpectedProperty properties[] = {
    {0x68030061, "dcmZoomFactor", VarType::Integer, true},
    {0x68030060, "dcmModality", VarType::String, false},
    {0x6803005F, "dcmPixelHeight", VarType::Double, false},
    {0x6803005E, "dcmPixelWidth", VarType::Double, false},
    {0x6803005D, "dcmImageWidth", VarType::Long, false},
    {0x6803005C, "dcmImageHeight", VarType::Long, false},
    {0x6803005B, "dcmExamDate", VarType::String, false},
    {0x6803005A, "dcmPatientBirthDate", VarType::String, false},
    {0x68030059, "dcmPatientName", VarType::String, false},
    {0x68030058, "dcmFrame", VarType::Integer, false},
    {0x68030057, "dcmFrames", VarType::Integer, false},
    {0x68030056, "dcmFileName", VarType::String, false},
    {0x68030055, "dcmFile", VarType::String, false},
    {0x68030054, "ShowSidebarOnLoad", VarType::Boolean, true},
    {0x68030053, "ShowTagsOnLoad", VarType::Boolean, true},
    {0x68030052, "Language", VarType::String, true},
    {0x68030051, "UseEvergreenWebview2", VarType::Boolean, true},
    {0x68030050, "DisplayDicomTags", VarType::Boolean, true},
    {0x6803004F, "BackColor", VarType::Long, true},
    {0x6803004E, "Enabled", VarType::Boolean, true},
    {0x6803004D, "BorderStyle", VarType::Integer, true},
    {0x6803004C, "ContainerHwnd", VarType::Long, false},
    {0x6803004B, "hwnd", VarType::Long, false},
    {0x6803004A, "InvertOnLoad", VarType::Boolean, true},
    {0x68030049, "SideBarVisible", VarType::Boolean, true},
    {0x68030062, "StackMode", VarType::Boolean, true},
    {0x68030063, "CacheSizeMB", VarType::Long, true},
    {0x68030064, "StackIndex", VarType::Long, true},
    {0x68030065, "StackCount", VarType::Long, false},
};

struct ExpectedMethod {
    std::int32_t id;
    const char* name;
    VarType result;
    const char* arguments; // name:type:direction[:default], "|" between arguments
};

const ExpectedMethod methods[] = {
    {-552, "About", VarType::Empty, ""},
    {0x60030063, "ReInit", VarType::Empty, "Force:Boolean:inout:True"},
    {0x60030064, "LoadSelectedDicomFile", VarType::Boolean, "SearchPath:String:in:"},
    {0x60030065, "LoadDICOMDIR", VarType::Boolean,
     "DICOMDIRFilePathName:String:inout:|Flag:Integer:inout:1"},
    {0x60030066, "LoadDirectory", VarType::Boolean,
     "DICOMDirectory:String:inout:|Flag:Integer:inout:1"},
    {0x60030067, "LoadDicomFile", VarType::Boolean, "DicomFilePathName:String:inout:required"},
    {0x60030070, "Refresh", VarType::Empty, ""},
    {0x60030075, "SaveImage", VarType::Boolean,
     "FileNameAndPath:String:inout:|ForceSelect:Boolean:inout:False"},
    {0x600300A0, "SaveCanvas", VarType::Boolean,
     "FileNameAndPath:String:inout:|ForceSelect:Boolean:inout:False"},
    {0x600300A1, "PrintCanvas", VarType::Empty,
     "PrinterName:String:inout:|PrintID:Boolean:inout:missing"},
    {0x60030076, "PrintImage", VarType::Empty,
     "PrinterName:String:inout:|PrintID:Boolean:inout:missing"},
    {0x60030077, "CopyImageToClipboard", VarType::Empty, ""},
    {0x600300A2, "CopyCanvasToClipboard", VarType::Empty, ""},
    {0x60030079, "GetImageSize", VarType::Empty, ""},
    {0x6003007B, "ResetDICOMProperty", VarType::Empty, ""},
    {0x6003007C, "SelectTool", VarType::Empty, "Tool:Integer:inout:required"},
    {0x6003007D, "SetScale1", VarType::Empty, ""},
    {0x60030081, "RunJs", VarType::Empty,
     "JScript:String:inout:required|Param1:Variant:inout:missing|Param2:Variant:inout:missing|"
     "Param3:Variant:inout:missing"},
    {0x6003008B, "Cls", VarType::Empty, ""},
    {0x600300A3, "PlayCine", VarType::Empty, "FramesPerSecond:Double:in:0"},
    {0x600300A4, "StopCine", VarType::Empty, ""},
    {0x600300A5, "GetMeasurements", VarType::String, ""},
    {0x600300A6, "AddMeasurement", VarType::String,
     "ToolName:String:in:required|Points:String:in:required"},
    {0x600300A7, "RemoveMeasurement", VarType::Boolean, "Id:String:in:required"},
    {0x600300A8, "SaveMeasurementsAsSR", VarType::Boolean, "FileName:String:in:required"},
    {0x600300A9, "LoadMeasurements", VarType::Long, "FileName:String:in:required"},
    {0x60030092, "IsDicomFile", VarType::Boolean, "CheminFichier:String:in:required"},
};

QString typeName(VarType type) {
    switch (type) {
    case VarType::Boolean:
        return "Boolean";
    case VarType::Integer:
        return "Integer";
    case VarType::Long:
        return "Long";
    case VarType::Single:
        return "Single";
    case VarType::Double:
        return "Double";
    case VarType::String:
        return "String";
    case VarType::Variant:
        return "Variant";
    default:
        return "?";
    }
}

QString describe(const ParamInfo& param) {
    QString text =
        param.name + ':' + typeName(param.type) + ':' + (param.byRef ? "inout" : "in") + ':';
    if (!param.optional)
        return text + "required";
    if (!param.defaultValue)
        return text + "missing";
    return text + param.defaultValue->toString();
}

TEST(ViewerSurfaceTable, PropertiesMatchThePublishedSurface) {
    const TypeInfo& info = viewerTypeInfo();
    for (const auto& expected : properties) {
        const MemberInfo* get = info.findMember(expected.id, InvokeFlags::PropertyGet);
        ASSERT_NE(get, nullptr) << expected.name;
        EXPECT_EQ(get->name, QString::fromLatin1(expected.name));
        EXPECT_EQ(get->returnType, expected.type) << expected.name;
        const MemberInfo* let = info.findMember(expected.id, InvokeFlags::PropertyPut);
        EXPECT_EQ(let != nullptr, expected.writable) << expected.name;
        if (let) {
            EXPECT_EQ(let->params.value(0, ParamInfo("")).type, expected.type) << expected.name;
        }
    }
}

TEST(ViewerSurfaceTable, MethodsMatchThePublishedSurface) {
    const TypeInfo& info = viewerTypeInfo();
    for (const auto& expected : methods) {
        const MemberInfo* method = info.findMember(expected.id, InvokeFlags::Method);
        ASSERT_NE(method, nullptr) << expected.name;
        EXPECT_EQ(method->name, QString::fromLatin1(expected.name));
        EXPECT_EQ(method->returnType, expected.result) << expected.name;
        QStringList arguments;
        for (const ParamInfo& param : method->params)
            arguments.append(describe(param));
        EXPECT_EQ(arguments.join('|'), QString::fromLatin1(expected.arguments)) << expected.name;
    }
    const auto lets = std::count_if(std::begin(properties), std::end(properties),
                                    [](const ExpectedProperty& p) { return p.writable; });
    EXPECT_EQ(info.members.size(), qsizetype(std::size(methods) + std::size(properties) + lets));
}

TEST(ViewerSurfaceTable, EventsInDeclarationOrder) {
    const QStringList expected = {
        "1 BeforeLoading ",
        "2 DicomdirLoaded TotalPatients:Integer TotalImages:Integer",
        "3 DicomdirImageSelected ImagePathName:String FileType:String",
        "4 DicomListImageSelected ImagePathName:String",
        "5 TagsStatusChange IsTagVisible:Boolean",
        "6 InvertStatusChange IsInverted:Boolean",
        "7 SidebarStatusChange IsSidebarVisible:Boolean",
        "8 ToolSelected ToolName:String ToolNum:Long",
        "22 ImageLoaded FileName:String Width:Long Height:Long Modality:Variant Nom:String "
        "DateNaissance:String DateExamen:String MultiFrame:Boolean Frame:Integer "
        "TotalFrames:Integer "
        "RowSpacing:Double ColSpacing:Double NoImage:Boolean",
        "9 ImagePixelClic PixelX:Long PixelY:Long PixelValue:Double",
        "10 ZoomChanged Percent:Integer",
        "11 Click ",
        "12 DblClick ",
        "13 KeyDown &KeyCode:Integer &Shift:Integer",
        "14 KeyPress &KeyAscii:Integer",
        "15 KeyUp &KeyCode:Integer &Shift:Integer",
        "16 MouseDown &Button:Integer &Shift:Integer &x:Single &y:Single",
        "17 MouseMove &Button:Integer &Shift:Integer &x:Single &y:Single",
        "18 MouseUp &Button:Integer &Shift:Integer &x:Single &y:Single",
        "19 Paint ",
        "20 Resize ",
        "21 Show ",
        "23 OffsetChanged &imageX:Long &imageY:Long &screenX:Long &screenY:Long &originX:Long "
        "&originY:Long &viewportLeft:Long &viewportTop:Long &WindowsDPR:Double",
        "24 StackImageChanged Index:Long Count:Long FileName:String",
        "25 MeasurementChanged Id:String Action:String Json:String",
    };
    QStringList actual;
    for (const EventInfo& event : viewerTypeInfo().events) {
        QStringList params;
        for (const ParamInfo& param : event.params)
            params.append((param.byRef ? "&" : "") + param.name + ':' + typeName(param.type));
        actual.append(QString::number(event.id) + ' ' + event.name + ' ' + params.join(' '));
    }
    EXPECT_EQ(actual, expected);
}

TEST(ViewerSurfaceTable, HelpStrings) {
    const TypeInfo& info = viewerTypeInfo();
    EXPECT_EQ(info.findMember(0x60030067, InvokeFlags::Method)->help,
              QStringLiteral("Loads a DICOM file and displays it"));
    EXPECT_EQ(info.findMember(-552, InvokeFlags::Method)->help, QStringLiteral("About..."));
    EXPECT_EQ(info.findMember(0x600300A0, InvokeFlags::Method)->help, QString());
    EXPECT_EQ(info.findEvent("ImageLoaded")->help,
              QStringLiteral("Occurs when the viewer has rendered a document and every property "
                             "describing it has been refreshed"));
    EXPECT_EQ(info.findEvent("BeforeLoading")->help, QString());
}

} // namespace

namespace {

TEST(ViewerSurfaceTable, DicomToolsEnumerationIsPublished) {
    const TypeInfo& info = viewerTypeInfo();
    ASSERT_EQ(info.enums.size(), 1);
    const EnumInfo& tools = info.enums[0];
    EXPECT_EQ(tools.name, QStringLiteral("DicomTools"));
    QStringList published;
    for (const auto& [name, value] : tools.values)
        published.append(name + '=' + QString::number(value));
    EXPECT_EQ(published.join(' '),
              QStringLiteral("Tool_Unknown=0 Tool_Wwwc=1 Tool_Zoom=2 Tool_Pan=3 Tool_Length=4 "
                             "Tool_Angle=5 Tool_Cobb=6 Tool_Rectangle=7 Tool_Ellipse=8 "
                             "Tool_Probe=9 Tool_Magnify=10 Tool_Invert=11 Tool_Clear=12 "
                             "Tool_Reinit=13 Tool_FrameNext=14 Tool_FramePrevious=15 "
                             "Tool_Previous=100 Tool_Next=101"));
}

} // namespace
