#!/usr/bin/python3
"""Writes the demo's axial CT series: a 3-D Shepp-Logan head phantom.

    make_phantom_series.py FOLDER [SLICES]

Each slice is a file of its own (IM0001.dcm, ...), numbered from the top of
the head down as scanners number them, its position and orientation written
so that a viewer can order the series by geometry. UIDs are derived from
fixed text, so the files are the same on every build.
"""

import os
import sys

import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

# The modified phantom's ellipsoids: intensity, semi-axes (a, b, c), centre
# (x, y, z) in a cube of side 2, and rotation about z in degrees.
ELLIPSOIDS = [
    (1.0, 0.6900, 0.920, 0.810, 0.00, 0.0000, 0.00, 0),
    (-0.8, 0.6624, 0.874, 0.780, 0.00, -0.0184, 0.00, 0),
    (-0.2, 0.1100, 0.310, 0.220, 0.22, 0.0000, 0.00, -18),
    (-0.2, 0.1600, 0.410, 0.280, -0.22, 0.0000, 0.00, 18),
    (0.1, 0.2100, 0.250, 0.410, 0.00, 0.3500, -0.15, 0),
    (0.1, 0.0460, 0.046, 0.050, 0.00, 0.1000, 0.25, 0),
    (0.1, 0.0460, 0.046, 0.050, 0.00, -0.1000, 0.25, 0),
    (0.1, 0.0460, 0.023, 0.050, -0.08, -0.6050, 0.00, 0),
    (0.1, 0.0230, 0.023, 0.020, 0.00, -0.6060, 0.00, 0),
    (0.1, 0.0230, 0.046, 0.020, 0.06, -0.6050, 0.00, 0),
]

SIZE = 256
PIXEL_MM = 0.9
SLICE_MM = 1.5


def phantom_slice(z):
    """Intensities of the plane at height z (-1 to 1), the head's top at +1."""
    axis = np.linspace(-1.0, 1.0, SIZE)
    x, y = np.meshgrid(axis, -axis)  # rows run from the front (+y) to the back
    values = np.zeros((SIZE, SIZE))
    for value, a, b, c, x0, y0, z0, degrees in ELLIPSOIDS:
        angle = np.radians(degrees)
        dx, dy = x - x0, y - y0
        u = dx * np.cos(angle) + dy * np.sin(angle)
        v = -dx * np.sin(angle) + dy * np.cos(angle)
        inside = (u / a) ** 2 + (v / b) ** 2 + ((z - z0) / c) ** 2 <= 1.0
        values[inside] += value
    return values


def uid(text):
    return generate_uid(entropy_srcs=["KestDicomView demo phantom", text])


def slice_dataset(index, count):
    z = 1.0 - 2.0 * (index + 0.5) / count
    # Air -1000 HU, the skull +1000, the brain about -600: stored values start at 0.
    stored = np.clip(np.round(phantom_slice(z) * 2000.0), 0, 4095).astype(np.uint16)

    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.2"
    meta.MediaStorageSOPInstanceUID = uid("image %d" % index)
    meta.TransferSyntaxUID = ExplicitVRLittleEndian

    ds = Dataset()
    ds.file_meta = meta
    ds.SpecificCharacterSet = "ISO_IR 100"
    ds.ImageType = ["ORIGINAL", "PRIMARY", "AXIAL"]
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.StudyDate = "20261210"
    ds.SeriesDate = "20261210"
    ds.StudyTime = "120000"
    ds.Modality = "CT"
    ds.Manufacturer = "KestDicomView"
    ds.StudyDescription = "Demo phantom"
    ds.SeriesDescription = "Shepp-Logan head, axial"
    ds.PatientName = "PHANTOM^SHEPP LOGAN"
    ds.PatientID = "KEST-PHANTOM"
    ds.PatientBirthDate = "19740101"
    ds.PatientSex = "O"
    ds.SliceThickness = SLICE_MM
    ds.StudyInstanceUID = uid("study")
    ds.SeriesInstanceUID = uid("series")
    ds.FrameOfReferenceUID = uid("frame of reference")
    ds.StudyID = "1"
    ds.SeriesNumber = 1
    ds.InstanceNumber = index + 1
    half = (SIZE - 1) * PIXEL_MM / 2.0
    ds.ImagePositionPatient = [-half, -half, round((count / 2.0 - index - 0.5) * SLICE_MM, 3)]
    ds.ImageOrientationPatient = [1, 0, 0, 0, 1, 0]
    ds.SliceLocation = ds.ImagePositionPatient[2]
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.Rows = SIZE
    ds.Columns = SIZE
    ds.PixelSpacing = [PIXEL_MM, PIXEL_MM]
    ds.BitsAllocated = 16
    ds.BitsStored = 12
    ds.HighBit = 11
    ds.PixelRepresentation = 0
    ds.WindowCenter = -500
    ds.WindowWidth = 500
    ds.RescaleIntercept = -1000
    ds.RescaleSlope = 1
    ds.RescaleType = "HU"
    ds.PixelData = stored.tobytes()
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    return ds


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) == 3 else 128
    os.makedirs(folder, exist_ok=True)
    for index in range(count):
        path = os.path.join(folder, "IM%04d.dcm" % (index + 1))
        slice_dataset(index, count).save_as(path, write_like_original=False)


if __name__ == "__main__":
    main()
