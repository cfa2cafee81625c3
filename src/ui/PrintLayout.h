#pragma once
// Plain-text printing: how a text is laid out on pages, and the print job.

#include <functional>
#include <vector>

#include <QString>

class QPrinter;

namespace tavro {

// What the layout needs to know about the page and the font, in device units.
struct TPrintMetrics {
  double PageWidth = 0;   // printable width
  double PageHeight = 0;  // printable height
  double LineHeight = 0;
  double AverageCharWidth = 0;  // tab stops are 8 of these apart
  std::function<double(QChar)> CharWidth;
};

// A piece of text drawn at one position: its left edge and the top of its line.
struct TPrintRun {
  int Page = 0;
  double X = 0;
  double Y = 0;
  QString Text;

  bool operator==(const TPrintRun&) const = default;
};

struct TPrintLayout {
  int PageCount = 1;
  std::vector<TPrintRun> Runs;  // in reading order
};

// Lays the text out as a plain-text printer does: the first line at the top
// left of the printable area; a line feed starts a new line at the left edge;
// a carriage return alone does not move the print position; a form feed
// starts a new page; a tab moves to the next multiple of eight average
// character widths; a line wider than the page breaks after the last
// character that fits; a new page begins when the next line would not fit.
// Pages after the last printed character are not counted.
TPrintLayout LayoutPrintText(const QString& text, const TPrintMetrics& metrics);

// The text of a print job for the output pane's text.
QString PrintJobText(const QString& paneText);

// Whether print jobs on this printer can start: a printer of the system, or a
// PDF file chosen in the printer set-up dialog.
bool PrinterAvailable(const QPrinter& printer);

// Pages keep at least this margin on every side.
inline constexpr double kPrintMarginMillimeters = 15;

// Widens the printer's page margins to at least kPrintMarginMillimeters.
void EnsurePrintMargins(QPrinter& printer);

// The footer line of a page, numbered from 1.
QString PageFooter(int page, int pageCount);

// Prints the text on the printer with LayoutPrintText, leaving the last two
// lines of each page to the page number, and only the pages of the print
// range chosen in the print dialog. Throws TavroError when
// there is no printer or the job cannot be started.
void PrintPlainText(QPrinter& printer, const QString& text);

}  // namespace tavro
