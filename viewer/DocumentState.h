#pragma once

#include <QString>

#include <cstdint>

// What the viewer knows of the document shown: the values the page's
// "imageChanged" report carries and the dcm properties read from them.
struct DocumentState {
    QString dcmFile;  // the working copy's file name in the instance folder
    QString fileName; // the displayed file's name, as the page reports it
    QString modality;
    QString patientName;
    QString birthDate;
    QString examDate;
    // Width and height stay the page's text and are converted on each read; a
    // fresh control has none, so reading them fails until the first report.
    QString widthText;
    QString heightText;
    bool multiFrame = false;
    std::int16_t frame = 0;
    std::int16_t frames = 0;
    double pixelHeight = 0;
    double pixelWidth = 0;

    // The state ResetDICOMProperty leaves.
    static DocumentState afterReset() {
        DocumentState state;
        state.widthText = QStringLiteral("0");
        state.heightText = QStringLiteral("0");
        state.pixelHeight = -1.0;
        state.pixelWidth = -1.0;
        return state;
    }
};
