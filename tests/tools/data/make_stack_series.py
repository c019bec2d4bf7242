#!/usr/bin/python3
"""Writes an axial series the way an archive exports it, for the stack tests.

    make_stack_series.py FOLDER SLICES [--multiframe FRAMES]

The slices get shuffled names and Instance Numbers running against the
geometry (1 at the feet); a localizer of the same series and a slice of
another size sit in the same folder. Each slice's pixels hold its place from
the head (0 at the top), so that what a viewer shows can be checked. Prints
a JSON object: "order", the names from the head down (the order a viewer
must show), and "others", the files that are not part of the stack.
"""

import json
import os
import random
import sys

import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

SIZE = 32
SERIES = generate_uid(entropy_srcs=["kest stack tests", "series"])
STUDY = generate_uid(entropy_srcs=["kest stack tests", "study"])


def image(name, rows, columns, pixels, orientation, position, number, image_type, frames=1):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.2"
    meta.MediaStorageSOPInstanceUID = generate_uid(entropy_srcs=["kest stack tests", name])
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.PatientName = "STACK^TEST"
    ds.PatientID = "STACK1"
    ds.Modality = "CT"
    ds.StudyInstanceUID = STUDY
    ds.SeriesInstanceUID = SERIES
    ds.ImageType = image_type
    ds.InstanceNumber = number
    ds.ImageOrientationPatient = orientation
    ds.ImagePositionPatient = position
    ds.PixelSpacing = [0.5, 0.5]
    ds.SliceThickness = 2
    ds.Rows, ds.Columns = rows, columns
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = 16, 16, 15
    ds.PixelRepresentation = 0
    ds.RescaleSlope, ds.RescaleIntercept = 1, 0
    ds.WindowCenter, ds.WindowWidth = 100, 400
    if frames > 1:
        ds.NumberOfFrames = frames
        ds.FrameTime = 40
    ds.PixelData = pixels.astype("<u2").tobytes()
    ds.is_little_endian, ds.is_implicit_VR = True, False
    return ds


def main():
    folder, slices = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    names = ["s%03d_%s.dcm" % (i, "".join(random.Random(i).choice("abcdefgh") for _ in range(4)))
             for i in range(slices)]
    random.Random(7).shuffle(names)
    axial = [1, 0, 0, 0, 1, 0]
    order = []
    for place in range(slices):
        z = 100.0 - 2.0 * place  # place 0 is the top of the head
        pixels = np.full((SIZE, SIZE), place, dtype=np.uint16)
        pixels[0, 0] = 1000  # a fixed bright corner, so that every slice shows the same window range
        ds = image(names[place], SIZE, SIZE, pixels, axial, [0, 0, z], slices - place, ["ORIGINAL", "PRIMARY", "AXIAL"])
        ds.save_as(os.path.join(folder, names[place]), write_like_original=False)
        order.append(names[place])
    others = []
    localizer = image("localizer", SIZE, SIZE, np.zeros((SIZE, SIZE)), [0, 1, 0, 0, 0, -1], [0, 0, 0], 1,
                      ["ORIGINAL", "PRIMARY", "LOCALIZER"])
    localizer.save_as(os.path.join(folder, "scout.dcm"), write_like_original=False)
    others.append("scout.dcm")
    wide = image("wide", SIZE, SIZE * 2, np.zeros((SIZE, SIZE * 2)), axial, [0, 0, 1000], 999, ["ORIGINAL", "PRIMARY"])
    wide.save_as(os.path.join(folder, "wide.dcm"), write_like_original=False)
    others.append("wide.dcm")
    if "--multiframe" in sys.argv:
        frames = int(sys.argv[sys.argv.index("--multiframe") + 1])
        cine = np.stack([np.full((SIZE, SIZE), f, dtype=np.uint16) for f in range(frames)])
        multi = image("cine", SIZE, SIZE, cine, axial, [0, 0, 0], 1, ["ORIGINAL", "PRIMARY"], frames)
        multi.SeriesInstanceUID = generate_uid(entropy_srcs=["kest stack tests", "cine"])
        multi.save_as(os.path.join(folder, "cine.dcm"), write_like_original=False)
        others.append("cine.dcm")
    print(json.dumps({"order": order, "others": others}))


if __name__ == "__main__":
    main()
