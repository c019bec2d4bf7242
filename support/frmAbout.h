#pragma once

#include <QDialog>

class QLabel;

// The library's about box: title, version, credits, disclaimer and the
// browser runtime in use.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Fills the labels: version as "major.minor.revision", and whether a
    // fixed browser runtime folder is configured.
    void load(const QString& version, bool fixedRuntime);

private:
    QLabel* m_title;
    QLabel* m_version;
    QLabel* m_description;
    QLabel* m_disclaimer;
    QLabel* m_runtime;
};
