#include "modCmnDialogEx.h"

#include "CmnDialogEx.h"

namespace cmndialog {

namespace {

// Trailing blanks trimmed, then one trailing separator removed.
QString folderWithoutSeparator(const QString& folder) {
    QString result = folder;
    while (result.endsWith(QLatin1Char(' ')))
        result.chop(1);
    if (result.endsWith(QLatin1Char('/')) || result.endsWith(QLatin1Char('\\')))
        result.chop(1);
    return result;
}

void setIfNotEmpty(CmnDialogEx& dialog, void (CmnDialogEx::*setter)(const QString&),
                   const QString& value) {
    if (!value.isEmpty())
        (dialog.*setter)(value);
}

// The first selected path: several selected files are separated by a null character.
QString firstPath(const CmnDialogEx& dialog) {
    return dialog.FileName().section(QChar(0), 0, 0);
}

} // namespace

QString ShowOpenDialog(std::int32_t flags, const QString& initialDir, const QString& title,
                       const QString& fileName, const QString& filter, const QString& defaultExt,
                       QWidget* owner) {
    CmnDialogEx dialog;
    dialog.setFlagsDialog(flags == DefaultFlags ? DefaultOpenFlags
                                                : static_cast<std::uint32_t>(flags));
    dialog.setFilter(filter);
    setIfNotEmpty(dialog, &CmnDialogEx::setInitDir, folderWithoutSeparator(initialDir));
    setIfNotEmpty(dialog, &CmnDialogEx::setFileName, fileName);
    setIfNotEmpty(dialog, &CmnDialogEx::setDefaultExt, defaultExt);
    setIfNotEmpty(dialog, &CmnDialogEx::setDialogTitle, title);
    return dialog.ShowOpen(owner) ? firstPath(dialog) : QString();
}

QString ShowSaveDialog(std::int32_t flags, const QString& initialDir, const QString& title,
                       const QString& fileName, const QString& filter, const QString& defaultExt,
                       QWidget* owner) {
    CmnDialogEx dialog;
    dialog.setFlagsDialog(flags == DefaultFlags ? DefaultSaveFlags
                                                : static_cast<std::uint32_t>(flags));
    setIfNotEmpty(dialog, &CmnDialogEx::setFilter, filter);
    setIfNotEmpty(dialog, &CmnDialogEx::setInitDir, initialDir);
    setIfNotEmpty(dialog, &CmnDialogEx::setFileName, fileName);
    setIfNotEmpty(dialog, &CmnDialogEx::setDefaultExt, defaultExt);
    setIfNotEmpty(dialog, &CmnDialogEx::setDialogTitle, title);
    return dialog.ShowSave(owner) ? firstPath(dialog) : QString();
}

} // namespace cmndialog
