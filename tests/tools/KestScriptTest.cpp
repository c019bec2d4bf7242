// The script host run as a process on small scripts, against the probe class
// registered in a private store.

#include "ScriptRun.h"

#include "tests/common/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

class KestScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_run.registerLibrary(KEST_PROBE_PATH)) << m_run.error().toStdString();
    }

    // Runs a script that starts with `probe` created.
    ScriptRun::Result runWithProbe(const QString& body, const QStringList& options = {}) {
        return m_run.run("var probe = Host.createObject('KestScriptTest.Probe');\n" + body,
                         options);
    }

    ScriptRun m_run;
};

TEST_F(KestScriptTest, ValuesCrossBothWaysAsTheTableSays) {
    const auto result = runWithProbe(R"js(
var out = {};
var toAutomation = {
    integral: 5, lowest: -2147483648, beyondLong: 2147483648, fraction: 1.5, yes: true, no: false,
    text: "abc", nothing: null, empty: undefined, date: new Date(2020, 0, 2, 3, 4, 5),
    array: [1, "a", [true]], bytes: new Uint8Array([1, 2, 255]),
    buffer: new Uint8Array([7, 8]).buffer, object: probe
};
for (var name in toAutomation)
    out["in." + name] = probe.Describe(toAutomation[name]);
function kind(v) {
    if (v === null) return "null";
    if (v instanceof Date) return "Date:" + v.getFullYear() + "-" + (v.getMonth() + 1) + "-" +
        v.getDate() + " " + v.getHours() + ":" + v.getMinutes() + ":" + v.getSeconds();
    if (v instanceof Uint8Array) return "Uint8Array:" + Array.prototype.join.call(v, ",");
    if (Array.isArray(v)) return "Array:" + v.map(kind).join("|");
    if (typeof v === "object") return "object:" + probe.Describe(v);
    return typeof v + ":" + String(v);
}
["Integer", "Long", "Single", "Double", "Currency", "LongLong", "Byte", "Boolean", "Date",
 "String", "Null", "Empty", "Bytes", "Array", "Object", "Nothing"].forEach(function (name) {
    out["out." + name] = kind(probe.Make(name));
});
out["echo.array"] = kind(probe.Echo([1, [2, "x"], null]));
out["echo.bytes"] = kind(probe.Echo(new Uint8Array([0, 128])));
Host.echo(JSON.stringify(out));
)js");
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    const std::pair<const char*, const char*> expected[] = {
        {"in.integral", "Long:5"},
        {"in.lowest", "Long:-2147483648"},
        {"in.beyondLong", "Double:2147483648"},
        {"in.fraction", "Double:1.5"},
        {"in.yes", "Boolean:-1"},
        {"in.no", "Boolean:0"},
        {"in.text", "String:abc"},
        {"in.nothing", "Null"},
        {"in.empty", "Empty"},
        {"in.date", "Date:2020-01-02T03:04:05"},
        {"in.array", "Variant():[Long:1,String:a,Variant():[Boolean:-1]]"},
        {"in.bytes", "Byte():0102ff"},
        {"in.buffer", "Byte():0708"},
        {"in.object", "Object:IProbe"},
        {"out.Integer", "number:-12"},
        {"out.Long", "number:70000"},
        {"out.Single", "number:1.5"},
        {"out.Double", "number:0.1"},
        {"out.Currency", "number:12.3456"},
        {"out.LongLong", "number:1099511627776"},
        {"out.Byte", "number:200"},
        {"out.Boolean", "boolean:true"},
        {"out.Date", "Date:2020-1-2 3:4:5"},
        {"out.String", "string:text"},
        {"out.Null", "null"},
        {"out.Empty", "undefined:undefined"},
        {"out.Bytes", "Uint8Array:1,2,255"},
        {"out.Array", "Array:number:1|string:two"},
        {"out.Object", "object:Object:IProbe"},
        {"out.Nothing", "null"},
        {"echo.array", "Array:number:1|Array:number:2|string:x|null"},
        {"echo.bytes", "Uint8Array:0,128"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(out.value(name).toString(), QString(value)) << name;
}

TEST_F(KestScriptTest, AutomationErrorsBecomeScriptErrorsWithTheirNumbers) {
    const auto result = runWithProbe(R"js(
var out = {};
function attempt(name, action) {
    try { action(); out[name] = "no error"; }
    catch (e) { out[name] = e.number + "|" + e.description + "|" + e.source + "|" + (e instanceof Error); }
}
attempt("unknownProgId", function () { Host.createObject("KestScriptTest.NoSuchClass"); });
attempt("typeMismatch", function () { probe.Count = "abc"; });
attempt("unknownMember", function () { return probe.NoSuchMember; });
attempt("unknownMethod", function () { return probe.NoSuchMember(1); });
attempt("unknownMethodNoArgs", function () { probe.NoSuchMember(); });
attempt("unknownMethodByIndex", function () { return probe["NoSuchMember"](1, 2); });
attempt("otherTypeError", function () { null.x; });
var assigned = new TypeError("x");
assigned.number = 5;
assigned.description = "own";
out.assignedToTypeError = assigned.number + "|" + assigned.description;
attempt("raised", function () { probe.Fail(1234, "custom text"); });
attempt("notOptional", function () { probe.Increment(); });
attempt("tooMany", function () { probe.Greet("a", "b"); });
attempt("notAValue", function () { probe.Describe({}); });
Host.echo(JSON.stringify(out));
)js");
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    const std::pair<const char*, const char*> expected[] = {
        {"typeMismatch", "13|Type mismatch||true"},
        {"unknownMember", "438|Object doesn't support this property or method||true"},
        {"unknownMethod", "438|Object doesn't support this property or method||true"},
        {"unknownMethodNoArgs", "438|Object doesn't support this property or method||true"},
        {"unknownMethodByIndex", "438|Object doesn't support this property or method||true"},
        {"otherTypeError", "undefined|undefined|undefined|true"},
        {"assignedToTypeError", "5|own"},
        {"raised", "1234|custom text|KestScriptTest.Probe|true"},
        {"notOptional", "449|Argument not optional||true"},
        {"tooMany", "450|Wrong number of arguments or invalid property assignment||true"},
        {"notAValue", "13|Type mismatch||true"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(out.value(name).toString(), QString(value)) << name;
    EXPECT_TRUE(out.value("unknownProgId").toString().startsWith("429|"))
        << out.value("unknownProgId").toString().toStdString();
    EXPECT_TRUE(out.value("unknownProgId").toString().contains("KestScriptTest.NoSuchClass"));
}

TEST_F(KestScriptTest, RefsCarryWhatMembersWriteBackAndOmittedArgumentsTakeDefaults) {
    const auto result = runWithProbe(R"js(
var count = new Ref(41);
probe.Increment(count);
var unchanged = new Ref("kept");
var described = probe.Describe(unchanged);
probe.Count = 9;
Host.echo(JSON.stringify({ count: count.value, unchanged: unchanged.value, described: described,
    greetDefault: probe.Greet(), greetGiven: probe.Greet("Ann"), property: probe.Count }));
)js");
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    EXPECT_EQ(out.value("count").toInt(), 42);
    EXPECT_EQ(out.value("unchanged").toString(), "kept");
    EXPECT_EQ(out.value("described").toString(), "String:kept");
    EXPECT_EQ(out.value("greetDefault").toString(), "Hello, world");
    EXPECT_EQ(out.value("greetGiven").toString(), "Hello, Ann");
    EXPECT_EQ(out.value("property").toInt(), 9);
}

TEST_F(KestScriptTest, EventHandlersSetByReferenceArgumentsThatTheRaiserReads) {
    const auto result = runWithProbe(R"js(
var questions = [];
probe.on("Asked", function (args) {
    questions.push(args.Question);
    args.Answer.value = args.Question.length;
});
var answer = probe.Ask("four");
var notified = [];
function P_Notified(text) { notified.push(text); }
Host.connectObject(probe, "P_");
probe.Notify("hello");
Host.echo(JSON.stringify({ answer: answer, questions: questions, notified: notified }));
)js");
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    EXPECT_EQ(out.value("answer").toInt(), 4);
    EXPECT_EQ(out.value("questions").toArray().first().toString(), "four");
    EXPECT_EQ(out.value("notified").toArray().first().toString(), "hello");
}

TEST_F(KestScriptTest, HowARunEndsGivesItsExitCodeAndLine) {
    struct Case {
        const char* name;
        const char* script;
        QStringList options;
        int exitCode;
        const char* errorText;
    };
    const Case cases[] = {
        {"quit code", "Host.echo('before');\nHost.quit(7);\nHost.echo('after');\n", {}, 7, ""},
        {"uncaught", "var a = 1;\nnull.x;\n", {}, 1, ":2: TypeError"},
        {"automation error", "\n\nHost.createObject('No.Such');\n", {}, 1, ":3: Error:"},
        {"unknown method",
         "var p = Host.createObject('KestScriptTest.Probe');\n\np.NoSuchMember(1);\n",
         {},
         1,
         ":3: Error: Object doesn't support this property or method (error 438)"},
        {"thrown string", "throw 'plain';\n", {}, 1, ":1: uncaught exception: plain"},
        {"syntax error", "var a = 1;\nvar b = (;\n", {}, 2, ":2: SyntaxError"},
        {"waitFor",
         "var done = false;\n\nHost.waitFor(function () { return done; }, 200);\n",
         {},
         1,
         ":3: Error: Host.waitFor: the condition was still false after 200 ms"},
        {"handler throws",
         "var p = Host.createObject('KestScriptTest.Probe');\np.on('Notified', function () {\n"
         "  throw new Error('in handler');\n});\np.Notify('x');\nHost.echo('after');\n",
         {},
         1,
         ":3: Error: in handler"},
        {"endless host wait",
         "Host.echo('started');\nfor (;;) Host.sleep(20);\n",
         {"--timeout", "1"},
         1,
         ":2: stopped by --timeout after 1 seconds"},
        {"endless script code",
         "var i = 0;\nwhile (true) { i++; }\n",
         {"--timeout", "1"},
         1,
         "stopped by --timeout after 1 seconds"},
    };
    for (const Case& c : cases) {
        const auto result = m_run.run(c.script, c.options);
        EXPECT_TRUE(result.finished) << c.name;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.name << ": " << result.errors.toStdString();
        EXPECT_TRUE(result.errors.contains(c.errorText))
            << c.name << ": " << result.errors.toStdString();
        EXPECT_FALSE(result.output.contains("after")) << c.name;
    }
}

TEST_F(KestScriptTest, AScriptThatCannotBeReadExitsTwo) {
    const auto result = m_run.run("", {}, {});
    EXPECT_EQ(result.exitCode, 0) << "an empty script is a script";
    testing_support::HostProcess host;
    const auto missing = host.run(KEST_SCRIPT_PATH, {host.path("missing.js")}, 30);
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.errors.contains("cannot read")) << missing.errors.toStdString();
}

TEST_F(KestScriptTest, MessageBoxesAreRecordedAndAnsweredWithTheirDefaultButton) {
    // 4 = Yes/No, 256 = the second button is the default; 1 = OK/Cancel.
    const auto result = runWithProbe(R"js(
var first = probe.ShowMessage("Disk full", 4 + 256);
var second = probe.ShowMessage("Saved", 1);
Host.echo(JSON.stringify({ first: first, second: second, boxes: Host.messageBoxes }));
)js");
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    EXPECT_EQ(out.value("first").toInt(), 7);  // No
    EXPECT_EQ(out.value("second").toInt(), 1); // OK
    const QJsonArray boxes = out.value("boxes").toArray();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0].toObject().value("prompt").toString(), "Disk full");
    EXPECT_EQ(boxes[0].toObject().value("title").toString(), "Probe");
    EXPECT_EQ(boxes[0].toObject().value("buttons").toArray(), QJsonArray({"Yes", "No"}));
    EXPECT_EQ(boxes[0].toObject().value("answer").toString(), "No");
    EXPECT_EQ(boxes[1].toObject().value("answer").toString(), "OK");
    EXPECT_TRUE(result.errors.contains("[Probe] Disk full"));
}

TEST_F(KestScriptTest, PrintJobsBecomeNumberedPdfFiles) {
    const QString folder = m_run.path("prints");
    QDir().mkpath(folder);
    QFile stale(folder + "/print-1.pdf"); // an earlier run's file stays untouched
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("old");
    stale.close();
    const auto result = runWithProbe(R"js(
Host.echo(JSON.stringify({ first: probe.PrintText("print job one"),
                           second: probe.PrintText("print job two") }));
)js",
                                     {"--print-to", folder});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_TRUE(ScriptRun::lastJson(result).value("first").toBool());
    QFile kept(folder + "/print-1.pdf");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old");
    for (const auto& [name, text] :
         {std::pair{"print-2.pdf", "print job one"}, std::pair{"print-3.pdf", "print job two"}}) {
        QProcess pdftotext;
        pdftotext.start("pdftotext", {folder + "/" + name, "-"});
        ASSERT_TRUE(pdftotext.waitForFinished(30000)) << name;
        EXPECT_EQ(pdftotext.exitCode(), 0) << name;
        EXPECT_TRUE(pdftotext.readAllStandardOutput().contains(text)) << name;
    }
}

TEST_F(KestScriptTest, TheClipboardIsReadAsTextAndAsAnImage) {
    const QString picture = m_run.path("clip.png");
    const auto result = runWithProbe(QString(R"js(
var empty = Host.saveClipboardImage("%1");
probe.CopyText("copied text");
var text = Host.clipboardText();
probe.CopyImage(30, 20);
Host.echo(JSON.stringify({ empty: empty, text: text, saved: Host.saveClipboardImage("%1") }));
)js")
                                         .arg(picture));
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    EXPECT_FALSE(out.value("empty").toBool());
    EXPECT_EQ(out.value("text").toString(), "copied text");
    EXPECT_TRUE(out.value("saved").toBool());
    const QImage image(picture);
    EXPECT_EQ(image.size(), QSize(30, 20));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::red));
}

} // namespace
