// Shows the tags page of a DICOM file and saves it as a picture.
//   kestscript tags-picture.js FILE.dcm OUT.png
var file = Host.arguments[0], out = Host.arguments[1];
if (!file || !out) {
    Host.echo("usage: kestscript tags-picture.js FILE.dcm OUT.png");
    Host.quit(2);
}
var viewer = Host.createControl("KestDicomViewControl.KestDicomViewAX", 1024, 768);
var loaded = false;
viewer.on("ImageLoaded", function () { loaded = true; });
viewer.ShowTagsOnLoad = true;
if (!viewer.LoadDicomFile(file))
    throw new Error(file + " is not a DICOM file the viewer can open");
Host.waitFor(function () { return loaded; }, 60000);
Host.sleep(1500); // let the tags page finish drawing
if (!viewer.SaveCanvas(out))
    throw new Error("the page could not be saved to " + out);
Host.echo(out);
