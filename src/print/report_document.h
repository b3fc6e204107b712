// The adjustment as a document to hand in: A4 pages with a title block (file,
// date, counts, grade), the 成果表 (points and observations), the precision
// summary, the full report text and optionally the check report, in a
// monospaced CJK font, each page numbered "第 x 页 共 y 页". The same pages go
// to a PDF file (QPdfWriter, fonts embedded) and to a printer (QPrinter).
// Needs QtGui and a QGuiApplication; the engine stays free of Qt.
#pragma once

#include <string>

#include "session/report_document.h"

class QPagedPaintDevice;

namespace levelnet::print {

// What goes into the document: assembled by the session library.
using session::ReportDocument;

// Paints every page of `document` on `device` (a QPdfWriter or a QPrinter
// already set up for output), A4 portrait. Returns the number of pages.
// Throws InputError when the device cannot be painted on.
int paintReportDocument(QPagedPaintDevice& device, const ReportDocument& document);

// The document as the bytes of a PDF file, fonts embedded. With
// SOURCE_DATE_EPOCH set its creation date is that moment (withCreationDate),
// so the same document gives the same bytes on every run and in every time
// zone. Throws InputError when it cannot be made (a bad SOURCE_DATE_EPOCH
// too).
std::string reportDocumentPdf(const ReportDocument& document);

// reportDocumentPdf for a program without a window (the command line): when
// the program has no QGuiApplication yet, one is made for the call on Qt's
// offscreen platform (QT_QPA_PLATFORM is set to "offscreen" for the process
// first), so no display is needed; Qt's own notes and warnings meanwhile are
// kept off standard error. Throws InputError as reportDocumentPdf does.
std::string reportDocumentPdfWithoutDisplay(const ReportDocument& document);

}  // namespace levelnet::print
