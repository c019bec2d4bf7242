// Renders a DICOM file through the viewer and saves the displayed image.
//   kestscript render-to-png.js FILE.dcm OUT.png
var file = Host.arguments[0], out = Host.arguments[1];
if (!file || !out) {
    Host.echo("usage: kestscript render-to-png.js FILE.dcm OUT.png");
    Host.quit(2);
}
var viewer = Host.createControl("KestDicomViewControl.KestDicomViewAX", 1024, 768);
var loaded = null;
viewer.on("ImageLoaded", function (args) { loaded = args; });
if (!viewer.LoadDicomFile(file))
    throw new Error(file + " is not a DICOM file the viewer can open");
Host.waitFor(function () { return loaded !== null; }, 60000);
if (loaded.NoImage)
    throw new Error(file + " holds no image (" + loaded.Modality + ")");
// The page sends the picture back; the file appears complete once written.
viewer.SaveImage(out);
Host.waitFor(function () { return Host.fileExists(out); }, 30000);
Host.echo(out + ": " + loaded.Width + " x " + loaded.Height);
