// The tags page's dictionary: the VR and name of the standard attributes it
// names, keyed by tag as the parser keys elements ("x00100010").
(function () {
  'use strict';

  function parseDictionary(text) {
    var dictionary = {};
    text.split('|').forEach(function (entry) {
      var parts = entry.split(' ');
      dictionary['x' + parts[0].toLowerCase()] = { vr: parts[1], name: parts[2] };
    });
    return dictionary;
  }

  // Standard attributes by tag: VR and name.
  var DICTIONARY = parseDictionary(
    '00020000 UL FileMetaInformationGroupLength|00020001 OB FileMetaInformationVersion|' +
    '00020002 UI MediaStorageSOPClassUID|00020003 UI MediaStorageSOPInstanceUID|00020010 UI TransferSyntaxUID|' +
    '00020012 UI ImplementationClassUID|00020013 SH ImplementationVersionName|' +
    '00020016 AE SourceApplicationEntityTitle|00080000 UL GenericGroupLength|00080005 CS SpecificCharacterSet|' +
    '00080008 CS ImageType|00080012 DA InstanceCreationDate|00080013 TM InstanceCreationTime|' +
    '00080014 UI InstanceCreatorUID|00080016 UI SOPClassUID|00080018 UI SOPInstanceUID|00080020 DA StudyDate|' +
    '00080021 DA SeriesDate|00080022 DA AcquisitionDate|00080023 DA ContentDate|' +
    '0008002A DT AcquisitionDateTime|00080030 TM StudyTime|00080031 TM SeriesTime|00080032 TM AcquisitionTime|' +
    '00080033 TM ContentTime|00080050 SH AccessionNumber|00080060 CS Modality|00080064 CS ConversionType|' +
    '00080070 LO Manufacturer|00080080 LO InstitutionName|00080081 ST InstitutionAddress|' +
    '00080090 PN ReferringPhysicianName|00080100 SH CodeValue|00080102 SH CodingSchemeDesignator|' +
    '00080103 SH CodingSchemeVersion|00080104 LO CodeMeaning|0008010C UI CodingSchemeUID|' +
    '00080110 SQ CodingSchemeIdentificationSequence|00080115 ST CodingSchemeName|' +
    '00080116 ST CodingSchemeResponsibleOrganization|00080201 SH TimezoneOffsetFromUTC|' +
    '00081010 SH StationName|00081030 LO StudyDescription|0008103E LO SeriesDescription|' +
    '00081040 LO InstitutionalDepartmentName|00081050 PN PerformingPhysicianName|' +
    '00081060 PN NameOfPhysiciansReadingStudy|00081070 PN OperatorsName|00081090 LO ManufacturerModelName|' +
    '00081111 SQ ReferencedPerformedProcedureStepSequence|00081115 SQ ReferencedSeriesSequence|' +
    '0008114A SQ ReferencedInstanceSequence|00081150 UI ReferencedSOPClassUID|' +
    '00081155 UI ReferencedSOPInstanceUID|00081160 IS ReferencedFrameNumber|00081161 UL SimpleFrameList|' +
    '00081199 SQ ReferencedSOPSequence|00082111 ST DerivationDescription|00082112 SQ SourceImageSequence|' +
    '00082122 IS StageNumber|00082124 IS NumberOfStages|00082128 IS ViewNumber|' +
    '0008212A IS NumberOfViewsInStage|00089124 SQ DerivationImageSequence|00089215 SQ DerivationCodeSequence|' +
    '00100000 UL GenericGroupLength|00100010 PN PatientName|00100020 LO PatientID|00100022 CS TypeOfPatientID|' +
    '00100030 DA PatientBirthDate|00100032 TM PatientBirthTime|00100040 CS PatientSex|' +
    '00101000 LO RETIRED_OtherPatientIDs|00101001 PN OtherPatientNames|00101002 SQ OtherPatientIDsSequence|' +
    '00101010 AS PatientAge|00101020 DS PatientSize|00101030 DS PatientWeight|00101040 LO PatientAddress|' +
    '00102160 SH EthnicGroup|001021B0 LT AdditionalPatientHistory|00104000 LT PatientComments|' +
    '00109431 FL ExaminedBodyThickness|00120050 LO ClinicalTrialTimePointID|' +
    '00120060 LO ClinicalTrialCoordinatingCenterName|00120062 CS PatientIdentityRemoved|' +
    '00120071 LO ClinicalTrialSeriesID|00180000 UL GenericGroupLength|00180010 LO ContrastBolusAgent|' +
    '00180015 CS BodyPartExamined|00180020 CS ScanningSequence|00180021 CS SequenceVariant|' +
    '00180022 CS ScanOptions|00180023 CS MRAcquisitionType|00180050 DS SliceThickness|00180060 DS KVP|' +
    '00180070 IS CountsAccumulated|00180071 CS AcquisitionTerminationCondition|00180080 DS RepetitionTime|' +
    '00180081 DS EchoTime|00180083 DS NumberOfAverages|00180084 DS ImagingFrequency|00180085 SH ImagedNucleus|' +
    '00180086 IS EchoNumbers|00180088 DS SpacingBetweenSlices|00180090 DS DataCollectionDiameter|' +
    '00180091 IS EchoTrainLength|00181000 LO DeviceSerialNumber|00181020 LO SoftwareVersions|' +
    '00181030 LO ProtocolName|00181040 LO ContrastBolusRoute|00181041 DS ContrastBolusVolume|' +
    '00181042 TM ContrastBolusStartTime|00181043 TM ContrastBolusStopTime|00181046 DS ContrastFlowRate|' +
    '00181068 DS MultiplexGroupTimeOffset|00181069 DS TriggerTimeOffset|0018106E UL TriggerSamplePosition|' +
    '00181100 DS ReconstructionDiameter|00181110 DS DistanceSourceToDetector|' +
    '00181111 DS DistanceSourceToPatient|00181120 DS GantryDetectorTilt|00181130 DS TableHeight|' +
    '00181131 DS TableTraverse|00181140 CS RotationDirection|00181150 IS ExposureTime|' +
    '00181151 IS XRayTubeCurrent|00181152 IS Exposure|00181160 SH FilterType|00181170 IS GeneratorPower|' +
    '00181190 DS FocalSpots|00181210 SH ConvolutionKernel|00181242 IS ActualFrameDuration|' +
    '00181243 IS CountRate|00181300 DS ScanVelocity|00181301 CS WholeBodyTechnique|00181302 IS ScanLength|' +
    '00181314 DS FlipAngle|00185100 CS PatientPosition|00186020 SL ReferencePixelX0|' +
    '00186024 US PhysicalUnitsXDirection|00189218 FD TagSpacingSecondDimension|00189219 SS TagAngleSecondAxis|' +
    '00189305 FD RevolutionTime|00189306 FD SingleCollimationWidth|00189307 FD TotalCollimationWidth|' +
    '00200000 UL GenericGroupLength|0020000D UI StudyInstanceUID|0020000E UI SeriesInstanceUID|' +
    '00200010 SH StudyID|00200011 IS SeriesNumber|00200012 IS AcquisitionNumber|00200013 IS InstanceNumber|' +
    '00200020 CS PatientOrientation|00200032 DS ImagePositionPatient|00200037 DS ImageOrientationPatient|' +
    '00200052 UI FrameOfReferenceUID|00200060 CS Laterality|00201040 LO PositionReferenceIndicator|' +
    '00201041 DS SliceLocation|00204000 LT ImageComments|00209111 SQ FrameContentSequence|' +
    '00209113 SQ PlanePositionSequence|00209116 SQ PlaneOrientationSequence|00209157 UL DimensionIndexValues|' +
    '00209164 UI DimensionOrganizationUID|00209165 AT DimensionIndexPointer|' +
    '00209167 AT FunctionalGroupPointer|00209221 SQ DimensionOrganizationSequence|' +
    '00209222 SQ DimensionIndexSequence|00209421 LO DimensionDescriptionLabel|00280000 UL GenericGroupLength|' +
    '00280002 US SamplesPerPixel|00280004 CS PhotometricInterpretation|00280006 US PlanarConfiguration|' +
    '00280008 IS NumberOfFrames|00280009 AT FrameIncrementPointer|00280010 US Rows|00280011 US Columns|' +
    '00280030 DS PixelSpacing|00280051 CS CorrectedImage|00280100 US BitsAllocated|00280101 US BitsStored|' +
    '00280102 US HighBit|00280103 US PixelRepresentation|00280106 SS SmallestImagePixelValue|' +
    '00280107 SS LargestImagePixelValue|00280120 SS PixelPaddingValue|00281050 DS WindowCenter|' +
    '00281051 DS WindowWidth|00281052 DS RescaleIntercept|00281053 DS RescaleSlope|00281054 LO RescaleType|' +
    '00282110 CS LossyImageCompression|00282112 DS LossyImageCompressionRatio|' +
    '00282114 CS LossyImageCompressionMethod|00289110 SQ PixelMeasuresSequence|' +
    '00321030 LO RETIRED_ReasonForStudy|00321032 PN RequestingPhysician|00321033 LO RequestingService|' +
    '00380010 LO AdmissionID|00380300 LO CurrentPatientLocation|00380400 LO PatientInstitutionResidence|' +
    '00384000 LT VisitComments|003A0004 CS WaveformOriginality|003A0005 US NumberOfWaveformChannels|' +
    '003A0010 UL NumberOfWaveformSamples|003A001A DS SamplingFrequency|003A0020 SH MultiplexGroupLabel|' +
    '003A0210 DS ChannelSensitivity|003A0212 DS ChannelSensitivityCorrectionFactor|' +
    '003A0213 DS ChannelBaseline|003A0215 DS ChannelSampleSkew|003A021A US WaveformBitsStored|' +
    '003A0220 DS FilterLowFrequency|003A0221 DS FilterHighFrequency|003A0222 DS NotchFilterFrequency|' +
    '00400000 UL GenericGroupLength|00400009 SH ScheduledProcedureStepID|' +
    '004008EA SQ MeasurementUnitsCodeSequence|00401002 LO ReasonForTheRequestedProcedure|' +
    '0040A010 CS RelationshipType|0040A027 LO VerifyingOrganization|0040A030 DT VerificationDateTime|' +
    '0040A032 DT ObservationDateTime|0040A040 CS ValueType|0040A043 SQ ConceptNameCodeSequence|' +
    '0040A050 CS ContinuityOfContent|0040A073 SQ VerifyingObserverSequence|0040A075 PN VerifyingObserverName|' +
    '0040A088 SQ VerifyingObserverIdentificationCodeSequence|0040A0B0 US ReferencedWaveformChannels|' +
    '0040A120 DT DateTime|0040A121 DA Date|0040A122 TM Time|0040A123 PN PersonName|0040A124 UI UID|' +
    '0040A130 CS TemporalRangeType|0040A132 UL ReferencedSamplePositions|0040A138 DS ReferencedTimeOffsets|' +
    '0040A160 UT TextValue|0040A168 SQ ConceptCodeSequence|0040A170 SQ PurposeOfReferenceCodeSequence|' +
    '0040A180 US AnnotationGroupNumber|0040A300 SQ MeasuredValueSequence|0040A30A DS NumericValue|' +
    '0040A360 SQ PredecessorDocumentsSequence|0040A372 SQ PerformedProcedureCodeSequence|' +
    '0040A491 CS CompletionFlag|0040A492 LO CompletionFlagDescription|0040A493 CS VerificationFlag|' +
    '0040A730 SQ ContentSequence|0040DB73 UL ReferencedContentItemIdentifier|00540010 US EnergyWindowVector|' +
    '00540011 US NumberOfEnergyWindows|00540020 US DetectorVector|00540021 US NumberOfDetectors|' +
    '00540400 SH ImageID|00620001 CS SegmentationType|00620002 SQ SegmentSequence|' +
    '00620003 SQ SegmentedPropertyCategoryCodeSequence|00620004 US SegmentNumber|00620005 LO SegmentLabel|' +
    '00620008 CS SegmentAlgorithmType|00620009 LO SegmentAlgorithmName|' +
    '0062000A SQ SegmentIdentificationSequence|0062000B US ReferencedSegmentNumber|' +
    '0062000D US RecommendedDisplayCIELabValue|0062000F SQ SegmentedPropertyTypeCodeSequence|' +
    '00640009 OF VectorGridData|00700006 ST UnformattedTextValue|00700022 FL GraphicData|' +
    '00700023 CS GraphicType|00700080 CS ContentLabel|00700081 LO ContentDescription|' +
    '00700084 PN ContentCreatorName|30040002 CS DoseUnits|30040004 CS DoseType|3004000A CS DoseSummationType|' +
    '3004000C DS GridFrameOffsetVector|3004000E DS DoseGridScaling|30060002 SH StructureSetLabel|' +
    '30060004 LO StructureSetName|30060008 DA StructureSetDate|30060009 TM StructureSetTime|' +
    '30060022 IS ROINumber|30060024 UI ReferencedFrameOfReferenceUID|30060026 LO ROIName|' +
    '30060028 ST ROIDescription|3006002A IS ROIDisplayColor|3006002C DS ROIVolume|' +
    '30060036 CS ROIGenerationAlgorithm|30060042 CS ContourGeometricType|30060046 IS NumberOfContourPoints|' +
    '30060048 IS ContourNumber|30060050 DS ContourData|30060082 IS ObservationNumber|' +
    '30060084 IS ReferencedROINumber|30060085 SH ROIObservationLabel|30060088 ST ROIObservationDescription|' +
    '300600A4 CS RTROIInterpretedType|300600A6 PN ROIInterpreter|300600B2 CS ROIPhysicalProperty|' +
    '300600B4 DS ROIPhysicalPropertyValue|300A0002 SH RTPlanLabel|300A0003 LO RTPlanName|' +
    '300A0006 DA RTPlanDate|300A0007 TM RTPlanTime|300A000A CS PlanIntent|300A000C CS RTPlanGeometry|' +
    '300A0010 SQ DoseReferenceSequence|300A0012 IS DoseReferenceNumber|300A0014 CS DoseReferenceStructureType|' +
    '300A0016 LO DoseReferenceDescription|300A0018 DS DoseReferencePointCoordinates|' +
    '300A0020 CS DoseReferenceType|300A0023 DS DeliveryMaximumDose|300A0026 DS TargetPrescriptionDose|' +
    '300A002C DS OrganAtRiskMaximumDose|300A0055 CS RTPlanRelationship|300A0070 SQ FractionGroupSequence|' +
    '300A0071 IS FractionGroupNumber|300A0078 IS NumberOfFractionsPlanned|300A0080 IS NumberOfBeams|' +
    '300A0082 DS RETIRED_BeamDoseSpecificationPoint|300A0084 DS BeamDose|300A0086 DS BeamMeterset|' +
    '300A00A0 IS NumberOfBrachyApplicationSetups|300A00B0 SQ BeamSequence|300A00B2 SH TreatmentMachineName|' +
    '300A00B3 CS PrimaryDosimeterUnit|300A00B4 DS SourceAxisDistance|300A00B6 SQ BeamLimitingDeviceSequence|' +
    '300A00B8 CS RTBeamLimitingDeviceType|300A00BC IS NumberOfLeafJawPairs|300A00C0 IS BeamNumber|' +
    '300A00C2 LO BeamName|300A00C4 CS BeamType|300A00C6 CS RadiationType|300A00CE CS TreatmentDeliveryType|' +
    '300A00D0 IS NumberOfWedges|300A00E0 IS NumberOfCompensators|300A00ED IS NumberOfBoli|' +
    '300A00F0 IS NumberOfBlocks|300A010C DS CumulativeDoseReferenceCoefficient|' +
    '300A010E DS FinalCumulativeMetersetWeight|300A0110 IS NumberOfControlPoints|' +
    '300A0111 SQ ControlPointSequence|300A0112 IS ControlPointIndex|300A0114 DS NominalBeamEnergy|' +
    '300A0115 DS DoseRateSet|300A011A SQ BeamLimitingDevicePositionSequence|300A011C DS LeafJawPositions|' +
    '300A011E DS GantryAngle|300A011F CS GantryRotationDirection|300A0120 DS BeamLimitingDeviceAngle|' +
    '300A0121 CS BeamLimitingDeviceRotationDirection|300A0122 DS PatientSupportAngle|' +
    '300A0123 CS PatientSupportRotationDirection|300A0125 DS TableTopEccentricAngle|' +
    '300A0126 CS TableTopEccentricRotationDirection|300A0128 DS TableTopVerticalPosition|' +
    '300A0129 DS TableTopLongitudinalPosition|300A012A DS TableTopLateralPosition|' +
    '300A012C DS IsocenterPosition|300A0130 DS SourceToSurfaceDistance|300A0134 DS CumulativeMetersetWeight|' +
    '300A0180 SQ PatientSetupSequence|300A0182 IS PatientSetupNumber|300A01B2 ST SetupTechniqueDescription|' +
    '300C0002 SQ ReferencedRTPlanSequence|300C0004 SQ ReferencedBeamSequence|300C0006 IS ReferencedBeamNumber|' +
    '300C0020 SQ ReferencedFractionGroupSequence|300C0022 IS ReferencedFractionGroupNumber|' +
    '300C0050 SQ ReferencedDoseReferenceSequence|300C0051 IS ReferencedDoseReferenceNumber|' +
    '300C0060 SQ ReferencedStructureSetSequence|300C006A IS ReferencedPatientSetupNumber|' +
    '300E0002 CS ApprovalStatus|52009229 SQ SharedFunctionalGroupsSequence|' +
    '52009230 SQ PerFrameFunctionalGroupsSequence|54001004 US WaveformBitsAllocated|' +
    '54001006 CS WaveformSampleInterpretation|54001010 OW WaveformData|7FE00000 UL GenericGroupLength|' +
    '7FE00010 OW PixelData|FFFCFFFC OB DataSetTrailingPadding');

  window.KestTagDictionary = DICTIONARY;
})();
