#include "frmAbout.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* addLabel(QVBoxLayout* layout, const char* name) {
    auto* label = new QLabel(layout->parentWidget());
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About KestDicomViewAX"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_title = addLabel(layout, "lblTitle");
    m_version = addLabel(layout, "lblVersion");
    m_description = addLabel(layout, "lblDescription");
    m_disclaimer = addLabel(layout, "lblDisclaimer");
    m_runtime = addLabel(layout, "lblWVVersion");
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    m_title->setFont(titleFont);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void frmAbout::load(const QString& version, bool fixedRuntime) {
    m_title->setText(QStringLiteral("KestDicomViewAX Control"));
    m_version->setText(QStringLiteral("Version ") + version);
    m_description->setText(QStringLiteral(
        "Dicom File Viewer ActiveX component\n\n"
        "KestDicomViewAX Control is based on Cornerstone.js, a lightweight Javascript library "
        "for visualization of medical images\n\n"
        "Images are decoded by the Cornerstone WADO image loader and dicomParser; tools by "
        "cornerstoneTools, cornerstoneMath and hammer.js\n\n"
        "Pages are shown by Qt WebEngine"));
    m_disclaimer->setText(
        QStringLiteral("KestDicomView %1. Not for diagnostic use unless validated by the user.")
            .arg(QDate::currentDate().year()));
    m_runtime->setText(QStringLiteral("WebView2 Version : ") +
                       (fixedRuntime ? QStringLiteral("109 Fixed") : QStringLiteral("Evergreen")));
}
