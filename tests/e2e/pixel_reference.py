"""Reference pixel values from pydicom for the pixel-value tests.

  pixel_reference.py list FOLDER
      one line per file with pixel data: "decodable<TAB>NAME<TAB>lossy", or
      "undecodable<TAB>NAME<TAB>lossy" when pydicom cannot decode it.
  pixel_reference.py compare VALUES_FOLDER FILE...
      compares VALUES_FOLDER/<name>.values (written by the image page: a JSON
      header line, then the stored values) with pydicom's pixel_array, and the
      modality values the header's rescale gives with pydicom's modality LUT:
      "NAME<TAB>ok|mismatch<TAB>detail". The modality rescale of a frame of an
      enhanced multi-frame file comes from its functional groups.
  pixel_reference.py enhanced FILE
      writes a small Enhanced CT: three frames whose rescale, window and
      position differ, with shared pixel spacing and orientation.
"""
import json
import os
import sys
import warnings

warnings.filterwarnings("ignore")

import numpy as np  # noqa: E402
import pydicom  # noqa: E402
from pydicom.pixel_data_handlers import gdcm_handler, numpy_handler, pillow_handler, rle_handler  # noqa: E402
from pydicom.pixel_data_handlers.util import apply_modality_lut, convert_color_space  # noqa: E402

# Pillow (libjpeg-turbo, OpenJPEG) before GDCM: an independent decoder where it can.
pydicom.config.pixel_data_handlers = [numpy_handler, rle_handler, pillow_handler, gdcm_handler]

LOSSY_SYNTAXES = {"1.2.840.10008.1.2.4.50", "1.2.840.10008.1.2.4.51", "1.2.840.10008.1.2.4.81",
                  "1.2.840.10008.1.2.4.91"}
TYPES = {"uint8": "<u1", "int8": "<i1", "uint16": "<u2", "int16": "<i2", "uint32": "<u4",
         "int32": "<i4", "float32": "<f4", "float64": "<f8"}


def has_pixels(ds):
    return any(k in ds for k in ("PixelData", "FloatPixelData", "DoubleFloatPixelData"))


def is_lossy(ds):
    syntax = str(ds.file_meta.get("TransferSyntaxUID", ""))
    return syntax in LOSSY_SYNTAXES or str(ds.get("LossyImageCompression", "")) == "01"


def list_files(folder):
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        try:
            ds = pydicom.dcmread(path)
        except Exception:
            continue
        if not has_pixels(ds):
            continue
        verdict = "decodable" if decodes(ds, path) else "undecodable"
        print(f"{verdict}\t{name}\t{int(is_lossy(ds))}")


def gdcm_decodes(path):
    """Whether GDCM's codec really decodes the file: pydicom's GDCM handler
    returns whatever is in its buffer when the codec fails."""
    import gdcm
    reader = gdcm.ImageReader()
    reader.SetFileName(path)
    if not reader.Read():
        return False
    change = gdcm.ImageChangeTransferSyntax()
    change.SetTransferSyntax(gdcm.TransferSyntax(gdcm.TransferSyntax.ExplicitVRLittleEndian))
    change.SetInput(reader.GetImage())
    return bool(change.Change())


def decodes(ds, path):
    handlers = pydicom.config.pixel_data_handlers
    try:
        pydicom.config.pixel_data_handlers = [h for h in handlers if h is not gdcm_handler]
        ds.pixel_array
        return True
    except Exception:
        pass
    finally:
        pydicom.config.pixel_data_handlers = handlers
    try:
        ds.pixel_array
    except Exception:
        return False
    return gdcm_decodes(path)


def read_values(path):
    with open(path, "rb") as f:
        data = f.read()
    end = data.index(b"\n")
    header = json.loads(data[:end])
    count = header["rows"] * header["columns"] * header["samples"]
    stored = np.frombuffer(data, dtype=np.dtype(TYPES[header["type"]]), count=count, offset=end + 1)
    return header, stored


def page_modality(rescale, stored):
    """The modality values the page derives from its stored values."""
    values = stored.astype(np.float64)
    if "lut" in rescale:
        lut = np.asarray(rescale["lut"], dtype=np.float64)
        index = np.clip(values - rescale["firstValueMapped"], 0, len(lut) - 1).astype(np.int64)
        return lut[index]
    return values * rescale["slope"] + rescale["intercept"]


def reference(ds, frame):
    pixels = ds.pixel_array
    frames = int(ds.get("NumberOfFrames", 1) or 1)
    if frames > 1:
        pixels = pixels[frame]
    photometric = ds.PhotometricInterpretation
    if ds.get("SamplesPerPixel", 1) == 3 and photometric in ("YBR_FULL", "YBR_FULL_422"):
        pixels = convert_color_space(pixels, photometric, "RGB")
    return pixels


FUNCTIONAL_GROUPS = ("PerFrameFunctionalGroupsSequence", "SharedFunctionalGroupsSequence")


def frame_rescale(ds, frame):
    """The slope and intercept of a frame of an enhanced multi-frame file, or None."""
    for groups, index in zip(FUNCTIONAL_GROUPS, (frame, 0)):
        items = ds.get(groups)
        if items is None or len(items) <= index:
            continue
        transformation = items[index].get("PixelValueTransformationSequence")
        if transformation:
            item = transformation[0]
            return float(item.RescaleSlope), float(item.RescaleIntercept)
    return None


def modality_values(ds, expected, frame):
    rescale = frame_rescale(ds, frame)
    if rescale is None:
        return apply_modality_lut(expected, ds)
    return expected.astype(np.float64) * rescale[0] + rescale[1]


def compare(name, values_path):
    ds = pydicom.dcmread(name)
    header, stored = read_values(values_path)
    expected = reference(ds, header["frame"])
    if expected.size != stored.size:
        return "mismatch", f"{stored.size} values, pydicom has {expected.size}"
    expected_flat = expected.reshape(-1).astype(np.float64)
    difference = np.abs(stored.astype(np.float64) - expected_flat)
    colour_converted = ds.get("SamplesPerPixel", 1) == 3 and ds.PhotometricInterpretation.startswith("YBR_FULL")
    if is_lossy(ds):
        # Lossy codecs differ between implementations by a few levels.
        span = max(1.0, float(expected_flat.max() - expected_flat.min()))
        ok = difference.mean() <= 0.01 * span and difference.max() <= 0.1 * span
    elif colour_converted:
        ok = difference.max() <= 2  # rounding of the YCbCr conversion
    else:
        ok = difference.max() == 0
    detail = f"max difference {difference.max():g}, mean {difference.mean():.3g}"
    if not ok:
        return "mismatch", "stored values: " + detail
    if header.get("modality"):
        modality = page_modality(header["modality"], stored)
        expected_modality = modality_values(ds, expected, header["frame"]).reshape(-1).astype(np.float64)
        tolerance = 1e-6 * max(1.0, float(np.abs(expected_modality).max()))
        if is_lossy(ds):
            tolerance = max(tolerance, 0.1 * max(1.0, float(np.ptp(expected_modality))))
            off = np.abs(modality - expected_modality).mean()
        else:
            off = np.abs(modality - expected_modality).max()
        if off > tolerance:
            return "mismatch", f"modality values differ by {off:g}"
    return "ok", detail


def sequence(**attributes):
    item = pydicom.Dataset()
    for keyword, value in attributes.items():
        setattr(item, keyword, value)
    return pydicom.Sequence([item])


def write_enhanced_ct(path):
    from pydicom.dataset import FileMetaDataset
    from pydicom.uid import ExplicitVRLittleEndian, generate_uid
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.2.1"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = pydicom.FileDataset(path, {}, file_meta=meta, preamble=b"\0" * 128)
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = "CT"
    ds.PatientName = "Enhanced^Frames"
    ds.Rows, ds.Columns, ds.NumberOfFrames = 8, 6, 3
    ds.SamplesPerPixel, ds.PhotometricInterpretation = 1, "MONOCHROME2"
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 12, 11, 0
    shared = pydicom.Dataset()
    shared.PixelMeasuresSequence = sequence(PixelSpacing=[0.5, 0.75], SliceThickness=2)
    shared.PlaneOrientationSequence = sequence(ImageOrientationPatient=[1, 0, 0, 0, 1, 0])
    ds.SharedFunctionalGroupsSequence = pydicom.Sequence([shared])
    frames = []
    for frame, (slope, intercept) in enumerate([(1, -1024), (2, -2048), (0.5, 100)]):
        group = pydicom.Dataset()
        group.PixelValueTransformationSequence = sequence(RescaleSlope=slope, RescaleIntercept=intercept,
                                                          RescaleType="HU")
        group.FrameVOILUTSequence = sequence(WindowCenter=40 + 100 * frame, WindowWidth=400 + 100 * frame)
        group.PlanePositionSequence = sequence(ImagePositionPatient=[0, 0, 2 * frame])
        frames.append(group)
    ds.PerFrameFunctionalGroupsSequence = pydicom.Sequence(frames)
    rng = np.random.default_rng(19)
    ds.PixelData = rng.integers(0, 4096, size=(3, 8, 6), dtype="<u2").tobytes()
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(path, write_like_original=False)


def main():
    if sys.argv[1] == "list":
        list_files(sys.argv[2])
        return
    if sys.argv[1] == "enhanced":
        write_enhanced_ct(sys.argv[2])
        return
    folder = sys.argv[2]
    for path in sys.argv[3:]:
        name = os.path.basename(path)
        try:
            result, detail = compare(path, os.path.join(folder, name + ".values"))
        except Exception as error:  # a missing or unreadable values file
            result, detail = "mismatch", f"{type(error).__name__}: {error}"
        print(f"{name}\t{result}\t{detail}", flush=True)


if __name__ == "__main__":
    main()
