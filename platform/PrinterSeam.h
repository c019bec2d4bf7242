#pragma once

#include <QString>

#include <functional>

class QPrinter;

// Where a print job goes. Whatever prints hands its printer, set up for the
// job (printer name, orientation, page layout), to prepareJob right before it
// paints; an installed hook may redirect the job, so that unattended runs and
// tests print into files instead of on paper.
namespace printing {

using Hook = std::function<void(QPrinter& printer)>;
void setHook(Hook hook);
const Hook& installedHook();

// Gives the installed hook its chance to redirect the job.
void prepareJob(QPrinter& printer);

// A hook that makes each job a PDF file folder/print-N.pdf, N being the first
// number after the previous job's whose file does not exist yet. The folder is created when
// needed.
Hook pdfFolderHook(const QString& folder);

} // namespace printing
