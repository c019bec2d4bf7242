"""Wraps the two HTJ2K lossless codestreams into a DICOM file (pydicom 2.3
does not know the HTJ2K transfer syntaxes: they are added to its table)."""
import pydicom
from pydicom._uid_dict import UID_dictionary
from pydicom.dataset import FileMetaDataset
from pydicom.encaps import encapsulate

HTJ2K_LOSSLESS = "1.2.840.10008.1.2.4.201"
UID_dictionary[HTJ2K_LOSSLESS] = ("High-Throughput JPEG 2000 Image Compression (Lossless Only)",
                                  "Transfer Syntax", "", "", "HTJ2KLossless")
meta = FileMetaDataset()
meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
meta.MediaStorageSOPInstanceUID = "1.2.826.0.1.3680043.8.498.19"
meta.TransferSyntaxUID = HTJ2K_LOSSLESS
ds = pydicom.FileDataset("ramp", {}, file_meta=meta, preamble=b"\0" * 128)
ds.SOPClassUID = meta.MediaStorageSOPClassUID
ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
ds.Modality = "OT"
ds.Rows, ds.Columns, ds.NumberOfFrames = 12, 16, 2
ds.SamplesPerPixel, ds.PhotometricInterpretation = 1, "MONOCHROME2"
ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 12, 11, 0
ds.PixelData = encapsulate([open(f"frame{f}.j2c", "rb").read() for f in (0, 1)])
ds["PixelData"].VR = "OB"
ds.is_little_endian, ds.is_implicit_VR = True, False
ds.save_as("ramp_htj2k_2frames.dcm", write_like_original=False)
