#!/usr/bin/python3
"""Writes the files of the image page's display tests into a folder:
presentation LUTs, overlay planes (in Overlay Data and in the pixel data's
high bits), display shutters, ultrasound regions and overlay text values.
The files whose feature lives in the pixel data are also written transcoded
by dcmtk, RLE (<name>_rle.dcm) and JPEG lossless (<name>_jpll.dcm), and the
high-bit overlay in JPEG-LS (overlay_high_bits_jls.dcm).

    display_files.py FOLDER
"""
import os
import subprocess
import sys

import numpy as np
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

SIZE = 64


def image(pixels, modality="MR", bits_stored=12, photometric="MONOCHROME2"):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = FileDataset("", Dataset(), file_meta=meta, preamble=b"\0" * 128)
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = modality
    ds.PatientName = "Display^Test"
    frames = pixels.shape[0] if pixels.ndim == 3 else 1
    if frames > 1:
        ds.NumberOfFrames = frames
    ds.Rows, ds.Columns = pixels.shape[-2:]
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = photometric
    ds.BitsAllocated = 16 if pixels.dtype == np.uint16 else 8
    ds.BitsStored = bits_stored
    ds.HighBit = bits_stored - 1
    ds.PixelRepresentation = 0
    ds.PixelData = pixels.tobytes()
    return ds


def windowed(ds, centre, width):
    ds.WindowCenter = centre
    ds.WindowWidth = width
    return ds


def packed(bits):
    """Overlay bits, the first in the lowest bit of the first byte, padded to even length."""
    data = np.packbits(bits.astype(np.uint8).ravel(), bitorder="little").tobytes()
    return data + b"\0" * (len(data) % 2)


def add_overlay(ds, group, bits, origin=(1, 1), frames=None, data=True, bit_position=0):
    rows, columns = bits.shape[-2:]
    ds.add_new((group, 0x0010), "US", rows)
    ds.add_new((group, 0x0011), "US", columns)
    ds.add_new((group, 0x0040), "CS", "G")
    ds.add_new((group, 0x0050), "SS", list(origin))
    ds.add_new((group, 0x0100), "US", 1 if data else 16)
    ds.add_new((group, 0x0102), "US", bit_position)
    if frames:
        ds.add_new((group, 0x0015), "IS", frames)
        ds.add_new((group, 0x0051), "US", 1)
    if data:
        ds.add_new((group, 0x3000), "OW", packed(bits))


def square(top, left, size, shape=(SIZE, SIZE)):
    bits = np.zeros(shape, dtype=bool)
    bits[top:top + size, left:left + size] = True
    return bits


def ramp():
    """Stored values rising from left (0) to right (4032), in 12 bits."""
    return np.tile((np.arange(SIZE) * 64).astype(np.uint16), (SIZE, 1))


def uniform(value, frames=1):
    shape = (frames, SIZE, SIZE) if frames > 1 else (SIZE, SIZE)
    return np.full(shape, value, dtype=np.uint16)


def presentation_files():
    inverse = windowed(image(ramp(), "DX"), 2048, 4096)
    inverse.PresentationLUTShape = "INVERSE"
    table = windowed(image(ramp(), "DX"), 2048, 4096)
    item = Dataset()
    item.add_new(0x00283002, "US", [256, 0, 12])
    item.add_new(0x00283006, "OW", np.array([0] * 128 + [4095] * 128, dtype="<u2").tobytes())
    table.PresentationLUTSequence = Sequence([item])
    monochrome1 = windowed(image(ramp(), "CR", photometric="MONOCHROME1"), 2048, 4096)
    monochrome1.PresentationLUTShape = "IDENTITY"
    return {"presentation_inverse": inverse, "presentation_table": table,
            "presentation_identity_mono1": monochrome1}


def overlay_files():
    planes = windowed(image(uniform(1000, frames=2)), 1000, 2000)
    add_overlay(planes, 0x6000, square(8, 8, 8))
    frames = np.stack([square(0, 0, 8, (16, 16)), square(8, 8, 8, (16, 16))])
    add_overlay(planes, 0x6002, frames, origin=(33, 33), frames=2)
    # Hostile planes: one far larger than its data, one with a broken origin.
    add_overlay(planes, 0x6004, np.zeros((60000, 60000), dtype=bool)[:1, :8])
    planes.add_new(0x60040010, "US", 60000)
    planes.add_new(0x60040011, "US", 60000)
    add_overlay(planes, 0x6006, square(0, 0, 64), origin=(-32000, 32000))
    planes[0x60063000].value = planes[0x60063000].value[:10]

    pixels = uniform(1000)
    pixels[20:30, 20:30] |= 0x8000
    high = windowed(image(pixels), 1000, 2000)
    add_overlay(high, 0x6000, np.zeros((SIZE, SIZE), dtype=bool), data=False, bit_position=15)
    return {"overlay_planes": planes, "overlay_high_bits": high}


def shutter_files():
    combined = windowed(image(uniform(4000)), 2048, 4096)
    combined.ShutterShape = "RECTANGULAR\\CIRCULAR"
    combined.ShutterLeftVerticalEdge = 9
    combined.ShutterRightVerticalEdge = 56
    combined.ShutterUpperHorizontalEdge = 9
    combined.ShutterLowerHorizontalEdge = 56
    combined.CenterOfCircularShutter = [33, 33]
    combined.RadiusOfCircularShutter = 30
    combined.ShutterPresentationValue = 0x8000

    polygon = windowed(image(uniform(4000)), 2048, 4096)
    polygon.ShutterShape = "POLYGONAL"
    polygon.VerticesOfThePolygonalShutter = [5, 5, 5, 60, 60, 5]
    # Pure red in CIELab (L 53.24, a 80.09, b 67.2), scaled to 16 bits.
    polygon.add_new(0x00181624, "US", [round(53.24 / 100 * 65535), round((80.09 + 128) / 255 * 65535),
                                       round((67.2 + 128) / 255 * 65535)])

    bitmap = windowed(image(uniform(4000)), 2048, 4096)
    bitmap.ShutterShape = "BITMAP"
    bitmap.add_new(0x00181623, "US", 0x6000)
    left_half = np.zeros((SIZE, SIZE), dtype=bool)
    left_half[:, :32] = True
    add_overlay(bitmap, 0x6000, left_half)

    hostile = windowed(image(uniform(4000)), 2048, 4096)
    hostile.ShutterShape = "CIRCULAR\\RECTANGULAR\\POLYGONAL"
    hostile.CenterOfCircularShutter = [33, 33]
    hostile.RadiusOfCircularShutter = -5
    hostile.ShutterLeftVerticalEdge = 2000000000
    hostile.ShutterRightVerticalEdge = -2000000000
    hostile.ShutterUpperHorizontalEdge = 9
    hostile.VerticesOfThePolygonalShutter = [5, 5]
    return {"shutter_combined": combined, "shutter_polygon": polygon, "shutter_bitmap": bitmap,
            "shutter_hostile": hostile}


def region(left, top, right, bottom, delta_x, delta_y, units=3, spatial=1):
    item = Dataset()
    item.RegionSpatialFormat = spatial
    item.RegionDataType = 1
    item.RegionFlags = 0
    item.RegionLocationMinX0 = left
    item.RegionLocationMinY0 = top
    item.RegionLocationMaxX1 = right
    item.RegionLocationMaxY1 = bottom
    item.PhysicalUnitsXDirection = units
    item.PhysicalUnitsYDirection = units
    item.PhysicalDeltaX = delta_x
    item.PhysicalDeltaY = delta_y
    return item


def ultrasound_files():
    pixels = np.full((80, 100), 128, dtype=np.uint8)
    two = image(pixels, "US", bits_stored=8)
    # Besides the two regions, hostile ones: far outside the image with deltas
    # that are no numbers, and with its corners swapped.
    two.SequenceOfUltrasoundRegions = Sequence([region(0, 0, 49, 79, 0.01, 0.02),
                                                region(50, 0, 99, 79, 0.05, 0.05),
                                                region(5000, 5000, 6000, 6000, float("nan"), float("inf")),
                                                region(99, 79, 0, 0, 1.0, 1.0)])
    one = image(pixels, "US", bits_stored=8)
    one.SequenceOfUltrasoundRegions = Sequence([region(0, 0, 99, 79, 0.01, 0.02)])
    return {"ultrasound_two_regions": two, "ultrasound_one_region": one}


def text_files():
    ct = windowed(image(uniform(1000), "CT"), 40, 400)
    ct.SliceThickness = "5.000000"
    ct.SliceLocation = "-77.2040634155"
    ct.PixelSpacing = [0.5, 0.5]
    ct.PixelSpacingCalibrationType = "GEOMETRY"
    dx = windowed(image(uniform(1000), "DX"), 1000, 2000)
    dx.ImagerPixelSpacing = [0.2, 0.2]
    dx.EstimatedRadiographicMagnificationFactor = 1.2
    return {"text_values": ct, "detector_spacing": dx}


def transcode(folder, name, coders):
    source = os.path.join(folder, name + ".dcm")
    for suffix, tool in coders:
        subprocess.run(tool + [source, os.path.join(folder, name + suffix + ".dcm")], check=True)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    files = {}
    for make in (presentation_files, overlay_files, shutter_files, ultrasound_files, text_files):
        files.update(make())
    for name, ds in files.items():
        ds.save_as(os.path.join(folder, name + ".dcm"), write_like_original=False)
    page_coders = [("_rle", ["dcmcrle"]), ("_jpll", ["dcmcjpeg", "+e1"])]
    transcode(folder, "shutter_combined", page_coders)
    # JPEG-LS is decoded by the host, not the page.
    transcode(folder, "overlay_high_bits", page_coders + [("_jls", ["dcmcjpls"])])


if __name__ == "__main__":
    main()
