// Lists the patient, the modality and the image size of each DICOM file.
//   kestscript list-dicom.js FILE.dcm...
var viewer = Host.createControl("KestDicomViewControl.KestDicomViewAX", 800, 600);
var loaded = null;
viewer.on("ImageLoaded", function (args) { loaded = args; });
Host.arguments.forEach(function (file) {
    loaded = null;
    if (!viewer.LoadDicomFile(file)) {
        Host.echo(file + "\tnot a DICOM file");
        return;
    }
    Host.waitFor(function () { return loaded !== null; }, 60000);
    var size = loaded.NoImage ? "no image" : loaded.Width + "x" + loaded.Height;
    Host.echo([file, viewer.dcmPatientName, loaded.Modality, size].join("\t"));
});
